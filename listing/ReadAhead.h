#pragma once
// Reads the folders that the walk will enter next on worker threads, in the walk's own
// order, while the walk lists the folder it is in. A worker records what the walk's own
// enumeration of a folder would give: the names it keeps and its pump points. The walk
// plays the recording back where it would have enumerated the folder, so that the lines
// and the pumps are those of a walk that reads every folder itself.
//
// Every call is made on the walk's thread; the workers touch nothing but their own
// readers.
//
// A folder's content is as of the moment a worker read it, earlier than the walk would
// have read it by at most the window. A folder removed or made a file before it is read
// gives no entry and no pump: its line stands (from its parent's names) with nothing
// under it, as when that happens today between a parent's reading and the folder's own.
// A folder changed after it was read is listed as read, as a name is listed today even
// when its entry has gone by the time its line is written. Whether an entry is entered
// still follows the attributes its parent's enumeration gave.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "listing/FolderEnumeration.h"
#include "platform/Lock.h"

namespace tarnwick {

class ReadAhead {
  public:
    class Folder;

    // No reading ahead when `files` gives no reader of its own.
    ReadAhead(FileSystem& files, const EnumerationSettings& settings, int32_t levels);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The innermost folder entered enters its entry number `entry`: the folder read (or
    // being read) for it, or null when the walk must read it itself.
    std::shared_ptr<Folder> Take(size_t entry);
    // The next pump point of a folder taken; waits while a worker still reads it, and
    // gives End once the names are complete. Throws std::bad_alloc as the worker did.
    PumpPoint Next(Folder& folder);
    static const CollectedNames& Names(const Folder& folder);
    // The walk enters a folder, taken or read by itself, that has names to list.
    const CollectedNames& Enter(std::shared_ptr<Folder> folder);
    const CollectedNames& Enter(int32_t layer, TextView literal, CollectedNames names);
    void Leave();  // the innermost folder is done

    void SetLevels(int32_t levels);
    // Drops everything read ahead; every reader's enumeration is released before it
    // returns, and from then on the walk reads every folder itself.
    void Cancel();

  private:
    const CollectedNames& Push(std::shared_ptr<Folder> folder);
    std::shared_ptr<Folder> FindWork();
    std::shared_ptr<Folder> Visit(Folder& parent, int& budget);
    void Work(std::unique_ptr<FileSystem> reader);
    enum class State : uint8_t { Unread, Reading, Read, GivenUp, OutOfMemory };
    State Read(FileSystem& reader, Folder& folder);
    void AddPoint(Folder& folder, PumpPoint point);
    void Prune(Folder& folder);
    void Drop(Folder& folder);
    void DropAll();
    void StartWorkers(size_t count);
    void WakeWorkers();
    void Held(const Folder& folder, int sign);

    FileSystem& files_;
    const EnumerationSettings settings_;
    std::unique_ptr<FileSystem> firstReader_;
    size_t initialThreads_;

    Mutex mutex_;
    Condition work_;                              // workers: something to read, or the end
    Condition progress_;                          // the walk: a pump point, or a folder read
    std::vector<std::shared_ptr<Folder>> stack_;  // the folders the walk is in
    int32_t levels_;
    size_t heldBytes_ = 0;  // names read ahead and not yet taken
    int heldFolders_ = 0;
    bool walkWaiting_ = false;
    int reading_ = 0;
    int idle_ = 0;
    std::atomic<bool> cancelled_ = false;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarnwick
