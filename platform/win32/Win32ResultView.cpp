#include "platform/win32/Win32ResultView.h"

#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <vector>

#include "platform/win32/Wide.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnwickResult";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 50;
constexpr UINT kSlowestRefreshMs = 500;
constexpr int kRefreshShare = 40;  // refreshes are spaced 40 times their cost, within the two above
constexpr int kLeftMargin = 2;
constexpr int kWheelLines = 3;

UINT MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<UINT>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

HWND CreateView(HWND parent, Rect r, float unit) {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;  // replaced once the object exists
        wc.cbWndExtra = sizeof(void*);
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc);
    }();
    (void)atom;
    return CreateChild(parent, kClass, u"", WS_HSCROLL | WS_VSCROLL | WS_TABSTOP, r, unit,
                       WS_EX_CLIENTEDGE);
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
        old_ = SelectObject(dc_, InterfaceFont());
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

Win32ResultView::Win32ResultView(HWND parent, Rect r, float unit)
    : Win32Control(CreateView(parent, r, unit), r, unit) {
    SetWindowLongPtrW(hwnd_, 0, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc));
    ViewDC dc(hwnd_);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    lineHeight_ = std::max<int>(1, tm.tmHeight);
    charWidth_ = std::max<int>(1, tm.tmAveCharWidth);
    UpdateScrollBars();
}

void Win32ResultView::SetText(TextView text) {
    try {
        text_.SetText(text);
    } catch (const std::bad_alloc&) {
        throw MakeError(error::OutOfMemory);
    }
    topLine_ = 0;
    xOffset_ = 0;
    measuredWidest_ = 0;
    TextChanged();
}

bool Win32ResultView::SetSelText(TextView text) {
    try {
        text_.ReplaceSelection(text);
    } catch (const std::bad_alloc&) {
        return false;
    }
    TextChanged();
    return true;
}

// The screen follows the text at most every kRefreshMs, when the window handles its
// messages: a walk that appends many lines pays for a few repaints a second, not one
// per line or per folder. Where a refresh and its repaint are slow (scroll bars drawn
// through a remote display), the refreshes are spaced so they stay a small share.
void Win32ResultView::TextChanged() {
    if (refreshPosted_) return;
    const UINT interval =
        std::clamp<UINT>(refreshCostMs_ * kRefreshShare, kRefreshMs, kSlowestRefreshMs);
    refreshPosted_ = SetTimer(hwnd_, kRefreshTimer, interval, nullptr) != 0;
    if (!refreshPosted_) CatchUp();  // no timer to be had: painted when the window next is
}

void Win32ResultView::Refresh() {
    const auto start = std::chrono::steady_clock::now();
    KillTimer(hwnd_, kRefreshTimer);
    refreshPosted_ = false;
    CatchUp();
    UpdateWindow(hwnd_);  // paint now, so the cost below includes it
    refreshCostMs_ = MillisecondsSince(start);
}

void Win32ResultView::CatchUp() {
    EnsureCaretVisible();
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, TRUE);
    ShowCaret();
}

int Win32ResultView::VisibleLines() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return std::max(1, static_cast<int>(r.bottom / lineHeight_));
}

int Win32ResultView::ClientWidth() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return r.right;
}

void Win32ResultView::UpdateScrollBars() {
    const long long lines = static_cast<long long>(text_.LineCount());
    const int page = VisibleLines();
    topLine_ = std::clamp<long long>(topLine_, 0, std::max<long long>(0, lines - page));
    SCROLLINFO v{sizeof v,
                 SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                 0,
                 static_cast<int>(std::min<long long>(lines - 1, INT32_MAX)),
                 static_cast<UINT>(page),
                 static_cast<int>(topLine_),
                 0};
    SetBar(SB_VERT, v);
    // The longest line is known in characters; its width is estimated, and corrected by
    // what painting has measured.
    const long long widest =
        std::max<long long>(static_cast<long long>(text_.LongestLine()) * charWidth_ * 3 / 2,
                            measuredWidest_) +
        kLeftMargin * 2;
    const int width = static_cast<int>(std::min<long long>(widest, INT32_MAX / 2));
    xOffset_ = std::clamp(xOffset_, 0, std::max(0, width - ClientWidth()));
    SCROLLINFO h{sizeof h,
                 SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                 0,
                 width,
                 static_cast<UINT>(ClientWidth()),
                 xOffset_,
                 0};
    SetBar(SB_HORZ, h);
}

// Drawing a scroll bar is slow on some systems (most of a refresh under Wine), so a bar
// whose range, page and position stand as they were is left alone.
void Win32ResultView::SetBar(int bar, const SCROLLINFO& info) {
    ScrollState& last = bar == SB_VERT ? vertical_ : horizontal_;
    const ScrollState now{info.nMax, info.nPage, info.nPos};
    if (now == last) return;
    last = now;
    SetScrollInfo(hwnd_, bar, &info, TRUE);
}

void Win32ResultView::ScrollTo(long long topLine, int xOffset) {
    topLine_ = topLine;
    xOffset_ = xOffset;
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, TRUE);
    ShowCaret();
}

void Win32ResultView::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    const HGDIOBJ oldFont = SelectObject(dc, InterfaceFont());
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    const long long last = std::min<long long>(static_cast<long long>(text_.LineCount()),
                                               topLine_ + VisibleLines() + 1);
    for (long long line = topLine_; line < last; ++line)
        PaintLine(dc, static_cast<size_t>(line), static_cast<int>((line - topLine_) * lineHeight_));
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
    if (rangeStale_) {  // a line wider than estimated: let the scroll bar reach its end
        rangeStale_ = false;
        UpdateScrollBars();
    }
}

// A line in up to three pieces: before, inside and after the selection.
void Win32ResultView::PaintLine(HDC dc, size_t line, int y) {
    const size_t start = text_.LineStart(line);
    const Text content = text_.Substr(start, text_.LineLength(line));
    const size_t selFrom = std::clamp(text_.SelStart(), start, start + content.size()) - start;
    const size_t selTo = std::clamp(text_.SelEnd(), start, start + content.size()) - start;
    int x = kLeftMargin - xOffset_;
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
    const int width = x + xOffset_ - kLeftMargin;
    if (width > measuredWidest_) {
        measuredWidest_ = width;
        rangeStale_ = true;
    }
}

int Win32ResultView::XOf(size_t pos) const {
    const size_t line = text_.LineOf(pos);
    const size_t start = text_.LineStart(line);
    if (pos == start) return 0;
    ViewDC dc(hwnd_);
    const std::vector<int> dx = Extents(dc, text_.Substr(start, pos - start));
    return dx.empty() ? 0 : dx.back();
}

size_t Win32ResultView::HitTest(int x, int y) const {
    const long long lines = static_cast<long long>(text_.LineCount());
    const long long line =
        std::clamp<long long>(topLine_ + (y < 0 ? -1 : y / lineHeight_), 0, lines - 1);
    const size_t start = text_.LineStart(static_cast<size_t>(line));
    const Text content = text_.Substr(start, text_.LineLength(static_cast<size_t>(line)));
    ViewDC dc(hwnd_);
    const std::vector<int> dx = Extents(dc, content);
    const int target = x + xOffset_ - kLeftMargin;
    size_t column = 0;
    while (column < dx.size()) {
        const int before = column == 0 ? 0 : dx[column - 1];
        if (target < (before + dx[column]) / 2) break;
        ++column;
    }
    return start + column;
}

void Win32ResultView::ShowCaret() {
    if (GetFocus() != hwnd_) return;
    const size_t caret = text_.Caret();
    const long long line = static_cast<long long>(text_.LineOf(caret));
    SetCaretPos(kLeftMargin - xOffset_ + XOf(caret),
                static_cast<int>((line - topLine_) * lineHeight_));
}

void Win32ResultView::EnsureCaretVisible() {
    const size_t caret = text_.Caret();
    const long long line = static_cast<long long>(text_.LineOf(caret));
    if (line < topLine_) topLine_ = line;
    if (line >= topLine_ + VisibleLines()) topLine_ = line - VisibleLines() + 1;
    const int x = XOf(caret);
    if (x < xOffset_) xOffset_ = std::max(0, x - ClientWidth() / 4);
    if (x > xOffset_ + ClientWidth() - kLeftMargin * 2) xOffset_ = x - ClientWidth() * 3 / 4;
}

void Win32ResultView::MoveCaret(size_t pos, bool extend) {
    text_.Select(extend ? text_.Anchor() : pos, pos);
    EnsureCaretVisible();
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, TRUE);
    ShowCaret();
}

void Win32ResultView::SelectWordAt(size_t pos) {
    size_t from = pos, to = pos;
    const size_t line = text_.LineOf(pos);
    const size_t start = text_.LineStart(line), end = start + text_.LineLength(line);
    const Text content = text_.Substr(start, end - start);
    while (from > start && IsWordCharacter(content[from - 1 - start])) --from;
    while (to < end && IsWordCharacter(content[to - start])) ++to;
    text_.Select(from, to);
    MoveCaret(to, true);
}

void Win32ResultView::Copy() const {
    const Text selected = text_.Substr(text_.SelStart(), text_.SelEnd() - text_.SelStart());
    if (selected.empty() || !OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    const size_t bytes = (selected.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        void* p = GlobalLock(memory);
        std::memcpy(p, selected.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
}

void Win32ResultView::OnKey(WPARAM key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    const size_t caret = text_.Caret();
    const size_t line = text_.LineOf(caret);
    const size_t lineStart = text_.LineStart(line), lineEnd = lineStart + text_.LineLength(line);
    const size_t lastLine = text_.LineCount() - 1;
    auto toLine = [&](long long target) {
        const long long l = std::clamp<long long>(target, 0, static_cast<long long>(lastLine));
        const int x = XOf(caret) + kLeftMargin - xOffset_;
        const long long saved = topLine_;
        topLine_ = l;  // hit-test the target line at the caret's x
        const size_t pos = HitTest(x, 0);
        topLine_ = saved;
        return pos;
    };
    switch (key) {
        case VK_LEFT:  // from a line's start to the end of the line before, whatever its ending
            if (caret == lineStart)
                return MoveCaret(
                    line > 0 ? text_.LineStart(line - 1) + text_.LineLength(line - 1) : 0, shift);
            return MoveCaret(caret - 1, shift);
        case VK_RIGHT:
            return MoveCaret(caret == lineEnd && line < lastLine ? text_.LineStart(line + 1)
                                                                 : std::min(caret + 1, lineEnd),
                             shift);
        case VK_UP:
            return MoveCaret(toLine(static_cast<long long>(line) - 1), shift);
        case VK_DOWN:
            return MoveCaret(toLine(static_cast<long long>(line) + 1), shift);
        case VK_PRIOR:
            return MoveCaret(toLine(static_cast<long long>(line) - VisibleLines()), shift);
        case VK_NEXT:
            return MoveCaret(toLine(static_cast<long long>(line) + VisibleLines()), shift);
        case VK_HOME:
            return MoveCaret(ctrl ? 0 : lineStart, shift);
        case VK_END:
            return MoveCaret(ctrl ? text_.Length() : lineEnd, shift);
        case 'A':
            if (ctrl) {
                text_.Select(0, text_.Length());
                MoveCaret(text_.Length(), true);
            }
            return;
        case 'C':
        case VK_INSERT:
            if (ctrl) Copy();
            return;
    }
}

void Win32ResultView::HandleScroll(int bar, int code) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, bar, &si);
    const bool vertical = bar == SB_VERT;
    const long long line = vertical ? 1 : charWidth_ * 4;
    const long long page = vertical ? VisibleLines() : ClientWidth();
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
        ScrollTo(topLine_, static_cast<int>(std::max<long long>(0, pos)));
    }
}

LRESULT CALLBACK Win32ResultView::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32ResultView*>(GetWindowLongPtrW(hwnd, 0));
    return Dispatch(self, &Win32ResultView::OnMessage, hwnd, msg, wp, lp);
}

LRESULT Win32ResultView::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kRefreshTimer) Refresh();
            return 0;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SIZE:
            UpdateScrollBars();
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        case WM_VSCROLL:
            HandleScroll(SB_VERT, LOWORD(wp));
            return 0;
        case WM_HSCROLL:
            HandleScroll(SB_HORZ, LOWORD(wp));
            return 0;
        case WM_MOUSEWHEEL: {  // fine-grained wheels send parts of a notch
            wheel_ += GET_WHEEL_DELTA_WPARAM(wp);
            const int lines = wheel_ * kWheelLines / WHEEL_DELTA;
            wheel_ -= lines * WHEEL_DELTA / kWheelLines;
            if (lines != 0) ScrollTo(topLine_ - lines, xOffset_);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS:
            CreateCaret(hwnd_, nullptr, 1, lineHeight_);
            ShowCaret();
            ::ShowCaret(hwnd_);
            return 0;
        case WM_KILLFOCUS:
            DestroyCaret();
            return 0;
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd_);
            const size_t pos = HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            MoveCaret(pos, (wp & MK_SHIFT) != 0);
            SetCapture(hwnd_);
            selecting_ = true;
            return 0;
        }
        case WM_MOUSEMOVE:
            if (selecting_ && (wp & MK_LBUTTON))
                MoveCaret(HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)), true);
            return 0;
        case WM_CAPTURECHANGED:  // an error box or another window took the mouse
            selecting_ = false;
            return 0;
        case WM_LBUTTONUP:
            selecting_ = false;
            ReleaseCapture();
            return 0;
        case WM_LBUTTONDBLCLK:
            SelectWordAt(HitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)));
            return 0;
        case WM_KEYDOWN:
            OnKey(wp);
            return 0;
        case WM_CHAR:
            return 0;  // the listing is read-only
        case WM_COPY:
            Copy();
            return 0;
        // What other programs use to read and drive a text box.
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(text_.Length());
        case WM_GETTEXT: {
            if (wp == 0) return 0;
            const Text t = text_.Substr(0, std::min<size_t>(wp - 1, text_.Length()));
            std::memcpy(reinterpret_cast<wchar_t*>(lp), t.c_str(),
                        (t.size() + 1) * sizeof(wchar_t));
            return static_cast<LRESULT>(t.size());
        }
        case WM_SETTEXT:
            SetText(lp ? FromW(reinterpret_cast<const wchar_t*>(lp)) : TextView());
            return TRUE;
        case EM_GETSEL: {
            const auto from = static_cast<DWORD>(text_.SelStart()),
                       to = static_cast<DWORD>(text_.SelEnd());
            if (wp) *reinterpret_cast<DWORD*>(wp) = from;
            if (lp) *reinterpret_cast<DWORD*>(lp) = to;
            return from > 0xFFFF || to > 0xFFFF ? -1 : MAKELRESULT(from, to);
        }
        case EM_SETSEL: {
            const auto length = static_cast<long long>(text_.Length());
            auto position = [length](WPARAM v) {
                const long long p = static_cast<long long>(static_cast<int>(v));
                return static_cast<size_t>(p < 0 ? length : std::min(p, length));
            };
            if (static_cast<int>(wp) == -1) {  // -1 removes the selection
                MoveCaret(text_.Caret(), false);
            } else {
                text_.Select(position(wp), position(static_cast<WPARAM>(lp)));
                MoveCaret(text_.Caret(), true);
            }
            return 0;
        }
        case EM_REPLACESEL:
            SetSelText(lp ? FromW(reinterpret_cast<const wchar_t*>(lp)) : TextView());
            return 0;
        case EM_GETLINECOUNT:
            return static_cast<LRESULT>(text_.LineCount());
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace tarnwick::win32
