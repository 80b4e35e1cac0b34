// The result box's painting, scrolling and input.
#include "resultview/win32/ResultBoxWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <vector>

#include "platform/win32/Wide.h"
#include "resultview/model/TextUnits.h"
#include "resultview/win32/AccessibilityEntry.h"
#include "resultview/win32/ViewFinder.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnwickResult";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 50;
constexpr UINT kSlowestRefreshMs = 500;
constexpr int kRefreshShare = 40;  // refreshes are spaced 40 times their cost, within the two above
// The margins of an edit box in the interface font, inside the one-pixel inset of its
// client edge: the text starts two pixels from the border.
constexpr int kLeftMargin = 1;
constexpr int kRightMargin = 2;
constexpr int kScrollFraction = 3;  // a caret out of sight comes back a third of the width in
constexpr int kWheelLines = 3;

UINT MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<UINT>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

void RegisterViewClass() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = OwnWindowProc<Win32ResultBox>;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc);
    }();
    (void)atom;
}

bool IsWordCharacter(char16_t c) {
    return c > u' ' && TextView(u"\\/.:;,|\"'()[]{}<>").find(c) == TextView::npos;
}

// Extents of every prefix of a line's text, in pixels.
std::vector<int> Extents(HDC dc, const Text& line) {
    std::vector<int> dx(line.size());
    SIZE size;
    if (!line.empty())
        GetTextExtentExPointW(dc, reinterpret_cast<const wchar_t*>(line.data()),
                              static_cast<int>(line.size()), 0, nullptr, dx.data(), &size);
    return dx;
}

class ViewDC {
  public:
    explicit ViewDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {
        old_ = SelectObject(dc_, InterfaceFont(DpiOf(hwnd)));
    }
    ~ViewDC() {
        SelectObject(dc_, old_);
        ReleaseDC(hwnd_, dc_);
    }
    operator HDC() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace

// Clients may ask for the text and the accessible objects while the window is being made,
// so the accessibility side exists first.
Win32ResultBox::Win32ResultBox(HWND parent, Rect r, float unit)
    : Win32Control(r, unit), accessibility_(std::make_unique<AccessibilityEntry>(*this)) {
    RegisterViewClass();
    CreateChild(parent, kClass, u"", WS_HSCROLL | WS_VSCROLL | WS_TABSTOP, r, unit,
                WS_EX_CLIENTEDGE, this);
    MeasureFont();
    UpdateScrollBars();
}

void Win32ResultBox::MeasureFont() {
    ViewDC dc(hwnd_);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    lineHeight_ = std::max<int>(1, tm.tmHeight);
    charWidth_ = std::max<int>(1, tm.tmAveCharWidth);
    measuredWidest_ = 0;
}

// Lines, caret and scroll ranges are measured again in the font of the new scale.
void Win32ResultBox::OnDpiChanged() {
    Win32Control::OnDpiChanged();
    MeasureFont();
    if (GetFocus() == hwnd_) {
        CreateCaret(hwnd_, nullptr, 1, lineHeight_);
        ShowCaret();
        ::ShowCaret(hwnd_);
    }
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// The window forgets the object first: a message that comes while clients are told the
// view is gone finds none.
Win32ResultBox::~Win32ResultBox() {
    if (IsWindow(hwnd_)) Unlink(hwnd_);
    accessibility_.reset();
}

void Win32ResultBox::SetText(TextView text) {
    try {
        entries_.SetText(text_, text);
    } catch (const std::bad_alloc&) {
        throw MakeError(error::OutOfMemory);
    }
    topLine_ = 0;
    xOffset_ = 0;
    measuredWidest_ = 0;
    modified_ = false;
    caretScrollPending_ = false;
    TextChanged();
}

template <class Edit>
bool Win32ResultBox::Edited(Edit edit) {
    try {
        edit();
    } catch (const std::bad_alloc&) {
        return false;
    }
    modified_ = true;
    caretScrollPending_ = true;
    TextChanged();
    return true;
}

bool Win32ResultBox::SetSelText(TextView text) {
    return Edited([&] { entries_.ReplaceSelection(text_, text); });
}

bool Win32ResultBox::SetSelEntry(TextView text, int32_t level, TextView realName) {
    return Edited([&] { entries_.ReplaceSelection(text_, text, level, realName); });
}

// The screen follows the text at most every kRefreshMs, when the window handles its
// messages: a walk that appends many lines pays for a few repaints a second, not one
// per line or per folder. Where a refresh and its repaint are slow (scroll bars drawn
// through a remote display), the refreshes are spaced so they stay a small share.
void Win32ResultBox::TextChanged() {
    accessibility_->TextChanged();
    accessibility_->SelectionChanged();  // the caret moved with the text
    if (refreshPosted_) return;
    const UINT interval =
        std::clamp<UINT>(refreshCostMs_ * kRefreshShare, kRefreshMs, kSlowestRefreshMs);
    refreshPosted_ = SetTimer(hwnd_, kRefreshTimer, interval, nullptr) != 0;
    if (!refreshPosted_) Refresh();  // no timer to be had: now
}

void Win32ResultBox::Refresh() {
    const auto start = std::chrono::steady_clock::now();
    KillTimer(hwnd_, kRefreshTimer);
    refreshPosted_ = false;
    CatchUp();
    UpdateWindow(hwnd_);      // paint now, so the cost below includes it
    accessibility_->Flush();  // the events of what changed, at the pace of the screen
    refreshCostMs_ = MillisecondsSince(start);
}

void Win32ResultBox::CatchUp() {
    ApplyPendingScroll();
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, TRUE);
    ShowCaret();
}

// Inserted text scrolls the caret into view as in an edit box, but only when someone
// looks: the next refresh, or a client's question about what is in view. What the user
// does with the mouse, the wheel and the scroll bars acts on what the screen shows.
void Win32ResultBox::ApplyPendingScroll() {
    if (!caretScrollPending_) return;
    caretScrollPending_ = false;
    ScrollCaret();
}

RECT Win32ResultBox::FormatRect() const {
    RECT client;
    GetClientRect(hwnd_, &client);
    RECT r = client;
    InflateRect(&r, -1, 0);
    if (r.bottom - r.top >= lineHeight_ + 2) InflateRect(&r, 0, -1);
    r.left += kLeftMargin;
    r.right -= kRightMargin;
    const int lines = std::max(1, static_cast<int>((r.bottom - r.top) / lineHeight_));
    r.bottom = std::min<LONG>(r.top + lines * lineHeight_, client.bottom);
    return r;
}

size_t Win32ResultBox::VisibleLines() const {
    const RECT r = FormatRect();
    return static_cast<size_t>(std::max(1, static_cast<int>((r.bottom - r.top) / lineHeight_)));
}

size_t Win32ResultBox::FirstVisibleLine() {
    ApplyPendingScroll();
    return static_cast<size_t>(topLine_);
}

int Win32ResultBox::FormatWidth() const {
    const RECT r = FormatRect();
    return std::max<int>(0, r.right - r.left);
}

// The longest line is known in characters; its width is estimated, and corrected by what
// painting has measured.
int Win32ResultBox::WidestLine() const {
    const long long widest = std::max<long long>(
        static_cast<long long>(text_.LongestLine()) * charWidth_ * 3 / 2, measuredWidest_);
    return static_cast<int>(std::min<long long>(widest, INT32_MAX / 2));
}

void Win32ResultBox::UpdateScrollBars() {
    const long long lines = static_cast<long long>(text_.LineCount());
    const long long page = static_cast<long long>(VisibleLines());
    topLine_ = std::clamp<long long>(topLine_, 0, std::max<long long>(0, lines - page));
    SCROLLINFO v{sizeof v,
                 SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                 0,
                 static_cast<int>(std::min<long long>(lines - 1, INT32_MAX)),
                 static_cast<UINT>(page),
                 static_cast<int>(topLine_),
                 0};
    SetBar(SB_VERT, v);
    const int width = WidestLine();
    xOffset_ = std::clamp(xOffset_, 0, width);
    SCROLLINFO h{sizeof h,
                 SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                 0,
                 std::max(0, width - 1),
                 static_cast<UINT>(FormatWidth()),
                 xOffset_,
                 0};
    SetBar(SB_HORZ, h);
}

// Drawing a scroll bar is slow on some systems (most of a refresh under Wine), so a bar
// whose range, page and position stand as they were is left alone.
void Win32ResultBox::SetBar(int bar, const SCROLLINFO& info) {
    ScrollState& last = bar == SB_VERT ? vertical_ : horizontal_;
    const ScrollState now{info.nMax, info.nPage, info.nPos};
    if (now == last) return;
    last = now;
    SetScrollInfo(hwnd_, bar, &info, TRUE);
}

void Win32ResultBox::ScrollTo(long long topLine, int xOffset) {
    topLine_ = topLine;
    xOffset_ = std::max(0, xOffset);
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, TRUE);
    ShowCaret();
}

// As an edit box scrolls: never above the first line nor so far that the last line leaves
// the bottom, and sideways as far as the widest line.
void Win32ResultBox::ScrollLines(int dx, long long dy) {
    dx = std::clamp(dx, -xOffset_, std::max(0, WidestLine() - xOffset_));
    const long long lines = static_cast<long long>(text_.LineCount());
    const long long page = static_cast<long long>(VisibleLines());
    long long top = std::max<long long>(0, topLine_ + dy);
    if (top >= lines - page) top = std::max<long long>(0, lines - page);
    if (dx != 0 || top != topLine_) ScrollTo(top, xOffset_ + dx);
}

void Win32ResultBox::ScrollCaret() {
    const size_t caret = text_.Caret();
    const long long line = static_cast<long long>(text_.LineOf(caret));
    const long long page = static_cast<long long>(VisibleLines());
    long long dy = 0;
    if (line >= topLine_ + page) dy = line - page + 1 - topLine_;
    if (line < topLine_) dy = line - topLine_;
    const int width = FormatWidth();
    const int x = XOf(caret) - xOffset_;  // from the format rectangle's left
    int dx = 0;
    if (x < 0) dx = x - width / kScrollFraction / charWidth_ * charWidth_;
    if (x > width)
        dx = x - (kScrollFraction - 1) * width / kScrollFraction / charWidth_ * charWidth_;
    if (dx != 0 && xOffset_ + dx + width > WidestLine())
        dx = std::min(dx, std::max(0, WidestLine() - width - xOffset_));
    ScrollLines(dx, dy);
}

void Win32ResultBox::Paint() {
    ApplyPendingScroll();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    const HGDIOBJ oldFont = SelectObject(dc, InterfaceFont(DpiOf(hwnd_)));
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    const RECT r = FormatRect();
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    const long long last = std::min<long long>(static_cast<long long>(text_.LineCount()),
                                               topLine_ + static_cast<long long>(VisibleLines()));
    for (long long line = topLine_; line < last; ++line)
        PaintLine(dc, static_cast<size_t>(line), r.left - xOffset_,
                  r.top + static_cast<int>((line - topLine_) * lineHeight_));
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
    if (rangeStale_) {  // a line wider than estimated: let the scroll bar reach its end
        rangeStale_ = false;
        UpdateScrollBars();
    }
}

// A line in up to three pieces: before, inside and after the selection.
void Win32ResultBox::PaintLine(HDC dc, size_t line, int x, int y) {
    const size_t start = text_.LineStart(line);
    const Text content = text_.Substr(start, text_.LineEnd(line) - start);
    const size_t selFrom = std::clamp(text_.SelStart(), start, start + content.size()) - start;
    const size_t selTo = std::clamp(text_.SelEnd(), start, start + content.size()) - start;
    const int left = x;
    SetBkMode(dc, OPAQUE);
    auto piece = [&](size_t from, size_t to, bool selected) {
        if (from >= to) return;
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        const auto* s = reinterpret_cast<const wchar_t*>(content.data() + from);
        const int n = static_cast<int>(to - from);
        TextOutW(dc, x, y, s, n);
        SIZE size;
        GetTextExtentPoint32W(dc, s, n, &size);
        x += size.cx;
    };
    piece(0, selFrom, false);
    piece(selFrom, selTo, true);
    piece(selTo, content.size(), false);
    if (x - left > measuredWidest_) {
        measuredWidest_ = x - left;
        rangeStale_ = true;
    }
}

// A position inside a line's end counts as just beyond the line's last character.
int Win32ResultBox::XOf(size_t pos) const {
    const size_t line = text_.LineOf(pos);
    const size_t start = text_.LineStart(line);
    pos = std::min(pos, text_.LineEnd(line));
    if (pos == start) return 0;
    ViewDC dc(hwnd_);
    const std::vector<int> dx = Extents(dc, text_.Substr(start, pos - start));
    return dx.empty() ? 0 : dx.back();
}

POINT Win32ResultBox::PointOf(size_t pos) {
    ApplyPendingScroll();
    const RECT r = FormatRect();
    const long long line = static_cast<long long>(text_.LineOf(pos));
    return {r.left + XOf(pos) - xOffset_,
            r.top + static_cast<int>((line - topLine_) * lineHeight_)};
}

// As an edit box finds a point: the line under it (the inset above the first line counts
// as that line), then the boundary nearest to it; left of the text is the line's start,
// right of it the line's end.
size_t Win32ResultBox::CharAt(POINT p) {
    const RECT r = FormatRect();
    const int dy = static_cast<int>(p.y - r.top);
    long long rows = dy >= 0 ? dy / lineHeight_ : (dy - lineHeight_ + 1) / lineHeight_;
    if (p.y >= 0 && dy < 0) rows = 0;
    const long long lines = static_cast<long long>(text_.LineCount());
    const size_t line = static_cast<size_t>(std::clamp<long long>(topLine_ + rows, 0, lines - 1));
    const size_t start = text_.LineStart(line);
    const Text content = text_.Substr(start, text_.LineLength(line));
    const int target = static_cast<int>(p.x - r.left) + xOffset_;
    if (target <= 0 || content.empty()) return start;
    ViewDC dc(hwnd_);
    const std::vector<int> dx = Extents(dc, content);
    size_t column = 0;
    while (column < dx.size()) {
        const int before = column == 0 ? 0 : dx[column - 1];
        if (2 * target < before + dx[column]) break;  // in the character's first half
        ++column;
    }
    if (column > 0 && column < content.size() && IsHighSurrogate(content[column - 1]) &&
        IsLowSurrogate(content[column]))
        ++column;
    return start + column;
}

ScreenPoint Win32ResultBox::ScreenPointOf(size_t pos) {
    const RECT format = FormatRect();
    POINT p = PointOf(pos);
    p.x = std::clamp(p.x, format.left, format.right);
    ClientToScreen(hwnd_, &p);
    return {p.x, p.y};
}

size_t Win32ResultBox::CharAtScreen(ScreenPoint at) {
    POINT p{at.x, at.y};
    ScreenToClient(hwnd_, &p);
    ApplyPendingScroll();
    return CharAt(p);
}

void Win32ResultBox::ShowCaret() {
    if (GetFocus() != hwnd_) return;
    const POINT p = PointOf(text_.Caret());
    SetCaretPos(p.x, p.y);
}

void Win32ResultBox::Select(size_t anchor, size_t caret) {
    text_.Select(anchor, caret);
    caretScrollPending_ = false;
    ScrollCaret();
    InvalidateRect(hwnd_, nullptr, TRUE);
    ShowCaret();
    SelectionMoved();
}

void Win32ResultBox::ScrollIntoView(size_t from, size_t to, bool alignToTop) {
    ApplyPendingScroll();
    const long long first = static_cast<long long>(text_.LineOf(from));
    const long long last = static_cast<long long>(text_.LineOf(to));
    const long long page = static_cast<long long>(VisibleLines());
    ScrollLines(0, (alignToTop ? first : last - page + 1) - topLine_);
}

IRawElementProviderSimple* Win32ResultBox::AutomationElement() {
    return accessibility_->Element();
}

void Win32ResultBox::MoveCaret(size_t pos, bool extend) {
    Select(extend ? text_.Anchor() : pos, pos);
}

void Win32ResultBox::SelectionMoved() {
    accessibility_->SelectionChanged();
    accessibility_->Flush();
}

void Win32ResultBox::SelectWordAt(size_t pos) {
    size_t from = pos, to = pos;
    const size_t line = text_.LineOf(pos);
    const size_t start = text_.LineStart(line), end = text_.LineEnd(line);
    const Text content = text_.Substr(start, end - start);
    while (from > start && IsWordCharacter(content[from - 1 - start])) --from;
    while (to < end && IsWordCharacter(content[to - start])) ++to;
    Select(from, to);
}

// The selection goes straight into the clipboard's memory, with no copy of its own; the
// offer hands it to the system when a program pastes.
void Win32ResultBox::Copy() {
    const size_t from = text_.SelStart(), count = text_.SelEnd() - from;
    if (count == 0) return;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (count + 1) * sizeof(wchar_t));
    if (!memory) return;
    auto* p = static_cast<char16_t*>(GlobalLock(memory));
    p[text_.CopyTo(from, count, p)] = u'\0';
    GlobalUnlock(memory);
    if (!clipboard_.Put(memory, hwnd_)) GlobalFree(memory);
}

void Win32ResultBox::OnKey(WPARAM key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    const size_t caret = text_.Caret();
    const size_t line = text_.LineOf(caret);
    const size_t lineStart = text_.LineStart(line), lineEnd = text_.LineEnd(line);
    const size_t lastLine = text_.LineCount() - 1;
    const long long page = static_cast<long long>(VisibleLines());
    auto toLine = [&](long long target) {  // the target line at the caret's x
        const long long l = std::clamp<long long>(target, 0, static_cast<long long>(lastLine));
        const RECT r = FormatRect();
        return CharAt({r.left + XOf(caret) - xOffset_,
                       r.top + static_cast<int>((l - topLine_) * lineHeight_)});
    };
    const TextUnits units(text_, static_cast<size_t>(page));
    switch (key) {
        case VK_LEFT:  // a line's end and a pair are one character each
            return MoveCaret(units.Previous(TextUnit::Character, caret), shift);
        case VK_RIGHT:
            return MoveCaret(units.Next(TextUnit::Character, caret), shift);
        case VK_UP:
            return MoveCaret(toLine(static_cast<long long>(line) - 1), shift);
        case VK_DOWN:
            return MoveCaret(toLine(static_cast<long long>(line) + 1), shift);
        case VK_PRIOR:
            return MoveCaret(toLine(static_cast<long long>(line) - page), shift);
        case VK_NEXT:
            return MoveCaret(toLine(static_cast<long long>(line) + page), shift);
        case VK_HOME:
            return MoveCaret(ctrl ? 0 : lineStart, shift);
        case VK_END:
            return MoveCaret(ctrl ? text_.Length() : lineEnd, shift);
        case 'A':
            if (ctrl) Select(0, text_.Length());
            return;
        case 'C':
        case VK_INSERT:
            if (ctrl) Copy();
            return;
    }
}

void Win32ResultBox::HandleScroll(int bar, int code) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, bar, &si);
    const bool vertical = bar == SB_VERT;
    const long long line = vertical ? 1 : charWidth_ * 4;
    const long long page =
        vertical ? static_cast<long long>(VisibleLines()) : std::max(1, FormatWidth());
    long long pos = vertical ? topLine_ : xOffset_;
    switch (code) {
        case SB_LINEUP:
            pos -= line;
            break;
        case SB_LINEDOWN:
            pos += line;
            break;
        case SB_PAGEUP:
            pos -= page;
            break;
        case SB_PAGEDOWN:
            pos += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = si.nTrackPos;
            break;
        case SB_TOP:
            pos = 0;
            break;
        case SB_BOTTOM:
            pos = si.nMax;
            break;
        default:
            return;
    }
    if (vertical) {
        ScrollTo(pos, xOffset_);
    } else {
        ScrollTo(topLine_, static_cast<int>(std::clamp<long long>(
                               pos, 0, std::max(0, WidestLine() - FormatWidth()))));
    }
}

// Drawing: the refresh timer, painting, the font, a new size.
bool Win32ResultBox::OnPaintingMessage(UINT msg, WPARAM wp, LPARAM /*lp*/, LRESULT& result) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kRefreshTimer) Refresh();
            result = 0;
            return true;
        case WM_PAINT:
            Paint();
            result = 0;
            return true;
        case WM_ERASEBKGND:
            result = 1;
            return true;
        case WM_GETFONT:  // what the text is drawn in, as an edit box answers
            result = reinterpret_cast<LRESULT>(InterfaceFont(DpiOf(hwnd_)));
            return true;
        case WM_SIZE:
            UpdateScrollBars();
            InvalidateRect(hwnd_, nullptr, TRUE);
            result = 0;
            return true;
    }
    return false;
}

// The scroll bars and the wheel.
bool Win32ResultBox::OnScrollMessage(UINT msg, WPARAM wp, LPARAM /*lp*/, LRESULT& result) {
    switch (msg) {
        case WM_VSCROLL:
            HandleScroll(SB_VERT, LOWORD(wp));
            result = 0;
            return true;
        case WM_HSCROLL:
            HandleScroll(SB_HORZ, LOWORD(wp));
            result = 0;
            return true;
        case WM_MOUSEWHEEL: {  // fine-grained wheels send parts of a notch
            wheel_ += GET_WHEEL_DELTA_WPARAM(wp);
            const int lines = wheel_ * kWheelLines / WHEEL_DELTA;
            wheel_ -= lines * WHEEL_DELTA / kWheelLines;
            if (lines != 0) ScrollTo(topLine_ - lines, xOffset_);
            result = 0;
            return true;
        }
    }
    return false;
}

// The caret comes and goes with the focus.
bool Win32ResultBox::OnFocusMessage(UINT msg, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& result) {
    switch (msg) {
        case WM_SETFOCUS:
            CreateCaret(hwnd_, nullptr, 1, lineHeight_);
            ShowCaret();
            ::ShowCaret(hwnd_);
            result = 0;
            return true;
        case WM_KILLFOCUS:
            DestroyCaret();
            result = 0;
            return true;
    }
    return false;
}

// Selecting with the mouse.
bool Win32ResultBox::OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        // The mouse finds what the screen shows, which may lag behind the text.
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd_);
            const size_t pos = CharAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            MoveCaret(pos, (wp & MK_SHIFT) != 0);
            SetCapture(hwnd_);
            selecting_ = true;
            result = 0;
            return true;
        }
        case WM_MOUSEMOVE:
            if (selecting_ && (wp & MK_LBUTTON))
                MoveCaret(CharAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}), true);
            result = 0;
            return true;
        case WM_CAPTURECHANGED:  // an error box or another window took the mouse
            selecting_ = false;
            result = 0;
            return true;
        case WM_LBUTTONUP:
            selecting_ = false;
            ReleaseCapture();
            result = 0;
            return true;
        case WM_LBUTTONDBLCLK:
            SelectWordAt(CharAt({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
            result = 0;
            return true;
    }
    return false;
}

// Keys move the caret; characters change nothing.
bool Win32ResultBox::OnKeyMessage(UINT msg, WPARAM wp, LPARAM /*lp*/, LRESULT& result) {
    switch (msg) {
        case WM_KEYDOWN:
            OnKey(wp);
            result = 0;
            return true;
        case WM_CHAR:
            result = 0;
            return true;  // the listing is read-only
    }
    return false;
}

LRESULT Win32ResultBox::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (msg == WM_DESTROY) clipboard_.End();
    if (OnMenuMessage(msg, wp, lp, result)) return result;  // before the keys it takes
    if (OnTextMessage(msg, wp, lp, result) || accessibility_->OnMessage(msg, wp, lp, result) ||
        OnPaintingMessage(msg, wp, lp, result) || OnScrollMessage(msg, wp, lp, result) ||
        OnFocusMessage(msg, wp, lp, result) || OnMouseMessage(msg, wp, lp, result) ||
        OnKeyMessage(msg, wp, lp, result))
        return result;
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace tarnwick::win32
