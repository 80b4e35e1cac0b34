#include "platform/win32/controls/Win32MainWindow.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/win32/Wide.h"
#include "platform/win32/controls/Dpi.h"
#include "platform/win32/controls/Win32Control.h"
#include "platform/win32/controls/WindowLink.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kClass[] = L"TarnwickMain";
constexpr int kIconResource = 1;

void RegisterMainClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = OwnWindowProc<Win32MainWindow>;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(kIconResource));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        return RegisterClassExW(&wc);
    }();
    (void)atom;
}

bool CanTakeFocus(HWND h) {
    return IsWindowVisible(h) && IsWindowEnabled(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP);
}

// The full path of the first item a drop carries; empty when it carries none. Only that
// one is read: each item is found by walking the list from its start, so reading them all
// would take time quadratic in their number.
Text FirstDroppedPath(HDROP drop) {
    std::wstring path(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
    return Text(FromW(path.c_str(), path.size()));
}

}  // namespace

Win32MainWindow::Win32MainWindow(TextView title, int innerWidth, int innerHeight) {
    RegisterMainClass();
    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT r{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_CONTROLPARENT);
    const Text t(title);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClass, W(t), style, CW_USEDEFAULT, CW_USEDEFAULT,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
    if (hwnd_) ++openCount_;
    FitToDpi(innerWidth, innerHeight);
}

void Win32MainWindow::Destroy() {
    destroyedByOwner_ = true;
    if (hwnd_) DestroyWindow(hwnd_);
}

Text Win32MainWindow::GetCaption() const {
    return WindowText(hwnd_);
}

void Win32MainWindow::SetCaption(TextView caption) {
    const Text c(caption);
    SetWindowTextW(hwnd_, W(c));
}

float Win32MainWindow::ScaleWidth() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return static_cast<float>(r.right) * kDesignDpi / static_cast<float>(DpiOf(hwnd_));
}

float Win32MainWindow::ScaleHeight() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return static_cast<float>(r.bottom) * kDesignDpi / static_cast<float>(DpiOf(hwnd_));
}

void Win32MainWindow::AcceptDrops(std::function<void(TextView)> onDrop) {
    onDrop_ = std::move(onDrop);
    DragAcceptFiles(hwnd_, TRUE);
}

// A control's notification goes to the control's own object.
bool Win32MainWindow::OnControlNotification(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_COMMAND:
        case WM_VSCROLL: {
            NotificationTarget* t = lp ? TargetOf(reinterpret_cast<HWND>(lp)) : nullptr;
            if (t && msg == WM_COMMAND) t->OnCommand(HIWORD(wp));
            if (t && msg == WM_VSCROLL) t->OnScroll(LOWORD(wp), HIWORD(wp));
            result = 0;
            return true;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            NotificationTarget* t = TargetOf(item->hwndItem);
            if (t) t->OnDrawItem(*item);
            result = TRUE;
            return t != nullptr;
        }
    }
    return false;
}

LRESULT Win32MainWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DPICHANGED) return OnDpiChanged(LOWORD(wp), *reinterpret_cast<RECT*>(lp));
    if (LRESULT result = 0; OnControlNotification(msg, wp, lp, result)) return result;
    switch (msg) {
        case WM_SIZE:
            if (onResize) onResize();
            return 0;
        case WM_DROPFILES:
            if (onDrop_) onDrop_(FirstDroppedPath(reinterpret_cast<HDROP>(wp)));
            DragFinish(reinterpret_cast<HDROP>(wp));
            return 0;
        case WM_ACTIVATE:  // remember and give back the focus, as a dialog does
            if (LOWORD(wp) == WA_INACTIVE) {
                lastFocus_ = GetFocus();
            } else if (lastFocus_ && IsWindow(lastFocus_)) {
                SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_DESTROY:
            if (!destroyedByOwner_) PostQuitMessage(0);  // closing the window ends the program
            return 0;
        case WM_NCDESTROY: {
            const HWND hwnd = hwnd_;
            ForgetDpi(hwnd);
            --openCount_;
            hwnd_ = nullptr;
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

void Win32MainWindow::MoveFocus(bool backwards) {
    if (tabOrder_.empty()) return;
    const HWND focus = GetFocus();
    auto it = std::find_if(tabOrder_.begin(), tabOrder_.end(),
                           [focus](HWND h) { return h == focus || IsChild(h, focus); });
    const size_t n = tabOrder_.size();
    size_t i = it == tabOrder_.end() ? (backwards ? 0 : n - 1)
                                     : static_cast<size_t>(it - tabOrder_.begin());
    for (size_t step = 0; step < n; ++step) {
        i = backwards ? (i + n - 1) % n : (i + 1) % n;
        if (CanTakeFocus(tabOrder_[i])) {
            SetFocus(tabOrder_[i]);
            // Single-line edit boxes select their text, as in a dialog.
            const auto code = SendMessageW(tabOrder_[i], WM_GETDLGCODE, 0, 0);
            if ((code & DLGC_HASSETSEL) &&
                !(GetWindowLongW(tabOrder_[i], GWL_STYLE) & ES_MULTILINE))
                SendMessageW(tabOrder_[i], EM_SETSEL, 0, -1);
            return;
        }
    }
}

bool Win32MainWindow::TranslateNavigation(MSG& msg) {
    if (!msg.hwnd) return false;
    const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    wchar_t cls[32];
    if (!root || !GetClassNameW(root, cls, 32) || wcscmp(cls, kClass) != 0) {
        return root && IsDialogMessageW(root, &msg);
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
        if (Win32MainWindow* self = ObjectOf<Win32MainWindow>(root)) {
            self->MoveFocus(GetKeyState(VK_SHIFT) < 0);
            return true;
        }
    }
    return IsDialogMessageW(root, &msg);
}

}  // namespace tarnwick::win32
