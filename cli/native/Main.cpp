// The native program: /list and /? as Tarnwick.exe runs them, over the POSIX file system.
// There is no window to open here, so anything else is refused.
#include "cli/ListCommand.h"
#include "platform/native/NativeConsole.h"

namespace {

class Console : public tarnwick::CommandConsole {
  public:
    bool Output(std::string_view bytes) override { return console_.Output(bytes); }
    void OutputLine(tarnwick::TextView line) override { console_.OutputLine(line); }
    void ErrorLine(tarnwick::TextView line) override { console_.ErrorLine(line); }

  private:
    tarnwick::native::NativeConsole console_;
};

}  // namespace

int main(int argc, char** argv) {
    const auto args = tarnwick::native::Arguments(argc, argv);
    Console console;
    if (!tarnwick::IsCommand(args)) {
        console.ErrorLine(u"这里没有窗口可打开：请用 /list 或 /?");
        return tarnwick::exitcode::BadSwitch;
    }
    auto files = tarnwick::MakeFileSystem();
    return tarnwick::RunCommand(args, *files, console);
}
