// A program that takes the clipboard and then stops answering its messages, as a hung
// program does. Whoever empties the clipboard next sends it WM_DESTROYCLIPBOARD and waits
// for an answer that does not come while it hangs.
// Arguments: an inherited event, set once it owns the clipboard; how long to hang, in ms
// (0: it answers its messages, as a program that is not hung, until it is ended).
#include <windows.h>

#include <cwchar>
#include <iterator>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const auto ready = reinterpret_cast<HANDLE>(std::wcstoull(argv[1], nullptr, 10));
    const auto hang = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!window) return 1;
    while (!OpenClipboard(window)) Sleep(10);  // another program may be reading it
    EmptyClipboard();
    constexpr wchar_t kHeld[] = L"held by a hung program";
    const HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, sizeof kHeld);
    std::wmemcpy(static_cast<wchar_t*>(GlobalLock(text)), kHeld, std::size(kHeld));
    GlobalUnlock(text);
    SetClipboardData(CF_UNICODETEXT, text);
    CloseClipboard();
    SetEvent(ready);
    if (hang) {
        Sleep(hang);  // its messages wait meanwhile
        return 0;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
