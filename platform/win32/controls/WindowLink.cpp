#include "platform/win32/controls/WindowLink.h"

#include <commctrl.h>

namespace tarnwick::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* target = reinterpret_cast<NotificationTarget*>(ref);
    if (msg == kTargetQuery) return reinterpret_cast<LRESULT>(target);
    if (msg == WM_NCDESTROY) UnsubclassControl(hwnd);
    LRESULT result = 0;
    try {
        if (target->OnControlMessage(msg, wp, lp, result)) return result;
    } catch (...) {
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

NotificationTarget* TargetOf(HWND window) {
    return reinterpret_cast<NotificationTarget*>(SendMessageW(window, kTargetQuery, 0, 0));
}

void SubclassControl(HWND control, NotificationTarget* target) {
    SetWindowSubclass(control, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(target));
}

void UnsubclassControl(HWND control) {
    RemoveWindowSubclass(control, ControlProc, kSubclassId);
}

}  // namespace tarnwick::win32
