// Explorer's command, in the current user's classes (no administrator needed): a verb key
// under the shell key of folders, drives and a folder's background, whose command starts
// Tarnwick.exe with the folder quoted, so that blanks and any script pass whole.
#include <windows.h>

#include <string>

#include "cli/Registration.h"
#include "cli/win32/Console.h"
#include "platform/win32/Wide.h"

namespace tarnwick {
namespace {

struct Place {
    const wchar_t* key;
    const wchar_t* folder;  // what Explorer puts the folder in for
};
// The background's folder is the one shown, which Explorer gives for %V.
constexpr Place kPlaces[] = {{L"Software\\Classes\\Directory\\shell\\Tarnwick", L"%1"},
                             {L"Software\\Classes\\Drive\\shell\\Tarnwick", L"%1"},
                             {L"Software\\Classes\\Directory\\Background\\shell\\Tarnwick", L"%V"}};

// In the system's words, without the line break it ends with.
Text Reason(LSTATUS code) {
    wchar_t words[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, words, 512, nullptr);
    while (n > 0 && (words[n - 1] == L'\r' || words[n - 1] == L'\n' || words[n - 1] == L' ')) --n;
    if (n == 0) return u"错误 " + Text(win32::FromW(std::to_wstring(code).c_str()));
    return Text(win32::FromW(words, n));
}

LSTATUS SetDefault(HKEY parent, const wchar_t* subkey, const std::wstring& value) {
    HKEY key;
    LSTATUS status =
        RegCreateKeyExW(parent, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

LSTATUS Add(const Place& place, const std::wstring& program) {
    const std::wstring caption(kExplorerCaption.begin(), kExplorerCaption.end());
    const std::wstring verb = place.key;
    LSTATUS status = SetDefault(HKEY_CURRENT_USER, verb.c_str(), caption);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring command = L"\"" + program + L"\" \"" + place.folder + L"\"";
    return SetDefault(HKEY_CURRENT_USER, (verb + L"\\command").c_str(), command);
}

// The command key, then the verb's: a key someone else put under ours stops the removal.
LSTATUS Remove(const Place& place, bool& removed) {
    const std::wstring verb = place.key;
    for (const std::wstring& key : {verb + L"\\command", verb}) {
        const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
        if (status == ERROR_FILE_NOT_FOUND) continue;
        if (status != ERROR_SUCCESS) return status;
        removed = true;
    }
    return ERROR_SUCCESS;
}

}  // namespace

// A command half added is taken away again: none is better than one that fails.
ExplorerChange AddExplorerCommand() {
    const std::wstring program = win32::WindowProgram();
    for (const Place& place : kPlaces) {
        if (const LSTATUS status = Add(place, program); status != ERROR_SUCCESS) {
            RemoveExplorerCommand();
            return {ExplorerChange::Failed, Reason(status)};
        }
    }
    return {ExplorerChange::Done, Text(win32::FromW(program.c_str(), program.size()))};
}

// Every place is tried, whichever fails: what can go does, and the first failure is told.
ExplorerChange RemoveExplorerCommand() {
    bool removed = false;
    LSTATUS failed = ERROR_SUCCESS;
    for (const Place& place : kPlaces) {
        const LSTATUS status = Remove(place, removed);
        if (failed == ERROR_SUCCESS) failed = status;
    }
    if (failed != ERROR_SUCCESS) return {ExplorerChange::Failed, Reason(failed)};
    return {removed ? ExplorerChange::Done : ExplorerChange::NothingToRemove, {}};
}

}  // namespace tarnwick
