#include "resultview/win32/AccessibilityLibraries.h"

#include <string>

#include "platform/win32/GrowingPath.h"

namespace tarnwick::win32 {
namespace {

// From the system folder only, never from the program's or the current folder.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return nullptr;
    return LoadLibraryW((folder + L"\\" + name).c_str());
}

template <class F>
bool Find(HMODULE module, const char* name, F& entry) {
    entry = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return entry != nullptr;
}

const UiaCoreLibrary* LoadUiaCore() {
    static UiaCoreLibrary library;
    const HMODULE m = LoadSystemLibrary(L"uiautomationcore.dll");
    if (!m) return nullptr;
    Find(m, "UiaDisconnectProvider", library.DisconnectProvider);
    const bool complete =
        Find(m, "UiaReturnRawElementProvider", library.ReturnRawElementProvider) &&
        Find(m, "UiaHostProviderFromHwnd", library.HostProviderFromHwnd) &&
        Find(m, "UiaRaiseAutomationEvent", library.RaiseAutomationEvent) &&
        Find(m, "UiaGetReservedNotSupportedValue", library.GetReservedNotSupportedValue) &&
        Find(m, "UiaClientsAreListening", library.ClientsAreListening);
    return complete ? &library : nullptr;
}

const OleaccLibrary* LoadOleacc() {
    static OleaccLibrary library;
    const HMODULE m = LoadSystemLibrary(L"oleacc.dll");
    const bool complete = m && Find(m, "LresultFromObject", library.ResultFromObject) &&
                          Find(m, "CreateStdAccessibleObject", library.CreateStdAccessible);
    return complete ? &library : nullptr;
}

const UiaCoreLibrary* replacement = nullptr;

}  // namespace

const UiaCoreLibrary* UiaCore() {
    if (replacement) return replacement;
    static const UiaCoreLibrary* library = LoadUiaCore();
    return library;
}

void ReplaceUiaCore(const UiaCoreLibrary* library) {
    replacement = library;
}

const OleaccLibrary* Oleacc() {
    static const OleaccLibrary* library = LoadOleacc();
    return library;
}

}  // namespace tarnwick::win32
