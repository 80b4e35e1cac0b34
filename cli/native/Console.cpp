#include "cli/native/Console.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/native/Utf8.h"
#include "platform/native/WriteSome.h"

namespace tarnwick::native {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = WriteSome(fd, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void WriteLine(int fd, TextView line) {
    std::string bytes = ToBytes(line);
    bytes += '\n';
    WriteAll(fd, bytes);
}

}  // namespace

NativeConsole::NativeConsole() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool NativeConsole::Output(std::string_view bytes) {
    return WriteAll(STDOUT_FILENO, bytes);
}

void NativeConsole::OutputLine(TextView line) {
    WriteLine(STDOUT_FILENO, line);
}

void NativeConsole::ErrorLine(TextView line) {
    WriteLine(STDERR_FILENO, line);
}

std::vector<Text> Arguments(int argc, char** argv) {
    std::vector<Text> args;
    for (int i = 1; i < argc; ++i) args.push_back(ToUtf16(argv[i]));
    return args;
}

}  // namespace tarnwick::native
