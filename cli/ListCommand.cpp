// Running /list: the listing engine walks with the command as its host, and the save's
// writer writes, so the bytes are those of a save from the window.
#include "cli/ListCommand.h"
#include "cli/Registration.h"

#include <algorithm>
#include <new>
#include <optional>

#include "cli/ListRecords.h"
#include "cli/NameFilter.h"
#include "cli/TreeLines.h"
#include "export/SaveListing.h"
#include "listing/FolderWalk.h"
#include "listing/NumberText.h"
#include "platform/Ansi.h"

namespace tarnwick {
namespace {

// Nothing to pump and nobody to press stop.
class CommandHost : public WalkHost {
  public:
    explicit CommandHost(int32_t levels) : levels_(levels) {}
    void Pump() override {}
    bool StopAsked() const override { return false; }
    int32_t DepthLimit() const override { return levels_; }
    int64_t NowMs() const override { return SteadyMilliseconds(); }
    bool AnswersWhileOpening() const override { return false; }
    virtual void Started(TextView /*folder*/) {}  // before the walk's first line
    void FolderUnreadable(TextView folder, TextView reason) override {
        unread.push_back(u"无法读取文件夹：" + OnOneLine(folder) + u"（" + Text(reason) + u"）");
    }
    std::vector<Text> unread;  // a line for each folder that could not be read

  private:
    int32_t levels_;
};

// The text: the lines go straight into the box. The tree's first line is the folder as
// given, and each entry's is drawn where it stands.
class LinesHost : public CommandHost {
  public:
    LinesHost(ResultBox& box, int32_t levels, bool tree)
        : CommandHost(levels), box_(box), tree_(tree) {}
    void Started(TextView folder) override {
        if (tree_) AppendLine(box_, folder, line_);
    }
    void PushDir(TextView DirStr) override { AppendLine(box_, DirStr, line_); }
    void PushLine(TextView DirStr, const LinePlace& place) override {
        if (!tree_) return PushDir(DirStr);
        drawing_.Make(place, drawn_);
        AppendLine(box_, drawn_, line_);
    }

  private:
    ResultBox& box_;
    Text line_;
    bool tree_;
    TreeLines drawing_;
    Text drawn_;
};

// The file the records are written into, while it is made beside the one it replaces: a
// walk of that folder finds it, but it is nothing the listing holds.
class NewFile {
  public:
    NewFile(FileSystem& files, Text path) : files_(files), path_(std::move(path)) {
        const size_t cut = path_.find_last_of(u"\\/");
        name_ = path_.substr(cut == Text::npos ? 0 : cut + 1);
    }
    bool Is(const ListedEntry& entry) {
        if (name_.empty() || entry.name != name_) return false;
        if (!id_) id_ = files_.Identity(path_);
        return id_ && files_.Identity(entry.path) == id_;
    }

  private:
    FileSystem& files_;
    Text path_, name_;
    std::optional<FolderId> id_;
};

// The records go out each time a megabyte of them is made: a listing of a million entries
// makes 300 MB of them, which are never all held.
class RecordsHost : public CommandHost {
  public:
    using Sink = std::function<void(std::string_view)>;
    RecordsHost(RecordFormat format, int32_t levels, Sink sink, NewFile newFile)
        : CommandHost(levels), records_(format), sink_(std::move(sink)), newFile_(newFile) {
        buffer_ += records_.Start();
    }
    void PushDir(TextView) override {}  // every entry comes with its details
    void PushEntry(const ListedEntry& entry) override {
        if (newFile_.Is(entry)) return;
        records_.Append(entry, buffer_);
        if (buffer_.Size() >= kFlushBytes) Flush();
    }
    void Flush() {
        sink_(buffer_.View());
        buffer_.Clear();
    }

  private:
    static constexpr size_t kFlushBytes = 1 << 20;
    RecordWriter records_;
    Sink sink_;
    RecordBuffer buffer_;
    NewFile newFile_;
};

// The console took no more: the walk ends there.
struct OutputGone {};

// A listing made whole, as it goes to the console and as it goes into a file.
struct MadeListing {
    std::function<bool(CommandConsole&)> toConsole;
    std::function<void(FileWriter&)> toFile;
};

bool NamesFolder(FileSystem& files, TextView path) {
    const auto attributes = files.GetAttributes(path);
    return attributes && (*attributes & attr::Folder);
}

// The settings as the start button derives them from the check boxes.
// The structured formats carry the level and the bare name in every record: /nopath has
// nothing left to change there.
WalkSettings SettingsOf(const ListSettings& s) {
    WalkSettings w{s.noPath ? True : False, s.files ? False : True, s.hidden ? 16 | 2 : 16};
    w.details = s.format == ListFormat::Csv || s.format == ListFormat::Json;
    if (!s.include.empty() || !s.exclude.empty())
        w.filter = std::make_shared<NameFilter>(s.include, s.exclude);
    return w;
}

// The listing as the save writes it; a console that shows characters gets the text itself,
// whatever its code page. A box that holds it in the code page (as WriteListing would write
// it) gives it to the console a piece at a time: nothing then can fail half-way but the
// console. Otherwise it is made whole first, as the console can't take back what was
// written.
bool ToConsole(const ResultBox& box, CommandConsole& console) {
    bool taken = true, given = false;
    if (console.TakesText()) {
        box.ForEachPiece([&](TextView piece) { return taken = console.OutputText(piece); });
        return taken;
    }
    if (box.ForEachPieceIn(AnsiCodePage(), [&](std::string_view bytes) {
            given = true;
            return taken = console.Output(bytes);
        }))
        return given ? taken : console.Output({});  // an empty listing goes out as one too
    StringWriter listing;  // the whole listing: a console can't take back what it was given
    WriteListing(box, AnsiCodePage(), listing);
    return console.Output(listing.bytes_);
}

// Runs `write`, which writes the file `out`: its failure is told and given its exit code.
template <class WriteFile>
int ToFile(const Text& out, CommandConsole& console, WriteFile write) {
    try {
        write();
    } catch (const RunTimeError& e) {
        console.ErrorLine(u"无法写入文件：" + OnOneLine(out) + u"（" + e.description + u"）");
        // The system out of memory is no fault of the output's.
        return e.number == error::OutOfMemory ? exitcode::ListingFailed : exitcode::CannotWrite;
    }
    return exitcode::Ok;
}

int Write(const ListSettings& s, const MadeListing& listing, FileSystem& files,
          CommandConsole& console) {
    if (!s.out) {
        if (listing.toConsole(console)) return exitcode::Ok;
        console.ErrorLine(u"无法写出清单：输出已关闭或已满");
        return exitcode::CannotWrite;
    }
    return ToFile(*s.out, console, [&] { files.WriteReplacing(*s.out, listing.toFile); });
}

void Walk(const ListSettings& s, FileSystem& files, CommandHost& host, std::vector<Text>& unread) {
    host.Started(s.folder);
    FolderWalk(files, SettingsOf(s), s.readAhead, host).ListFile(s.folder, 1);
    unread = std::move(host.unread);
}

// Into a file that no walk finds while it is made, the lines go out as the walk adds them,
// where the box can give them so: nothing where the file can't be made so.
std::optional<int> ListLinesUnseen(const ListSettings& s, FileSystem& files, ResultBox& box,
                                   LinesHost& host, CommandConsole& console,
                                   std::vector<Text>& unread) {
    bool unseen = false;
    const int code = ToFile(*s.out, console, [&] {
        unseen = files.WriteReplacingUnseen(*s.out, [&](FileWriter& file) {
            const auto walk = [&] { Walk(s, files, host, unread); };
            const auto write = [&](std::string_view bytes) { file.Write(bytes); };
            if (box.GiveWhileAdding(AnsiCodePage(), walk, write)) return;
            file.Restart();  // the text left the code page
            WriteListing(box, AnsiCodePage(), file);
        });
    });
    if (unseen || code != exitcode::Ok) return code;
    return std::nullopt;
}

// Each format walks with its own host and writes what it made; the folders it could not
// read go to `unread`.
int ListLines(const ListSettings& s, int32_t depth, FileSystem& files, CommandConsole& console,
              std::vector<Text>& unread) {
    const std::unique_ptr<ResultBox> box = MakeListingBox();
    LinesHost host(*box, depth, s.format == ListFormat::Tree);
    if (s.out) {
        if (const auto code = ListLinesUnseen(s, files, *box, host, console, unread)) return *code;
    }
    Walk(s, files, host, unread);
    return Write(s,
                 {[&](CommandConsole& c) { return ToConsole(*box, c); },
                  [&](FileWriter& file) { WriteListing(*box, AnsiCodePage(), file); }},
                 files, console);
}

// The records are written as the walk makes them, into the file or to the console. A file
// is replaced only once complete; a console can't take back what it was given, so out of
// memory half-way leaves the records given so far (and exit code 6).
int ListRecords(const ListSettings& s, int32_t depth, FileSystem& files, CommandConsole& console,
                std::vector<Text>& unread) {
    const auto listInto = [&](const RecordsHost::Sink& sink, Text newFile) {
        RecordsHost host(s.format == ListFormat::Csv ? RecordFormat::Csv : RecordFormat::Json,
                         depth, sink, NewFile(files, std::move(newFile)));
        Walk(s, files, host, unread);
        host.Flush();
    };
    const auto toConsole = [&](CommandConsole& c) {
        bool given = false;  // an empty listing goes out as one too
        try {
            listInto(
                [&](std::string_view bytes) {
                    if (bytes.empty() && given) return;
                    given = true;
                    if (!c.OutputUtf8(bytes)) throw OutputGone{};
                },
                {});
        } catch (const OutputGone&) {
            return false;
        }
        return true;
    };
    return Write(s,
                 {toConsole,
                  [&](FileWriter& file) {
                      listInto([&](std::string_view b) { file.Write(b); }, file.NewFilePath());
                  }},
                 files, console);
}

int List(const ListSettings& s, FileSystem& files, CommandConsole& console) {
    if (!NamesFolder(files, s.folder)) {
        console.ErrorLine(u"找不到文件夹：" + OnOneLine(s.folder));
        return exitcode::NoFolder;
    }
    // Loaded before the walk, which may leave it no descriptor: a listing in another encoding
    // than the one asked for must not pass for complete.
    if (s.format == ListFormat::Lines) {
        if (const Text why = LoadAnsiCodePage(); !why.empty()) {
            console.ErrorLine(u"列举失败：无法载入代码页 " + Digits(AnsiCodePage()) + u" 的转换（" +
                              why + u"）");
            return exitcode::ListingFailed;
        }
    }
    // The depth is read as the depth box reads it.
    const int32_t depth = std::clamp(ToLong(Val(s.depth)), 1, 32767);
    std::vector<Text> unread;
    const bool lines = s.format == ListFormat::Lines || s.format == ListFormat::Tree;
    const int code = lines ? ListLines(s, depth, files, console, unread)
                           : ListRecords(s, depth, files, console, unread);
    if (code != exitcode::Ok) return code;
    // The rest is listed in full; what is missing is named after it.
    for (const Text& line : unread) console.ErrorLine(line);
    return unread.empty() ? exitcode::Ok : exitcode::SomeUnread;
}

}  // namespace

int RunCommand(const std::vector<Text>& args, FileSystem& files, CommandConsole& console,
               const ReadAheadPolicy& readAhead) {
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
        ListSettings settings = std::get<ListSettings>(command);
        settings.readAhead = readAhead;
        return List(settings, files, console);
    } catch (const std::bad_alloc&) {
        // Before anything went out: a file is replaced only once written whole.
        console.ErrorLine(u"列举失败：" + MakeError(error::OutOfMemory).description);
        return exitcode::ListingFailed;
    }
}

}  // namespace tarnwick
