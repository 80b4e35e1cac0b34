// The native program: /list and /? as Tarnwick.exe runs them, over the POSIX file system.
// There is no window to open here, so anything else is refused.
#include "cli/ListCommand.h"
#include "cli/native/Console.h"

int main(int argc, char** argv) {
    const auto args = tarnwick::native::Arguments(argc, argv);
    tarnwick::native::NativeConsole console;
    if (!tarnwick::IsCommand(args)) {
        console.ErrorLine(u"这里没有窗口可打开：请用 /list 或 /?");
        return tarnwick::exitcode::BadSwitch;
    }
    auto files = tarnwick::MakeFileSystem();
    return tarnwick::RunCommand(args, *files, console);
}
