#pragma once
// The result box: a read-only multi-line text view with both scroll bars and no wrapping.
// The text lives in a TextStore, so a line costs the same wherever it goes and however
// long the listing is; only the visible lines are measured and painted, and the screen
// catches up with the text when the window next handles its messages.
//
// It stands in for the standard edit box: it lays its text out as a read-only multi-line
// edit box with a client edge does, answers the edit box messages (ResultBoxMessages.cpp)
// and serves UI Automation and MSAA clients (AccessibilityEntry.cpp), so that screen
// readers and automation tools read it as they read an edit box.
#include <functional>
#include <memory>

#include "platform/win32/controls/Win32Control.h"
#include "resultview/model/LineEntries.h"
#include "resultview/model/TextStore.h"
#include "resultview/model/TextSurface.h"
#include "resultview/win32/ClipboardOffer.h"
#include "resultview/win32/ShowInFolder.h"

struct IRawElementProviderSimple;

namespace tarnwick::win32 {

class AccessibilityEntry;
class ViewFinder;

class Win32ResultBox : public Win32Control<ResultBox>, public TextSurface {
  public:
    Win32ResultBox(HWND parent, Rect r, float unit);
    ~Win32ResultBox() override;
    Text GetText() const override { return text_.GetText(); }
    void ForEachPiece(const std::function<bool(TextView)>& take) const override {
        text_.ForEachPiece(take);
    }
    void SetText(TextView text) override;
    bool SetSelText(TextView text) override;
    void BeginListing(TextView root, bool bareNames) override { entries_.Begin(root, bareNames); }
    bool SetSelEntry(TextView text, int32_t level, TextView realName) override;
    // What the accessibility providers ask of the view (TextSurface).
    const TextStore& Store() const override { return text_; }
    void Select(size_t anchor, size_t caret) override;
    void ScrollIntoView(size_t from, size_t to, bool alignToTop) override;
    size_t FirstVisibleLine() override;
    size_t VisibleLines() const override;
    int LineHeight() const override { return lineHeight_; }
    ScreenPoint ScreenPointOf(size_t pos) override;
    size_t CharAtScreen(ScreenPoint p) override;
    bool HasFocus() const override { return GetFocus() == hwnd_; }

    // Positions are characters of the text, points are client coordinates.
    POINT PointOf(size_t pos);  // top left of the character; beyond its line for a line end
    size_t CharAt(POINT p);     // the nearest character boundary, never inside a pair
    RECT FormatRect() const;    // where the lines are drawn
    void ApplyPendingScroll();  // the scroll to the caret that inserted text left pending
    // The element UI Automation clients are given, made at the first request; the caller
    // releases the reference it gets.
    IRawElementProviderSimple* AutomationElement();
    // Find in the listing: its dialog and the search in progress (ContextMenu.cpp).
    ViewFinder& Finder();
    // What the context menu's 打开所在文件夹 calls; tests put their own.
    std::function<void(TextView path)> showInFolder = [](TextView path) { ShowInFolder(path); };

  private:
    template <class T>
    friend LRESULT CALLBACK OwnWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    // The edit box messages, by family (EditMessages.cpp).
    bool OnTextMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnWholeTextMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnSelectionMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnLineMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnPlaceMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnStateMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // The window's own messages, by family.
    bool OnPaintingMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnScrollMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnFocusMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    bool OnKeyMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // The context menu and Find (ContextMenu.cpp).
    bool OnMenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void ShowContextMenu(POINT screen);
    void CopyPaths();
    void OpenFolderOfEntry();

    void OnDpiChanged() override;
    void MeasureFont();
    template <class Edit>
    bool Edited(Edit edit);
    void TextChanged();
    void Refresh();
    void CatchUp();  // scroll bars, caret and an invalidated screen, as the text now stands
    void Paint();
    void PaintLine(HDC dc, size_t line, int x, int y);
    void UpdateScrollBars();
    void SetBar(int bar, const SCROLLINFO& info);
    void ScrollTo(long long topLine, int xOffset);
    void ScrollLines(int dx, long long dy);  // pixels and lines, within the text's extent
    void ScrollCaret();
    void ShowCaret();
    void MoveCaret(size_t pos, bool extend);
    void SelectionMoved();
    void OnKey(WPARAM key);
    void HandleScroll(int bar, int code);
    void SelectWordAt(size_t pos);
    void Copy();

    int XOf(size_t pos) const;  // from the start of its line, in pixels
    int WidestLine() const;     // estimated, in pixels
    int FormatWidth() const;    // of the format rectangle

    TextStore text_;
    LineEntries entries_;  // which entry each line is, for the menu's paths
    long long topLine_ = 0;
    int xOffset_ = 0;
    int lineHeight_ = 16;
    int charWidth_ = 8;
    bool modified_ = false;
    bool caretScrollPending_ = false;
    bool refreshPosted_ = false;
    unsigned refreshCostMs_ = 0;  // of the last refresh with its repaint
    bool selecting_ = false;
    int wheel_ = 0;
    int measuredWidest_ = 0;
    bool rangeStale_ = false;
    struct ScrollState {
        int max = -1;
        UINT page = 0;
        int pos = -1;
        friend bool operator==(const ScrollState&, const ScrollState&) = default;
    };
    ScrollState vertical_, horizontal_;  // as last set
    std::unique_ptr<AccessibilityEntry> accessibility_;
    std::unique_ptr<ViewFinder> finder_;
    ClipboardOffer clipboard_;
};

}  // namespace tarnwick::win32
