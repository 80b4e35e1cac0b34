#pragma once
// The console of the program that started this one. A GUI program has none of its own:
// output goes to a redirected file or pipe when there is one, else to the parent's console.
#include <windows.h>

#include <string>
#include <string_view>

#include "cli/ListCommand.h"

namespace tarnwick::win32 {

class Win32Console : public CommandConsole {
  public:
    Win32Console();
    bool Output(std::string_view bytes) override { return WriteBytes(out_, bytes); }
    bool OutputUtf8(std::string_view bytes) override;
    bool TakesText() const override;
    bool OutputText(TextView text) override;
    void OutputLine(TextView line) override { WriteLine(out_, line); }
    void ErrorLine(TextView line) override { WriteLine(err_, line); }

  private:
    static bool WriteBytes(HANDLE h, std::string_view bytes);
    static void WriteLine(HANDLE h, TextView line);
    HANDLE out_, err_;
    Text carried_;  // the first half of a pair whose second half the next piece holds
};

// The program's command line as it was started, its name included, not yet split.
Text CommandLine();

// The window program: this one, or, run as Tarnwick.com, Tarnwick.exe beside it. At any
// length, so wherever it is installed.
std::wstring WindowProgram();

}  // namespace tarnwick::win32
