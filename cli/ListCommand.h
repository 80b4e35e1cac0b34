#pragma once
// Tarnwick /list: the listing that the window would show for the given settings, written
// as a save from the window would write it, without any window.
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "listing/ReadAhead.h"
#include "platform/Controls.h"
#include "platform/FileSystem.h"
#include "platform/RunTimeError.h"

namespace tarnwick {

// The command's exit codes: one per kind of failure.
namespace exitcode {
inline constexpr int Ok = 0;
inline constexpr int BadSwitch = 2;     // an unknown switch or an argument too many
inline constexpr int MissingValue = 3;  // no folder, or a switch without its value
inline constexpr int NoFolder = 4;      // the folder does not exist
inline constexpr int CannotWrite = 5;   // the output cannot be written
inline constexpr int ListingFailed = 6;
inline constexpr int SomeUnread = 7;  // listed, but some folders could not be read
}  // namespace exitcode

// /format's choices: the text the window shows (the default), the tree drawn with lines,
// or records of each entry.
enum class ListFormat { Lines, Csv, Json, Tree };

struct ListSettings {
    Text folder;
    Text depth = u"1";  // as typed into the depth box, which reads and clamps it
    bool files = false, hidden = false, noPath = false;  // noPath: text only
    std::optional<Text> out;                             // the console's output when there is none
    ListFormat format = ListFormat::Lines;
    std::vector<Text> include, exclude;  // wildcard patterns on names
    ReadAheadPolicy readAhead;           // not from the command line: the system's, but in tests
};

struct ShowUsage {};
struct ArgumentError {
    int exitCode;
    Text message;
};
using ParsedCommand = std::variant<ListSettings, ShowUsage, ArgumentError>;

// The arguments after the program's name in a command line as the system hands it over.
// A quote only groups blanks and is never part of an argument, as no file name can hold
// one: "C:\lst\" is the folder C:\lst\, as batch files write it. Before a quote each pair
// of backslashes counts once ("C:\my docs\\", as programs quoting by the C runtime's rules
// write it); other backslashes stay as written. The program's name ends at its closing
// quote, or else at the first blank, as the system reads it to find the program.
std::vector<Text> SplitCommandLine(TextView line);
// Where the arguments start in such a line, as written.
size_t AfterProgramName(TextView line);

// Switch names and values are read in any case: `text` with A to Z in lower case.
Text AsciiLowerCase(TextView text);

// The switches of the listing's form and filters (/format, /include, /exclude), read apart
// from the rest (FormatArguments.cpp). True when `name` (lower case, without its lead) is one.
bool IsFormatSwitch(TextView name);
// Reads such a switch at args[i], and its value, moving `i` to the value; an error when
// the value is missing or not one the switch takes.
std::optional<ArgumentError> ReadFormatSwitch(TextView name, const std::vector<Text>& args,
                                              size_t& i, ListSettings& settings);

// True when the arguments ask for a command (/list, /?) rather than the window.
bool IsCommand(const std::vector<Text>& args);
ParsedCommand ParseCommand(const std::vector<Text>& args);
extern const TextView kUsage;

// Where a command writes: the listing's bytes, and lines for a person to read.
class CommandConsole {
  public:
    virtual ~CommandConsole() = default;
    virtual bool Output(std::string_view bytes) = 0;  // false when it could not take them all
    // UTF-8 cut only between characters: a console shows them as characters, anything else
    // gets the bytes.
    virtual bool OutputUtf8(std::string_view bytes) { return Output(bytes); }
    // A console that shows characters, whatever its code page, is given the listing's text
    // rather than the bytes a file gets.
    virtual bool TakesText() const { return false; }
    virtual bool OutputText(TextView) { return false; }
    virtual void OutputLine(TextView line) = 0;
    virtual void ErrorLine(TextView line) = 0;
};

// Where /list holds the listing until it is written: each build's own (ListingBox*.cpp).
std::unique_ptr<ResultBox> MakeListingBox();

// Runs the command the arguments ask for; gives the exit code.
int RunCommand(const std::vector<Text>& args, FileSystem& files, CommandConsole& console,
               const ReadAheadPolicy& readAhead = {});

}  // namespace tarnwick
