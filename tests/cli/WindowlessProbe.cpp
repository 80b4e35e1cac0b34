// The command line linked alone, as Tarnwick.exe's /list runs it: the program's import
// table then holds every system call the command can make, and no window is among them.
#include "cli/ListCommand.h"

namespace {

struct Quiet : tarnwick::CommandConsole {
    bool Output(std::string_view) override { return true; }
    void OutputLine(tarnwick::TextView) override {}
    void ErrorLine(tarnwick::TextView) override {}
};

}  // namespace

int main() {
    Quiet console;
    return tarnwick::RunCommand({u"/?"}, *tarnwick::MakeFileSystem(), console);
}
