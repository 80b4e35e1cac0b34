#pragma once
// A file system standing in for a network share: every folder open, and every group of
// entries read after it, costs a fixed delay on top of the one below. The delay is whatever
// `pause` does, so a test can count it instead of waiting. Its readers add the same delays.
#include <chrono>
#include <functional>
#include <thread>

#include "platform/FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnwick::testing {

// Under Wine, std::this_thread::sleep_for waits on an event through Wine's server, whose
// one thread times every such wait: 16 threads sleeping 2 ms took 2.4 ms each, and less
// than a millisecond was no sleep at all. The system's own delay sleeps in the thread, as
// long whatever the others do, as a share's round trip would.
inline void SleepInThread(std::chrono::microseconds d) {
#ifdef _WIN32
    using Delay = LONG(WINAPI*)(BOOLEAN, LARGE_INTEGER*);
    static const auto delay = reinterpret_cast<Delay>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDelayExecution")));
    LARGE_INTEGER relative;
    relative.QuadPart = -10 * static_cast<LONGLONG>(d.count());  // in 100 ns, from now
    if (delay) return static_cast<void>(delay(FALSE, &relative));
#endif
    std::this_thread::sleep_for(d);
}

class LatencyFileSystem : public FileSystem {
  public:
    struct Delays {
        std::chrono::microseconds open{2000};
        std::chrono::microseconds batch{200};
        size_t batchEntries = 64;
        bool readers = true;  // false: gives no reader, so the walk reads every folder itself
        bool remote = true;   // false: a slow local disk
    };
    LatencyFileSystem(FileSystem& inner, const Delays& delays) : inner_(inner), delays_(delays) {}
    LatencyFileSystem(std::unique_ptr<FileSystem> inner, const Delays& delays)
        : owned_(std::move(inner)), inner_(*owned_), delays_(delays) {}

    std::unique_ptr<FileSystem> NewReader() override {
        auto inner = delays_.readers ? inner_.NewReader() : nullptr;
        if (!inner) return nullptr;
        return std::make_unique<LatencyFileSystem>(std::move(inner), delays_);
    }
    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override {
        Wait(delays_.open);
        entries_ = 0;
        return Counted(inner_.FindFirst(folder, mask, waiting));
    }
    TextView FindNext() override { return Counted(inner_.FindNext()); }
    void EndFind() override { inner_.EndFind(); }
    std::optional<uint32_t> EnumeratedAttributes() override {
        return inner_.EnumeratedAttributes();
    }
    Text LiteralFolder(TextView folder) override { return inner_.LiteralFolder(folder); }
    void KeepReadFoldersOpen(bool keep) override { inner_.KeepReadFoldersOpen(keep); }
    bool IsRemote(TextView) override { return delays_.remote; }
    Text FullPath(TextView path) override { return inner_.FullPath(path); }
    std::optional<uint32_t> GetAttributes(TextView path) override {
        return inner_.GetAttributes(path);
    }
    std::optional<FolderId> Identity(TextView path) override { return inner_.Identity(path); }
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& write,
                        const HeldFileWaits& waits) override {
        inner_.WriteReplacing(path, write, waits);
    }

  private:
    void Wait(std::chrono::microseconds d) {
        if (d.count() > 0) SleepInThread(d);
    }
    TextView Counted(TextView name) {
        if (!name.empty() && ++entries_ % delays_.batchEntries == 0) Wait(delays_.batch);
        return name;
    }

    std::unique_ptr<FileSystem> owned_;
    FileSystem& inner_;
    const Delays delays_;
    size_t entries_ = 0;
};

}  // namespace tarnwick::testing
