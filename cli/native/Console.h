#pragma once
// The standard streams of a native command: the listing's bytes as they are, and lines for
// a person in UTF-8, as a terminal here reads them.
#include <string_view>
#include <vector>

#include "cli/ListCommand.h"

namespace tarnwick::native {

class NativeConsole : public CommandConsole {
  public:
    NativeConsole();  // a reader that goes away fails the write rather than end the program
    bool Output(std::string_view bytes) override;
    void OutputLine(TextView line) override;
    void ErrorLine(TextView line) override;
};

// The program's arguments after its name; a byte that is not UTF-8 keeps its place as the
// file system's names do (Utf8.h).
std::vector<Text> Arguments(int argc, char** argv);

}  // namespace tarnwick::native
