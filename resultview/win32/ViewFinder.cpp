#include "resultview/win32/ViewFinder.h"

#include <algorithm>

#include "platform/win32/Wide.h"
#include "resultview/model/TextSearch.h"
#include "resultview/win32/CaseFold.h"
#include "resultview/win32/ResultBoxWindow.h"

namespace tarnwick::win32 {
namespace {

// Characters read between two looks at the queue: a few milliseconds, so the window answers
// a click well within 50 ms, and few enough looks that a search through 10^6 lines (about
// 70 M characters) costs little more than reading them.
constexpr size_t kSlice = size_t{1} << 21;
constexpr UINT kNextSlice = WM_APP + 0x46;
constexpr UINT_PTR kSliceTimer = 0x46;
constexpr int kFindWhat = 0x480;  // the dialog's text box (edt1)

UINT FindMessage() {
    static const UINT message = RegisterWindowMessageW(FINDMSGSTRINGW);
    return message;
}

bool FitsTheDialog(TextView text, size_t room) {
    return !text.empty() && text.size() < room && text.find_first_of(u"\r\n") == TextView::npos;
}

}  // namespace

ViewFinder::ViewFinder(Win32ResultBox& view) : view_(view) {}

ViewFinder::~ViewFinder() {
    if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);  // gone with its owner, maybe
}

// As the editor does: the selection when it is a piece of one line, else the last search;
// true when either was put in.
bool ViewFinder::SelectionToDialog() {
    const TextStore& text = view_.Store();
    const Text selected = text.Substr(
        text.SelStart(), std::min<size_t>(text.SelEnd() - text.SelStart(), std::size(findWhat_)));
    const Text& use = FitsTheDialog(selected, std::size(findWhat_)) ? selected : last_;
    if (!FitsTheDialog(use, std::size(findWhat_))) return false;
    std::copy(use.begin(), use.end(), findWhat_);
    findWhat_[use.size()] = L'\0';
    return true;
}

// An open dialog comes forward, with the selection if there is one to put in.
void ViewFinder::OpenDialog() {
    const bool filled = SelectionToDialog();
    if (dialog_ && IsWindow(dialog_)) {
        if (filled) SetDlgItemTextW(dialog_, kFindWhat, findWhat_);
        SetActiveWindow(dialog_);
        SetFocus(GetDlgItem(dialog_, kFindWhat));
        SendDlgItemMessageW(dialog_, kFindWhat, EM_SETSEL, 0, -1);
        return;
    }
    request_ = {};
    request_.lStructSize = sizeof request_;
    request_.hwndOwner = view_.Handle();
    request_.lpstrFindWhat = findWhat_;
    request_.wFindWhatLen = static_cast<WORD>(std::size(findWhat_));
    request_.Flags =
        FR_HIDEWHOLEWORD | (lastUp_ ? 0 : FR_DOWN) | (lastMatchCase_ ? FR_MATCHCASE : 0);
    dialog_ = FindTextW(&request_);
}

void ViewFinder::FindNext(bool up) {
    if (last_.empty()) return OpenDialog();
    Start(last_, up, lastMatchCase_);
}

bool ViewFinder::OnMessage(UINT msg, WPARAM wp, LPARAM /*lp*/, LRESULT& result) {
    result = 0;
    if (msg == FindMessage()) {
        if (request_.Flags & FR_DIALOGTERM) {
            dialog_ = nullptr;
        } else if (request_.Flags & FR_FINDNEXT) {
            Start(FromW(findWhat_), !(request_.Flags & FR_DOWN), request_.Flags & FR_MATCHCASE);
        }
        return true;
    }
    if (msg == kNextSlice || (msg == WM_TIMER && wp == kSliceTimer)) {
        if (msg == WM_TIMER) KillTimer(view_.Handle(), kSliceTimer);
        scheduled_ = false;
        Continue();
        return true;
    }
    return false;
}

// Down from the selection's end, or up from its start. A search asked for while another
// runs takes its place.
void ViewFinder::Start(TextView needle, bool up, bool matchCase) {
    if (reporting_ || needle.empty()) return;
    last_ = needle;
    lastUp_ = up;
    lastMatchCase_ = matchCase;
    const TextStore& text = view_.Store();
    search_ = Search{last_, up, matchCase, text.Length() - text.SelEnd(), text.SelStart()};
    if (!scheduled_) Continue();
}

void ViewFinder::Continue() {
    if (!search_ || Slice(*search_)) return;
    Schedule();
}

// Input waiting goes first: a message posted now would be taken before it.
void ViewFinder::Schedule() {
    const HWND view = view_.Handle();
    scheduled_ = HIWORD(GetQueueStatus(QS_INPUT)) != 0
                     ? SetTimer(view, kSliceTimer, USER_TIMER_MINIMUM, nullptr) != 0
                     : PostMessageW(view, kNextSlice, 0, 0) != 0;
    if (!scheduled_)  // a queue that takes no more: the rest at once
        while (search_ && !Slice(*search_)) {
        }
}

// One slice of the text: matches starting in kSlice positions.
bool ViewFinder::Slice(Search& s) {
    const TextStore& text = view_.Store();
    const size_t length = text.Length(), reach = kSlice + s.needle.size() - 1;
    const TextSearch search(s.needle, s.matchCase ? nullptr : UpperCase());
    size_t at = TextSearch::kNone;
    bool last = false;
    if (!s.up) {
        const size_t from = length - std::min(s.toEnd, length);
        const size_t to = length - from > reach ? from + reach : length;
        at = search.Find(text, from, to, false);
        last = to == length;
        s.toEnd = length - from - std::min(kSlice, length - from);
    } else {
        const size_t to = std::min(s.limit, length);
        const size_t from = to > reach ? to - reach : 0;
        at = search.Find(text, from, to, true);
        last = from == 0;
        s.limit = to - std::min(kSlice, to);
    }
    if (at == TextSearch::kNone && !last) return false;
    const Search ended = std::move(s);
    search_.reset();
    if (at == TextSearch::kNone) {
        NotFound(ended);
    } else {
        view_.Select(at, at + ended.needle.size());
    }
    return true;
}

// The editor's box, over the dialog while that is in use. The selection stays. The window
// is disabled under it as well: the box may be up inside a walk's pump, and a stop or a
// close clicked under it would run inside the search that shows it.
void ViewFinder::NotFound(const Search& s) {
    const HWND window = GetAncestor(view_.Handle(), GA_ROOT);
    const HWND owner = dialog_ && GetActiveWindow() == dialog_ ? dialog_ : window;
    const bool disabled = owner != window && !EnableWindow(window, FALSE);
    const Text message = u"找不到“" + s.needle + u"”";
    reporting_ = true;
    MessageBoxW(owner, W(message), L"Tarnwick", MB_OK | MB_ICONINFORMATION);
    reporting_ = false;
    if (disabled) EnableWindow(window, TRUE);
}

}  // namespace tarnwick::win32
