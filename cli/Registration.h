#pragma once
// /register and /unregister: a command in Explorer, on folders, drives and a folder's
// background, for the current user only, that starts Tarnwick with that folder chosen.
#include <vector>

#include "cli/ListCommand.h"

namespace tarnwick {

extern const TextView kExplorerCaption;

// True when the arguments start with /register or /unregister.
bool IsRegistration(const std::vector<Text>& args);
// Adds or removes the command; one line on the console; gives the exit code.
int RunRegistration(const std::vector<Text>& args, CommandConsole& console);

// What each build does (cli/win32/Register.cpp, cli/native/Register.cpp).
struct ExplorerChange {
    enum Outcome { Done, NothingToRemove, Failed, NotHere } outcome;
    Text detail;  // the program the command starts, once added; the system's reason, failed
};
// Points the command at this program, wherever it is now.
ExplorerChange AddExplorerCommand();
// Removes what AddExplorerCommand adds, and nothing else.
ExplorerChange RemoveExplorerCommand();

}  // namespace tarnwick
