// The depth box txtLevel and its spin bar VSLevel keep Levels and each other in step.
// SkipChange keeps the notification of a handler's own write from doing the work twice.
#include "listing/NumberText.h"
#include "window/frmMain.h"

namespace tarnwick {
namespace {

constexpr int16_t kUp = 38, kDown = 40, kPageUp = 33, kPageDown = 34;

}  // namespace

void frmMain::ValidateLevels() {
    if (Levels > 32767) Levels = 32767;
    if (Levels < 1) Levels = 1;
}

void frmMain::txtLevel_Change() {
    if (SkipChange) {
        SkipChange = False;
        return;
    }
    Levels = ToLong(Val(txtLevel.GetText()));
    ValidateLevels();
    SkipChange = True;
    VSLevel.SetValue(static_cast<int16_t>(32767 - static_cast<int16_t>(Levels)));
    SkipChange = True;
    txtLevel.SetText(Digits(Levels));
}

void frmMain::txtLevel_KeyDown(int16_t& KeyCode, int16_t /*Shift*/) {
    const int16_t key = KeyCode;
    if (key == kUp) txtLevel.SetText(GeneralNumber(Val(txtLevel.GetText()) + 1));
    if (key == kDown) txtLevel.SetText(GeneralNumber(Val(txtLevel.GetText()) - 1));
    if (key == kPageUp) txtLevel.SetText(GeneralNumber(Val(txtLevel.GetText()) + 10));
    if (key == kPageDown) txtLevel.SetText(GeneralNumber(Val(txtLevel.GetText()) - 10));
}

void frmMain::VSLevel_Change() {
    if (SkipChange) {
        SkipChange = False;
        return;
    }
    Levels = 32767 - int32_t{VSLevel.GetValue()};
    SkipChange = True;
    txtLevel.SetText(Digits(Levels));
}

void frmMain::VSLevel_Scroll() {
    VSLevel_Change();
}

}  // namespace tarnwick
