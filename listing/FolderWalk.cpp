// The folder walk: ListFile lists a folder's entries and descends into its sub-folders,
// depth-first, in the order the file system gives them; the host pumps and takes the lines.
#include <algorithm>
#include <new>
#include <thread>
#include <vector>

#include "listing/FolderWalk.h"

namespace tarnwick {
namespace {

// A click in a large folder waits this long at most, plus the reading of 256 entries and
// the end of the run: within 50 ms in all.
constexpr int64_t kPumpIntervalMs = 20;

EnumerationSettings EnumerationOf(const WalkSettings& s, const WalkHost& host) {
    return {s.DirAttr, s.DirsOnly != False, s.details, s.filter, !host.AnswersWhileOpening()};
}

// One activation of ListFile. Its Path is the prefix of the walk's shared path buffer
// up to pathLength (the final separator included), so a deep walk keeps one copy of it.
struct Activation {
    Activation(size_t length, int32_t layer) : pathLength(length), Layer(layer) {}
    size_t pathLength;
    int32_t Layer;
    const CollectedNames* names = nullptr;  // held by the read-ahead, which mirrors the stack
    size_t index = 0;
    bool identityRead = false;  // the folder's identity is read only once a link is met
    std::optional<FolderId> identity;
};

// The recursion of ListFile kept on the heap rather than the call stack, so that a walk
// as deep as the file system allows fits whatever the thread's stack size.
class Walk {
  public:
    Walk(FileSystem& files, const WalkSettings& settings, const ReadAheadPolicy& readAhead,
         WalkHost& host)
        : host_(host),
          settings_(settings),
          files_(files),
          lastPump_(host.NowMs()),
          enumeration_(EnumerationOf(settings, host)),
          ahead_(files, enumeration_, host.DepthLimit(), readAhead) {
        files_.KeepReadFoldersOpen(true);
    }
    // A walk that ends by an error (out of memory in the middle of a folder) leaves no
    // folder open either.
    ~Walk() {
        files_.EndFind();
        files_.KeepReadFoldersOpen(false);
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    void Run(Text Path, int32_t Layer) {
        path_ = std::move(Path);
        Enter(Layer, nullptr);
        while (!stack_.empty()) {
            if (stack_.back().index == stack_.back().names->Count()) {
                stack_.pop_back();  // the activation returns
                ahead_.Leave();
                continue;
            }
            ListNextEntry();
        }
    }

  private:
    // The enumeration phase, played back from the read-ahead when it read the folder: the
    // activation goes on to its listing phase only when it collected something and no stop
    // was asked for.
    void Enter(int32_t Layer, std::shared_ptr<ReadAhead::Folder> readAhead) {
        if (path_.empty() || path_.back() != kSeparator) {
            path_ += kSeparator;
            literal_ += kSeparator;
        }
        if (stack_.empty()) StartLiteral();
        Activation a(path_.size(), Layer);
        CollectedNames names;
        std::optional<bool> played;
        if (readAhead) played = PlayBack(*readAhead, Layer);
        if (!played) readAhead.reset();  // read here, also when a worker gave it back
        const bool listing = played ? *played : Collect(names, Layer);
        files_.EndFind();  // a stop can leave the enumeration unfinished
        Cut(a.pathLength);
        if (!listing) return;
        a.names = readAhead ? &ahead_.Enter(std::move(readAhead))
                            : &ahead_.Enter(Layer, literal_, std::move(names));
        stack_.push_back(std::move(a));
    }

    // The file system is handed each path in its literal form: the starting folder as the
    // file system reads it, then the names exactly as it gave them. The lines show path_,
    // the starting folder as typed.
    void StartLiteral() {
        literal_ = files_.LiteralFolder(path_);
        shownRoot_ = path_.size();
        literalRoot_ = literal_.size();
    }
    size_t LiteralLength(size_t pathLength) const { return pathLength - shownRoot_ + literalRoot_; }
    void Cut(size_t pathLength) {
        path_.resize(pathLength);
        literal_.resize(LiteralLength(pathLength));
    }
    void Append(TextView name) {
        path_ += name;
        literal_ += name;
    }

    bool Collect(CollectedNames& names, int32_t Layer) {
        for (int retries = 0;; ++retries) {
            if (!ahead_.Read(files_, literal_, names,
                             [this, Layer](PumpPoint p) { return PumpAt(p, Layer); }))
                return false;
            if (!files_.OwnFailure() || !WorkersLetGo(retries, Layer)) break;
            names = CollectedNames();
        }
        ReportFailure(files_.FolderFailure());
        return names.Count() != 0 && !PumpAndCheckEnd(Layer);
    }

    // The walk could not read a folder for want of descriptors or memory. Where workers
    // reading ahead hold them, reading ahead ends and the folder is read again once they
    // have let go, as a walk without them would have read it; true to read it again.
    bool WorkersLetGo(int retries, int32_t Layer) {
        constexpr int kMostRetries = 50;
        if (retries == 0 && !ahead_.Cancel()) return false;
        if (retries == kMostRetries) return false;
        files_.EndFind();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !PumpAt(PumpPoint::ClockCheck, Layer);
    }

    // Nothing when the worker gave the folder back, for the walk to read itself.
    std::optional<bool> PlayBack(ReadAhead::Folder& folder, int32_t Layer) {
        for (PumpPoint p = ahead_.Next(folder); p != PumpPoint::End; p = ahead_.Next(folder)) {
            if (p == PumpPoint::GivenBack) return std::nullopt;
            if (PumpAt(p, Layer)) return false;
        }
        ReportFailure(ReadAhead::Failure(folder));
        return ReadAhead::Names(folder).Count() != 0 && !PumpAndCheckEnd(Layer);
    }

    // The folder being entered, as its line shows it, with its final separator.
    void ReportFailure(TextView reason) {
        if (!reason.empty()) host_.FolderUnreadable(path_, reason);
    }

    // A folder slow to open (Wine reads a whole folder at once) pumps while it opens. In a
    // folder of very many entries the window still answers: once a pump is due, one more
    // runs every 256 entries, with the same effect as the pump at ".".
    bool PumpAt(PumpPoint p, int32_t Layer) {
        if (p == PumpPoint::ClockCheck && host_.NowMs() - lastPump_ < kPumpIntervalMs) return false;
        return PumpAndCheckEnd(Layer);
    }

    // The folder being read at `Layer` ends at a pump as a stop ends it, also once the depth
    // was lowered below its level: its entries lie beyond what the listing now covers. At
    // the new depth itself they are listed (only not entered), so that folder is read whole.
    bool PumpAndCheckEnd(int32_t Layer) { return PumpAndCheckStop() || Layer > host_.DepthLimit(); }

    // The listing phase, one entry at a time for the activation on top: its line, then
    // the descent.
    void ListNextEntry() {
        Activation& a = stack_.back();
        const size_t number = a.index++;
        const CollectedNames::Entry entry = (*a.names)[number];
        const int32_t Layer = a.Layer;
        Cut(a.pathLength);
        Append(entry.name);
        const LinePlace place{Layer, a.index == a.names->Count(), entry.name};
        if (entry.details) {
            host_.PushEntry({path_, entry.name, Layer, *entry.details});
        } else if (settings_.NoPath) {
            line_.assign(static_cast<size_t>(std::max(Layer - 1, 0)) * 4, u' ');
            line_ += entry.name;
            host_.PushLine(line_, place);
        } else {
            host_.PushLine(path_, place);
        }
        if (Layer < host_.DepthLimit() && !Stopping() && IsFolderToEnter(entry))
            Enter(Layer + 1, ahead_.Take(number));
    }

    // Once a stop is asked for, a descent would return at its first check with no line
    // (nothing clears the request during the walk), so it is not made at all: opening the
    // folders left in a deep tree's ancestors would keep the stop waiting on the disk.
    bool Stopping() const { return host_.StopAsked(); }

    // The descent test answers from the enumeration where it returned the attributes;
    // an entry whose attributes can't be read is entered all the same.
    bool IsFolderToEnter(const CollectedNames::Entry& entry) {
        const auto attributes =
            entry.attributes ? entry.attributes : files_.GetAttributes(literal_);
        if (attributes && !(*attributes & attr::Folder)) return false;
        return !(attributes && (*attributes & attr::Link) && LeadsBack());
    }

    // A link to the folder itself, to a folder the walk is in, or to a folder above the
    // one the walk started in, is listed but not entered. The folders above are found
    // through "..", which only the usual path rules resolve: they are asked as typed.
    bool LeadsBack() {
        const auto target = files_.Identity(literal_);
        if (!target) return false;
        for (Activation& a : stack_) {
            if (!a.identityRead) {
                a.identity =
                    files_.Identity(TextView(literal_).substr(0, LiteralLength(a.pathLength)));
                a.identityRead = true;
            }
            if (a.identity == target) return true;
        }
        if (!startAncestorsRead_) ReadStartAncestors();
        return std::find(startAncestors_.begin(), startAncestors_.end(), *target) !=
               startAncestors_.end();
    }

    void ReadStartAncestors() {
        startAncestorsRead_ = true;
        Text folder = path_.substr(0, stack_.front().pathLength);
        std::optional<FolderId> below = files_.Identity(folder);
        for (int up = 0; up < 32767 && below; ++up) {
            folder += u"..";
            folder += kSeparator;
            const auto id = files_.Identity(folder);
            if (!id || id == below) break;  // the root is its own parent
            startAncestors_.push_back(*id);
            below = id;
        }
    }

    // A stop drops the read-ahead at once: every folder from then on is read by the walk,
    // which gives each one's first pump point as before.
    bool PumpAndCheckStop() {
        host_.Pump();
        lastPump_ = host_.NowMs();
        ahead_.SetLevels(host_.DepthLimit());
        if (!host_.StopAsked()) return false;
        ahead_.Cancel();
        return true;
    }

    WalkHost& host_;
    const WalkSettings& settings_;
    FileSystem& files_;
    Text path_;
    Text literal_;
    size_t shownRoot_ = 0;
    size_t literalRoot_ = 0;
    Text line_;
    std::vector<Activation> stack_;
    int64_t lastPump_;
    bool startAncestorsRead_ = false;
    std::vector<FolderId> startAncestors_;
    const EnumerationSettings enumeration_;
    ReadAhead ahead_;
};

}  // namespace

void FolderWalk::ListFile(Text Path, int32_t Layer) {
    Walk(files_, settings_, readAhead_, host_).Run(std::move(Path), Layer);
}

bool TestPath(FileSystem& files, TextView PathName) {
    return files.GetAttributes(PathName).has_value();
}

namespace {

// A name may hold CR or LF (POSIX allows them, and a Samba share or Wine shows them), which
// would split the entry's line or fake one more: they are shown as their control pictures.
// Windows' own names cannot hold them.
char16_t ShownInLine(char16_t c) {
    if (c == u'\r') return u'\u240D';
    if (c == u'\n') return u'\u240A';
    return c;
}

// Without a branch, so that the compiler looks at many units at a time: the line is one of
// a million, and almost no name holds a break.
bool HoldsLineBreak(TextView text) {
    int found = 0;
    for (const char16_t c : text) found |= (c == u'\r') | (c == u'\n');
    return found != 0;
}

}  // namespace

Text OnOneLine(TextView text) {
    Text line(text);
    if (HoldsLineBreak(text)) std::transform(line.begin(), line.end(), line.begin(), ShownInLine);
    return line;
}

namespace {

void MakeLine(TextView DirStr, Text& line) {
    line.assign(DirStr);
    if (HoldsLineBreak(DirStr)) std::transform(line.begin(), line.end(), line.begin(), ShownInLine);
    line += u"\r\n";
}

}  // namespace

void AppendLine(ResultBox& box, TextView DirStr, Text& line) {
    MakeLine(DirStr, line);
    if (!box.SetSelText(line)) throw std::bad_alloc();
}

// The box is given the real name where the line shows it otherwise.
void AppendLine(ResultBox& box, TextView DirStr, const LinePlace& place, Text& line) {
    MakeLine(DirStr, line);
    const TextView real = HoldsLineBreak(place.name) ? place.name : TextView();
    if (!box.SetSelEntry(line, place.level, real)) throw std::bad_alloc();
}

}  // namespace tarnwick
