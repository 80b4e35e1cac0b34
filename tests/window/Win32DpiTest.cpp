// The real window at the display's scale: every control where the layout puts it, times
// the scale, and every caption whole in its control's font. CTest runs this at 96, 120,
// 144, 168 and 192 DPI (TARNWICK_TEST_DPI names the scale the run was given).
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32EventPump.h"
#include "platform/win32/controls/Dpi.h"
#include "window/memory/MemoryForm.h"
#include "window/win32/Win32Form.h"

namespace tarnwick::testing {
namespace {

using win32::DpiOf;
using win32::Scaled;

struct Placed {
    const char* name;
    HWND hwnd;
    Rect rect;  // in its container's unit
    float unit;
    int captionRoom;  // at 96 DPI, what the control's own drawing takes beside its caption
};

// What the real window shows, in its parent's client pixels.
RECT RealRect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The caption as drawn: an access key's & takes no room.
std::wstring Caption(HWND h, bool prefix) {
    wchar_t buffer[256] = {};
    SendMessageW(h, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
    std::wstring s(buffer);
    if (prefix) std::erase(s, L'&');
    return s;
}

SIZE Extent(HWND h, const std::wstring& text) {
    const HDC dc = GetDC(h);
    const auto old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return size;
}

LONG FontHeight(HWND h) {
    LOGFONTW f{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof f, &f);
    return std::abs(f.lfHeight);
}

class DpiTest : public ::testing::Test {
  protected:
    void SetUp() override { app.Show(SW_HIDE); }

    // The controls as the layout places them in a window of this inner size (the handlers
    // over in-memory controls), beside the real ones.
    std::vector<Placed> Table(float innerWidth, float innerHeight) {
        model.Me.width = innerWidth;
        model.Me.height = innerHeight;
        model.form.Form_Resize();
        const HWND box = FindWindowExW(app.frmSettings.Handle(), nullptr, L"BUTTON", L"选项");
        const Rect frame = model.frmSettings.GetRect();
        const float px = 1, tw = design::kTwipsPerPixel;
        return {
            {"Command1", app.Command1.Handle(), model.Command1.GetRect(), px, 6},
            {"txtPath", app.txtPath.Handle(), model.txtPath.GetRect(), px, -1},
            {"frmSettings", app.frmSettings.Handle(), frame, px, -1},
            {"frame box", box, {0, 0, frame.width, frame.height}, px, 16},
            {"drDir", app.drDir.Handle(), model.drDir.GetRect(), px, -1},
            {"drDrive", app.drDrive.Handle(), model.drDrive.GetRect(), px, -1},
            {"lblPath", app.lblPath.Handle(), model.lblPath.GetRect(), px, 0},
            {"cmdSave", app.cmdSave.Handle(), model.cmdSave.GetRect(), tw, 6},
            {"cmdDoIt", app.cmdDoIt.Handle(), model.cmdDoIt.GetRect(), tw, 6},
            {"txtResult", app.txtResult.Handle(), model.txtResult.GetRect(), tw, -1},
            {"VSLevel", app.VSLevel.Handle(), model.VSLevel.GetRect(), tw, -1},
            {"txtLevel", app.txtLevel.Handle(), model.txtLevel.GetRect(), tw, -1},
            {"ChNoPath", app.ChNoPath.Handle(), model.ChNoPath.GetRect(), tw, 17},
            {"ChHidden", app.ChHidden.Handle(), model.ChHidden.GetRect(), tw, 17},
            {"ChFiles", app.ChFiles.Handle(), model.ChFiles.GetRect(), tw, 17},
            {"lblLevels", app.lblLevels.Handle(), model.lblLevels.GetRect(), tw, 0},
        };
    }

    // Each edge within a pixel of the layout's (for the window's inner size) times the
    // scale; each caption whole. A label grows downwards to its text's height.
    void ExpectAtScale(UINT dpi) {
        ASSERT_EQ(DpiOf(app.Me.Handle()), dpi);
        const float scale = static_cast<float>(dpi) / 96;
        RECT client;
        GetClientRect(app.Me.Handle(), &client);
        for (const Placed& c : Table(static_cast<float>(client.right) / scale,
                                     static_cast<float>(client.bottom) / scale)) {
            SCOPED_TRACE(::testing::Message() << c.name << " at " << dpi << " DPI");
            const RECT r = RealRect(c.hwnd);
            const float k = scale / c.unit;
            EXPECT_NEAR(r.left, c.rect.left * k, 1);
            EXPECT_NEAR(r.top, c.rect.top * k, 1);
            EXPECT_NEAR(r.right, (c.rect.left + c.rect.width) * k, 1);
            const bool isLabel = c.captionRoom == 0;
            const SIZE text = Extent(c.hwnd, Caption(c.hwnd, !isLabel));
            const float height = c.rect.height * k;
            EXPECT_NEAR(static_cast<float>(r.bottom) - c.rect.top * k,
                        isLabel ? std::max(height, static_cast<float>(text.cy)) : height, 1);
            if (c.captionRoom < 0) continue;
            EXPECT_LE(text.cx + Scaled(c.captionRoom, dpi), r.right - r.left);
            EXPECT_LE(text.cy, r.bottom - r.top);
        }
    }

    std::unique_ptr<FileSystem> files = MakeFileSystem();
    win32::Win32EventPump events{std::chrono::milliseconds(0)};
    Win32Form app{*files, events};
    MemoryForm model{*files, events};
};

UINT GivenDpi() {
    const char* given = std::getenv("TARNWICK_TEST_DPI");
    return given ? static_cast<UINT>(std::atoi(given)) : win32::SystemDpi();
}

TEST_F(DpiTest, EveryControlIsTheLayoutTimesTheScaleWithItsCaptionWhole) {
    const UINT dpi = GivenDpi();
    RECT client;
    GetClientRect(app.Me.Handle(), &client);
    EXPECT_NEAR(client.right, design::kInnerWidth * static_cast<float>(dpi) / 96, 1);
    EXPECT_NEAR(client.bottom, design::kInnerHeight * static_cast<float>(dpi) / 96, 1);
    ExpectAtScale(dpi);
}

// A move to a monitor of another scale (to 144 DPI from 96, else to 96) and back: the
// window takes the suggested rectangle, lays itself out again and rescales its fonts
// and the result box's lines. The way back keeps the size in pixels, which brings no
// WM_SIZE, yet changes the inner size the layout sees.
TEST_F(DpiTest, AMoveToAnotherScaleFollowsTheSuggestedRectangleFontsAndLayout) {
    const UINT from = GivenDpi(), to = from == 96 ? 144 : 96;
    const LONG fontBefore = FontHeight(app.cmdDoIt.Handle());
    const float width = 693, height = 537;  // not the present shape: the layout must run
    RECT suggested{0, 0, Scaled(static_cast<int>(width), to), Scaled(static_cast<int>(height), to)};
    const HWND me = app.Me.Handle();
    win32::AdjustForDpi(suggested, static_cast<DWORD>(GetWindowLongW(me, GWL_STYLE)),
                        static_cast<DWORD>(GetWindowLongW(me, GWL_EXSTYLE)), to);
    OffsetRect(&suggested, 40 - suggested.left, 30 - suggested.top);
    SendMessageW(me, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));

    RECT now;
    GetWindowRect(me, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested));
    ExpectAtScale(to);
    EXPECT_NEAR(FontHeight(app.cmdDoIt.Handle()),
                static_cast<float>(fontBefore) * static_cast<float>(to) / static_cast<float>(from),
                1);
    // The result box's line pitch is its new font's height.
    const HWND view = app.txtResult.Handle();
    SendMessageW(view, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"a\r\nb"));
    const auto y = [view](int pos) { return HIWORD(SendMessageW(view, EM_POSFROMCHAR, pos, 0)); };
    const HDC dc = GetDC(view);
    const auto old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(view, dc);
    EXPECT_EQ(y(3) - y(0), tm.tmHeight);
    EXPECT_EQ(FontHeight(view), FontHeight(app.cmdDoIt.Handle()));

    SendMessageW(me, WM_DPICHANGED, MAKEWPARAM(from, from), reinterpret_cast<LPARAM>(&now));
    ExpectAtScale(from);
    EXPECT_EQ(FontHeight(app.cmdDoIt.Handle()), fontBefore);
}

}  // namespace
}  // namespace tarnwick::testing
