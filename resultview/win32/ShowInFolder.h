#pragma once
// Explorer showing an entry of the listing: the folder that holds it opened, with it
// selected.
#include <functional>
#include <string>

#include "platform/Text.h"

namespace tarnwick::win32 {

// The shell's two calls, which tests replace: select an item in its folder's window (false
// where that fails), open a folder.
struct ShellCalls {
    std::function<bool(const std::wstring& item)> select;
    std::function<void(const std::wstring& folder)> open;
};
ShellCalls SystemShell();

// The folder itself opened where the entry can't be selected (gone since, or a path the
// shell can't parse).
void ShowInFolder(TextView path, const ShellCalls& shell = SystemShell());

}  // namespace tarnwick::win32
