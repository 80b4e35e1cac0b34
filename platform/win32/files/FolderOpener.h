#pragma once
// Opens folders for enumeration on a worker thread, so that the calling thread can go on
// answering while one is slow to open: Wine reads a whole folder in its first call, over
// a tenth of a second for 10^5 entries. Threads hand over through a slim lock and a
// condition variable, a few microseconds a folder.
#include <windows.h>

#include <functional>
#include <memory>

#include "platform/FileSystem.h"

namespace tarnwick::win32 {

class FolderOpener {
  public:
    // A folder to open: Open may take long and runs on the worker. Destroying the job
    // closes what it opened; the opener does so with a job whose folder was given up.
    class Job {
      public:
        virtual ~Job() = default;
        virtual void Open() = 0;
    };

    // Opens `job`'s folder, calling `waiting` every slice until it has opened, and gives
    // the job back. When `waiting` returns true (or throws), the folder is given up: nothing.
    std::unique_ptr<Job> Run(std::unique_ptr<Job> job, const FileSystem::Waiting& waiting);
    template <typename J>
    std::unique_ptr<J> Run(std::unique_ptr<J> job, const FileSystem::Waiting& waiting) {
        return std::unique_ptr<J>(
            static_cast<J*>(Run(std::unique_ptr<Job>(std::move(job)), waiting).release()));
    }

    // How a folder is opened: FindFirstFileExW, or a stand-in in tests.
    using OpenFunction = std::function<HANDLE(const Text& pattern, WIN32_FIND_DATAW& data)>;
    static HANDLE FindFirst(const Text& pattern, WIN32_FIND_DATAW& data);

    // Where a test watches or holds the threads; all empty in the program.
    struct Hooks {
        std::function<void(HANDLE)> close;  // FindClose of what the opener opened and drops
        std::function<void()> gaveUp;   // a give-up left a folder opening and let go of the lock
        std::function<void()> handled;  // the worker has kept or closed what it opened (locked)
        std::function<void()> ended;    // the worker ends
    };

    explicit FolderOpener(DWORD sliceMs = 20, OpenFunction open = FindFirst, Hooks hooks = {})
        : sliceMs_(sliceMs), open_(std::move(open)), hooks_(std::move(hooks)) {}
    ~FolderOpener() { Retire(); }
    FolderOpener(const FolderOpener&) = delete;
    FolderOpener& operator=(const FolderOpener&) = delete;

    // Run for FindFirstFileExW of `pattern`: its handle, or INVALID_HANDLE_VALUE.
    HANDLE Open(Text pattern, WIN32_FIND_DATAW& data, const FileSystem::Waiting& waiting);

  private:
    struct Shared;
    static DWORD WINAPI Work(void* shared);
    bool Start();
    void GiveUp();
    static void Quit(Shared& s);
    void Retire();
    template <typename Ready>
    bool WaitFor(const FileSystem::Waiting& waiting, Ready ready);

    DWORD sliceMs_;
    OpenFunction open_;
    Hooks hooks_;
    std::shared_ptr<Shared> shared_;  // the worker holds it too, and may outlive us
};

}  // namespace tarnwick::win32
