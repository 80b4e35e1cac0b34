// Running /list: the settings go into the window's controls, the start button's handler
// walks, and the save's writer writes, so the bytes are those of a save from the window.
#include "cli/ListCommand.h"

#include <algorithm>
#include <new>

#include "window/NumberText.h"

namespace tarnwick {
namespace {

// The window is never shown: there is nothing to hand control to during the walk.
class NoEvents : public EventPump {
  public:
    int DoEvents() override { return 1; }
    [[noreturn]] void End() override { std::exit(exitcode::ListingFailed); }
};

// The whole listing, for a console that cannot take back what was written.
class BufferWriter : public FileWriter {
  public:
    void Write(std::string_view bytes) override { bytes_ += bytes; }
    void Restart() override { bytes_.clear(); }
    std::string bytes_;
};

bool NamesFolder(FileSystem& files, TextView path) {
    const auto attributes = files.GetAttributes(path);
    return attributes && (*attributes & attr::Folder);
}

// A control that could not be made answers with nothing, and what it answers must never
// be walked as the settings.
void Require(bool held, TextView setting) {
    if (!held)
        throw RunTimeError{error::InvalidPropertyValue,
                           u"窗口的控件未能接受设置：" + Text(setting)};
}

void SetUp(frmMain& form, const ListSettings& s) {
    form.ChFiles.SetValue(s.files ? 1 : 0);
    form.ChHidden.SetValue(s.hidden ? 1 : 0);
    form.ChNoPath.SetValue(s.noPath ? 1 : 0);
    form.txtLevel.SetText(s.depth);
    form.SkipChange = True;  // the folder goes in as the folder list would put it
    form.txtPath.SetText(s.folder);

    const int32_t depth = std::clamp(ToLong(Val(s.depth)), 1, 32767);  // as the box reads it
    Require(form.txtPath.GetText() == s.folder, u"文件夹");
    Require(form.Levels == depth && form.txtLevel.GetText() == Digits(depth), u"层数");
    Require(form.ChFiles.GetValue() == (s.files ? 1 : 0), u"/files");
    Require(form.ChHidden.GetValue() == (s.hidden ? 1 : 0), u"/hidden");
    Require(form.ChNoPath.GetValue() == (s.noPath ? 1 : 0), u"/nopath");
}

// The listing as the save writes it. A box that holds it in the code page (as WriteListing
// would write it) gives it to the console a piece at a time: nothing then can fail half-way
// but the console. Otherwise it is made whole first, as the console can't take back what
// was written.
bool ToConsole(const frmMain& form, CommandConsole& console) {
    bool taken = true, given = false;
    if (form.txtResult.ForEachPieceIn(form.ansiCodePage, [&](std::string_view bytes) {
            given = true;
            return taken = console.Output(bytes);
        }))
        return given ? taken : console.Output({});  // an empty listing goes out as one too
    BufferWriter listing;
    form.WriteListing(listing);
    return console.Output(listing.bytes_);
}

int List(const ListSettings& s, FileSystem& files, CommandConsole& console,
         const ListingWindowMaker& makeWindow) {
    if (!NamesFolder(files, s.folder)) {
        console.ErrorLine(u"找不到文件夹：" + s.folder);
        return exitcode::NoFolder;
    }
    NoEvents events;
    std::unique_ptr<ListingWindow> window;
    try {
        window = makeWindow(files, events);
        SetUp(window->Form(), s);
    } catch (const RunTimeError& e) {
        console.ErrorLine(u"列举失败：" + e.description);
        return exitcode::ListingFailed;
    }
    frmMain& form = window->Form();
    form.cmdDoIt_Click();
    if (!window->ErrorBoxes().empty()) {
        console.ErrorLine(u"列举失败：" + window->ErrorBoxes().front().description);
        return exitcode::ListingFailed;
    }
    if (!s.out) {
        if (ToConsole(form, console)) return exitcode::Ok;
        console.ErrorLine(u"无法写出清单：输出已关闭或已满");
        return exitcode::CannotWrite;
    }
    try {
        files.WriteReplacing(*s.out, [&](FileWriter& file) { form.WriteListing(file); });
    } catch (const RunTimeError& e) {
        console.ErrorLine(u"无法写入文件：" + *s.out + u"（" + e.description + u"）");
        // The system out of memory is no fault of the output's.
        return e.number == error::OutOfMemory ? exitcode::ListingFailed : exitcode::CannotWrite;
    }
    return exitcode::Ok;
}

}  // namespace

int RunCommand(const std::vector<Text>& args, FileSystem& files, CommandConsole& console,
               const ListingWindowMaker& makeWindow) {
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
        return List(std::get<ListSettings>(command), files, console, makeWindow);
    } catch (const std::bad_alloc&) {
        // Before anything went out: a file is replaced only once written whole.
        console.ErrorLine(u"列举失败：" + MakeError(error::OutOfMemory).description);
        return exitcode::ListingFailed;
    }
}

}  // namespace tarnwick
