#pragma once
// Find in the listing, as the system's text editor finds: the system's own find dialog,
// modeless, F3 and Shift+F3 for the next match down and up, the match selected and
// scrolled into view, and the editor's box when there is none. A search runs in slices
// between the window's messages, so that the window answers while it reads a listing of
// any length; it reads the text as it stands, lines a walk adds meanwhile included.
#include <windows.h>

#include <commdlg.h>
#undef FindText  // the system's name for FindTextW would rename UI Automation's FindText

#include <optional>

#include "platform/Text.h"

namespace tarnwick::win32 {

class Win32ResultBox;

class ViewFinder {
  public:
    explicit ViewFinder(Win32ResultBox& view);
    ~ViewFinder();
    ViewFinder(const ViewFinder&) = delete;
    ViewFinder& operator=(const ViewFinder&) = delete;

    // Opens the dialog (or brings it forward) with the selected text, or the last search.
    void OpenDialog();
    // The last search again, down or up; the dialog when nothing was searched yet.
    void FindNext(bool up);
    // The dialog's requests and the search's next slice; true when the message was ours.
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    HWND Dialog() const { return dialog_; }
    bool Searching() const { return search_.has_value(); }

  private:
    struct Search {
        Text needle;
        bool up;
        bool matchCase;
        // Lines go in at the caret, which a search down has behind it and a search up
        // ahead of it: one keeps its place counted from the text's end, the other from its
        // start, so that lines added between slices move neither.
        size_t toEnd;  // down: characters from the next start to be read to the end
        size_t limit;  // up: where the part still to be read ends
    };
    void Start(TextView needle, bool up, bool matchCase);
    void Continue();
    bool Slice(Search& s);  // true when the search has ended
    void Schedule();
    void NotFound(const Search& s);
    bool SelectionToDialog();

    Win32ResultBox& view_;
    HWND dialog_ = nullptr;
    FINDREPLACEW request_{};
    wchar_t findWhat_[256] = L"";
    Text last_;
    bool lastUp_ = false, lastMatchCase_ = false;
    std::optional<Search> search_;
    bool scheduled_ = false;  // a slice is on its way through the queue
    bool reporting_ = false;  // the box that says there is no match is up
};

}  // namespace tarnwick::win32
