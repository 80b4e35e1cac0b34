#pragma once
// The listing engine: the folder walk, which lists a folder's entries and descends into its
// sub-folders, depth-first, in the order the file system gives them. It knows nothing of a
// window: a host gives it the pump, the stop, the depth, the clock and takes the lines.
#include <chrono>
#include <cstdint>

#include "listing/ListingFields.h"
#include "listing/ReadAhead.h"
#include "platform/Controls.h"
#include "platform/FileSystem.h"

namespace tarnwick {

// One listed entry with what the folder's reading told of it, for a host that shows more
// than the line: the path as the line shows it, the bare name, the level (1 for the
// starting folder's own entries) and the details (none where they could not be read).
struct ListedEntry {
    TextView path;
    TextView name;
    int32_t level;
    const std::optional<EntryDetails>& details;
};

// Where a line's entry stands in the tree, for a host that shows more than the line: its
// level (1 for the starting folder's own entries), whether it is the last entry listed in
// its folder, and its bare name as the file system gave it.
struct LinePlace {
    int32_t level;
    bool last;
    TextView name;
};

// What the walk asks of whoever runs it, at the moments the walk's steps name.
class WalkHost {
  public:
    virtual ~WalkHost() = default;
    // Lets pending events run; ends the program when no window is open any more.
    virtual void Pump() = 0;
    virtual bool StopAsked() const = 0;      // read after every pump
    virtual int32_t DepthLimit() const = 0;  // read afresh for every descent
    virtual int64_t NowMs() const = 0;       // steady milliseconds, for the timed pumps
    // Appends one line; throws std::bad_alloc rather than lose it.
    virtual void PushDir(TextView DirStr) = 0;
    // PushDir, told where the line's entry stands.
    virtual void PushLine(TextView DirStr, const LinePlace& /*place*/) { PushDir(DirStr); }
    // In place of PushDir where the settings ask for details.
    virtual void PushEntry(const ListedEntry& entry) { PushDir(entry.path); }
    // A folder (as its line shows it, ending in the separator) that could not be read to its end,
    // and why in the system's words. The walk passes it over all the same; the window says nothing.
    virtual void FolderUnreadable(TextView /*folder*/, TextView /*reason*/) {}
    // False for a host with nothing to run while a folder is slow to open (no window): the
    // walk then opens each folder on its own thread, without the hand-over to a helper.
    virtual bool AnswersWhileOpening() const { return true; }
};

// The steady clock in milliseconds: what the walk's timed pumps go by.
inline int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The settings a walk keeps from its start to its end.
struct WalkSettings {
    Boolean NoPath = False;
    Boolean DirsOnly = False;
    int32_t DirAttr = 16;
    bool details = false;  // each entry goes to the host's PushEntry with its EntryDetails
    std::shared_ptr<const EntryFilter> filter = nullptr;  // which entries are listed and entered
};

class FolderWalk {
  public:
    FolderWalk(FileSystem& files, const WalkSettings& settings, const ReadAheadPolicy& readAhead,
               WalkHost& host)
        : files_(files), settings_(settings), readAhead_(readAhead), host_(host) {}

    // Lists `Path` (as typed) at depth `Layer`. Out of memory it throws std::bad_alloc, with
    // the lines listed so far left where they went.
    void ListFile(Text Path, int32_t Layer);

  private:
    FileSystem& files_;
    WalkSettings settings_;
    const ReadAheadPolicy& readAhead_;
    WalkHost& host_;
};

// True when the attributes of the entry at `PathName` can be read.
bool TestPath(FileSystem& files, TextView PathName);

// `text` with each CR or LF shown as its control picture (U+240D, U+240A), as a line of the
// listing shows a name that holds one: a message that names such a path stays one line too.
Text OnOneLine(TextView text);

// Appends the line for `DirStr` to `box` at its caret, as a host's PushDir does: a CR or
// LF in a name (POSIX allows them) shown as its control picture, so the line stays one,
// then CR LF; made in `line`, kept to save an allocation per line. Our boxes refuse a
// line only for want of memory: that throws std::bad_alloc rather than lose it.
void AppendLine(ResultBox& box, TextView DirStr, Text& line);
// The same for the line of an entry, which the box keeps beside the line.
void AppendLine(ResultBox& box, TextView DirStr, const LinePlace& place, Text& line);

}  // namespace tarnwick
