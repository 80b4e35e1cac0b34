#pragma once
// The entry points of UI Automation's core library and of MSAA's oleacc.dll, loaded from
// the system folder the first time a client asks: a program nobody reads aloud never
// loads them, and no import library is needed for them.
#include <windows.h>

#include <oleacc.h>

#include "resultview/win32/UiaDeclarations.h"

namespace tarnwick::win32 {

struct UiaCoreLibrary {
    LRESULT(WINAPI* ReturnRawElementProvider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*);
    HRESULT(WINAPI* HostProviderFromHwnd)(HWND, IRawElementProviderSimple**);
    HRESULT(WINAPI* RaiseAutomationEvent)(IRawElementProviderSimple*, EVENTID);
    HRESULT(WINAPI* GetReservedNotSupportedValue)(IUnknown**);
    BOOL(WINAPI* ClientsAreListening)();
    HRESULT(WINAPI* DisconnectProvider)(IRawElementProviderSimple*);  // Windows 8 and later
};

struct OleaccLibrary {
    decltype(&LresultFromObject) ResultFromObject;
    decltype(&CreateStdAccessibleObject) CreateStdAccessible;
};

// Null where the library or one of its required entry points is missing.
const UiaCoreLibrary* UiaCore();
// Tests stand in for the library to see what is raised; null goes back to the real one.
void ReplaceUiaCore(const UiaCoreLibrary* library);
const OleaccLibrary* Oleacc();

}  // namespace tarnwick::win32
