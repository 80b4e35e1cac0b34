// Running /list: the listing engine walks with the command as its host, and the save's
// writer writes, so the bytes are those of a save from the window.
#include "cli/ListCommand.h"
#include "cli/Registration.h"

#include <algorithm>
#include <new>

#include "export/SaveListing.h"
#include "listing/FolderWalk.h"
#include "platform/Ansi.h"
#include "window/NumberText.h"

namespace tarnwick {
namespace {

// Nothing to pump and nobody to press stop: the lines go straight into the box.
class CommandHost : public WalkHost {
  public:
    CommandHost(ResultBox& box, int32_t levels) : box_(box), levels_(levels) {}
    void Pump() override {}
    bool StopAsked() const override { return false; }
    int32_t DepthLimit() const override { return levels_; }
    int64_t NowMs() const override { return SteadyMilliseconds(); }
    void PushDir(TextView DirStr) override { AppendLine(box_, DirStr, line_); }
    void FolderUnreadable(TextView folder, TextView reason) override {
        unread.push_back(u"无法读取文件夹：" + Text(folder) + u"（" + Text(reason) + u"）");
    }
    std::vector<Text> unread;  // a line for each folder that could not be read

  private:
    ResultBox& box_;
    int32_t levels_;
    Text line_;
};

bool NamesFolder(FileSystem& files, TextView path) {
    const auto attributes = files.GetAttributes(path);
    return attributes && (*attributes & attr::Folder);
}

// The settings as the start button derives them from the check boxes.
WalkSettings SettingsOf(const ListSettings& s) {
    return {s.noPath ? True : False, s.files ? False : True, s.hidden ? 16 | 2 : 16};
}

// The listing as the save writes it. A box that holds it in the code page (as WriteListing
// would write it) gives it to the console a piece at a time: nothing then can fail half-way
// but the console. Otherwise it is made whole first, as the console can't take back what
// was written.
bool ToConsole(const ResultBox& box, CommandConsole& console) {
    bool taken = true, given = false;
    if (box.ForEachPieceIn(AnsiCodePage(), [&](std::string_view bytes) {
            given = true;
            return taken = console.Output(bytes);
        }))
        return given ? taken : console.Output({});  // an empty listing goes out as one too
    StringWriter listing;  // the whole listing: a console can't take back what it was given
    WriteListing(box, AnsiCodePage(), listing);
    return console.Output(listing.bytes_);
}

int Write(const ListSettings& s, const ResultBox& box, FileSystem& files, CommandConsole& console) {
    if (!s.out) {
        if (ToConsole(box, console)) return exitcode::Ok;
        console.ErrorLine(u"无法写出清单：输出已关闭或已满");
        return exitcode::CannotWrite;
    }
    try {
        files.WriteReplacing(*s.out,
                             [&](FileWriter& file) { WriteListing(box, AnsiCodePage(), file); });
    } catch (const RunTimeError& e) {
        console.ErrorLine(u"无法写入文件：" + *s.out + u"（" + e.description + u"）");
        // The system out of memory is no fault of the output's.
        return e.number == error::OutOfMemory ? exitcode::ListingFailed : exitcode::CannotWrite;
    }
    return exitcode::Ok;
}

int List(const ListSettings& s, FileSystem& files, CommandConsole& console) {
    if (!NamesFolder(files, s.folder)) {
        console.ErrorLine(u"找不到文件夹：" + s.folder);
        return exitcode::NoFolder;
    }
    // The depth is read as the depth box reads it.
    const int32_t depth = std::clamp(ToLong(Val(s.depth)), 1, 32767);
    const std::unique_ptr<ResultBox> box = MakeListingBox();
    CommandHost host(*box, depth);
    FolderWalk(files, SettingsOf(s), ReadAheadPolicy{}, host).ListFile(s.folder, 1);
    if (const int code = Write(s, *box, files, console); code != exitcode::Ok) return code;
    // The rest is listed in full; what is missing is named after it.
    for (const Text& line : host.unread) console.ErrorLine(line);
    return host.unread.empty() ? exitcode::Ok : exitcode::SomeUnread;
}

}  // namespace

int RunCommand(const std::vector<Text>& args, FileSystem& files, CommandConsole& console) {
    if (IsRegistration(args)) return RunRegistration(args, console);
    try {
        const ParsedCommand command = ParseCommand(args);
        if (const auto* error = std::get_if<ArgumentError>(&command)) {
            console.ErrorLine(error->message);
            return error->exitCode;
        }
        if (std::holds_alternative<ShowUsage>(command)) {
            console.OutputLine(kUsage);
            return exitcode::Ok;
        }
        return List(std::get<ListSettings>(command), files, console);
    } catch (const std::bad_alloc&) {
        // Before anything went out: a file is replaced only once written whole.
        console.ErrorLine(u"列举失败：" + MakeError(error::OutOfMemory).description);
        return exitcode::ListingFailed;
    }
}

}  // namespace tarnwick
