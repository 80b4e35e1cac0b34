#pragma once
// A console that keeps what the command wrote to it.
#include <string>
#include <string_view>
#include <vector>

#include "cli/ListCommand.h"

namespace tarnwick::testing {

class RecordedConsole : public CommandConsole {
  public:
    bool Output(std::string_view bytes) override {
        out += bytes;
        return !full;
    }
    void OutputLine(TextView line) override { outLines.emplace_back(line); }
    void ErrorLine(TextView line) override { errorLines.emplace_back(line); }
    std::string out;
    bool full = false;  // an output that takes nothing more: a full disk, a closed pipe
    std::vector<Text> outLines, errorLines;
};

}  // namespace tarnwick::testing
