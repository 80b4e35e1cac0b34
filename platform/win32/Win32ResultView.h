#pragma once
// The result box: a read-only multi-line text view with both scroll bars and no wrapping.
// The text lives in a TextStore, so a line costs the same however long the listing is;
// only the visible lines are measured and painted, and the screen catches up with the
// text when the window next handles its messages. It answers the edit box messages that
// other programs use to read a text box (WM_GETTEXT, EM_GETSEL, EM_REPLACESEL...).
#include "platform/TextStore.h"
#include "platform/win32/Win32Control.h"

namespace tarnwick::win32 {

class Win32ResultView : public Win32Control<ResultView> {
  public:
    Win32ResultView(HWND parent, Rect r, float unit);
    ~Win32ResultView() override {
        if (IsWindow(hwnd_)) SetWindowLongPtrW(hwnd_, 0, 0);
    }
    Text GetText() const override { return text_.GetText(); }
    void ForEachPiece(const std::function<bool(TextView)>& take) const override {
        text_.ForEachPiece(take);
    }
    void SetText(TextView text) override;
    bool SetSelText(TextView text) override;
    const TextStore& Store() const { return text_; }

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

    void TextChanged();
    void Refresh();
    void CatchUp();  // scroll bars, caret and an invalidated screen, as the text now stands
    void Paint();
    void PaintLine(HDC dc, size_t line, int y);
    void UpdateScrollBars();
    void SetBar(int bar, const SCROLLINFO& info);
    void ScrollTo(long long topLine, int xOffset);
    void ShowCaret();
    void MoveCaret(size_t pos, bool extend);
    void EnsureCaretVisible();
    void OnKey(WPARAM key);
    void HandleScroll(int bar, int code);
    void SelectWordAt(size_t pos);
    void Copy() const;

    size_t HitTest(int x, int y) const;
    int XOf(size_t pos) const;  // from the start of its line, in pixels
    int VisibleLines() const;
    int ClientWidth() const;

    TextStore text_;
    long long topLine_ = 0;
    int xOffset_ = 0;
    int lineHeight_ = 16;
    int charWidth_ = 8;
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
};

}  // namespace tarnwick::win32
