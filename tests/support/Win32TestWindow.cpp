// The real window, driven with the messages that a user's mouse and keyboard produce.
#include <windows.h>

#include <utility>

#include <gtest/gtest.h>

#include "platform/win32/controls/Dpi.h"
#include "tests/support/Clipboard.h"
#include "tests/support/ModalWindow.h"
#include "tests/support/TestWindow.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::testing {
namespace {

template <class Wrapper, class Interface>
HWND HandleOf(Interface& control) {
    return dynamic_cast<Wrapper&>(control).Handle();
}

class Win32TestWindow : public TestWindow {
  public:
    Win32TestWindow(FileSystem& files, EventPump& events) : window_(files, events, &desktop_) {
        window_.Show(SW_HIDE);
        window_.txtResult.showInFolder = [this](TextView path) {
            shownInFolder.emplace_back(path);
        };
    }
    ~Win32TestWindow() override {
        MSG m;  // leave no message of this window for the next test
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }
    frmMain& Form() override { return window_.form; }
    MemoryDesktop& Desktop() override { return desktop_; }

    void Click(Button& b) override {
        SendMessageW(HandleOf<win32::Win32Button>(b), BM_CLICK, 0, 0);
    }
    void Paste(TextBox& box, TextView text) override {
        const HWND h = HandleOf<win32::Win32TextBox>(box);
        const std::wstring t(text.begin(), text.end());
        SendMessageW(h, EM_SETSEL, 0, -1);
        SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
    }
    void Type(TextBox& box, TextView text) override {
        const HWND h = HandleOf<win32::Win32TextBox>(box);
        for (char16_t c : text) {
            SendMessageW(h, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);  // at the end
            SendMessageW(h, WM_CHAR, c, 1);
        }
    }
    void PressKey(TextBox& box, int16_t key, bool shift) override {
        BYTE keys[256];
        GetKeyboardState(keys);
        const BYTE saved = keys[VK_SHIFT];
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageW(HandleOf<win32::Win32TextBox>(box), WM_KEYDOWN, static_cast<WPARAM>(key), 1);
        keys[VK_SHIFT] = saved;
        SetKeyboardState(keys);
    }
    void Scroll(ScrollBar& bar, ScrollAction action) override {
        static constexpr int kCodes[] = {SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN};
        SendScroll(bar, kCodes[static_cast<int>(action)], 0);
    }
    void Drag(ScrollBar& bar, const std::vector<int16_t>& positions) override {
        for (int16_t p : positions) SendScroll(bar, SB_THUMBTRACK, p);
        SendScroll(bar, SB_THUMBPOSITION, positions.back());
        SendScroll(bar, SB_ENDSCROLL, 0);
    }
    Rect Inner() override { return {0, 0, window_.Me.ScaleWidth(), window_.Me.ScaleHeight()}; }
    Rect Shown(const Control& c) override {
        const HWND h = ShownHandle(c);
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
        // The frame's children are placed in twips, the window's own in pixels.
        const float unit = GetParent(h) == window_.Me.Handle() ? 1.0f : 15.0f;
        const float perPixel = unit * win32::kDesignDpi / static_cast<float>(win32::DpiOf(h));
        return {static_cast<float>(r.left) * perPixel, static_cast<float>(r.top) * perPixel,
                static_cast<float>(r.right - r.left) * perPixel,
                static_cast<float>(r.bottom - r.top) * perPixel};
    }
    void Resize(int innerWidth, int innerHeight) override {
        const HWND h = window_.Me.Handle();
        const UINT dpi = win32::DpiOf(h);  // the size is in 96-DPI pixels
        RECT r{0, 0, win32::Scaled(innerWidth, dpi), win32::Scaled(innerHeight, dpi)};
        win32::AdjustForDpi(r, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)),
                            static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)), dpi);
        SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void Minimize() override { ShowWindow(window_.Me.Handle(), SW_SHOWMINNOACTIVE); }
    void Restore() override { ShowWindow(window_.Me.Handle(), SW_SHOWNOACTIVATE); }

    void SelectInResult(size_t anchor, size_t caret) override {
        SendMessageW(window_.txtResult.Handle(), EM_SETSEL, anchor, static_cast<LPARAM>(caret));
    }
    // The real menu, read off the screen: the item found by its caption's access key.
    bool ChooseInResultMenu(char key) override {
        const HWND h = window_.txtResult.Handle();
        const std::wstring accessKey =
            L"(&" + std::wstring(1, static_cast<wchar_t>(toupper(key))) + L")";
        bool enabled = false, found = false;
        {
            WhenShown menu(L"#32768", nullptr, [&](HWND popup) {
                const auto m = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
                for (int i = 0; i < GetMenuItemCount(m); ++i) {
                    wchar_t item[64] = L"";
                    GetMenuStringW(m, static_cast<UINT>(i), item, 64, MF_BYPOSITION);
                    if (!wcsstr(item, accessKey.c_str())) continue;
                    found = true;
                    enabled = !(GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED);
                }
                PostMessageW(popup, enabled ? WM_CHAR : WM_KEYDOWN, enabled ? key : VK_ESCAPE, 0);
            });
            SendMessageW(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), -1);  // from the keyboard
            menu.seen = true;
        }
        EXPECT_TRUE(found) << "no item " << key;
        return enabled;
    }
    Text Copied() override {
        const std::wstring text = ClipboardText();
        return Text(text.begin(), text.end());
    }

  private:
    HWND ShownHandle(const Control& c) const {
        const std::pair<const Control*, HWND> controls[] = {
            {&window_.Command1, window_.Command1.Handle()},
            {&window_.txtPath, window_.txtPath.Handle()},
            {&window_.frmSettings, window_.frmSettings.Handle()},
            {&window_.drDir, window_.drDir.Handle()},
            {&window_.drDrive, window_.drDrive.Handle()},
            {&window_.lblPath, window_.lblPath.Handle()},
            {&window_.cmdSave, window_.cmdSave.Handle()},
            {&window_.cmdDoIt, window_.cmdDoIt.Handle()},
            {&window_.txtResult, window_.txtResult.Handle()},
            {&window_.VSLevel, window_.VSLevel.Handle()},
            {&window_.txtLevel, window_.txtLevel.Handle()},
            {&window_.ChNoPath, window_.ChNoPath.Handle()},
            {&window_.ChHidden, window_.ChHidden.Handle()},
            {&window_.ChFiles, window_.ChFiles.Handle()},
            {&window_.lblLevels, window_.lblLevels.Handle()}};
        for (const auto& [control, handle] : controls)
            if (control == &c) return handle;
        ADD_FAILURE() << "not a control of the window";
        return nullptr;
    }

    // As the bar itself sends it: to its parent, the frame, which passes it on.
    void SendScroll(ScrollBar& bar, int code, int position) {
        const HWND h = HandleOf<win32::Win32ScrollBar>(bar);
        SendMessageW(GetParent(h), WM_VSCROLL, MAKEWPARAM(code, position),
                     reinterpret_cast<LPARAM>(h));
    }

    MemoryDesktop desktop_;
    Win32Form window_;
};

}  // namespace

std::unique_ptr<TestWindow> StartTestWindow(FileSystem& files, EventPump& events) {
    return std::make_unique<Win32TestWindow>(files, events);
}

}  // namespace tarnwick::testing
