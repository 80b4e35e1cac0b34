// A program that takes the clipboard, then stops answering its messages (WM_DESTROYCLIPBOARD
// included) for the given ms, or with 0 answers them until ended. It sets the inherited
// event it is given once it owns the clipboard.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    while (!OpenClipboard(window)) Sleep(10);  // another program may be reading it
    EmptyClipboard();
    CloseClipboard();
    SetEvent(reinterpret_cast<HANDLE>(std::wcstoull(argv[1], nullptr, 10)));
    if (const DWORD hang = std::wcstoul(argv[2], nullptr, 10)) return Sleep(hang), 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
