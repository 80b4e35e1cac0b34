#pragma once
// A tree that exists only in memory, for walks too large to make on disk in good time
// (under Wine above all): a root holding `folders` folders of `files` files each, with
// generated names of about 20 characters. The folder named "hung" stands for a folder on a
// hung network share: a reader (a read-ahead worker) is stuck for `hang` in its first
// batch, while the walk's own opening of it runs `waiting` every 20 ms, as the Windows
// opener does, and gives it up when asked to.
#include <atomic>
#include <chrono>
#include <memory>

#include "platform/FileSystem.h"

namespace tarnwick::bench {

class SyntheticTree : public FileSystem {
  public:
    struct Shape {
        Text root;  // the walk's starting folder, without a final separator
        size_t folders = 0;
        size_t files = 0;  // in each folder
        bool hungSecond = false;
        std::chrono::milliseconds hang{3000};
    };

    static constexpr int kFileNameLength = 19;  // "document_000123.txt", the longest name

    explicit SyntheticTree(Shape shape)
        : shape_(std::make_shared<const Shape>(std::move(shape))),
          stuck_(std::make_shared<std::atomic<int>>(0)) {}

    // Readers stuck in "hung" now.
    int Stuck() const { return *stuck_; }

    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t mask, const Waiting& waiting) override;
    TextView FindNext() override;
    std::unique_ptr<FileSystem> NewReader() override;
    void EndFind() override { count_ = 0; }
    std::optional<uint32_t> EnumeratedAttributes() override;
    std::optional<uint32_t> GetAttributes(TextView path) override;
    std::optional<FolderId> Identity(TextView path) override;
    Text FullPath(TextView path) override { return Text(path); }     // its paths are all full
    bool IsRemote(TextView) override { return shape_->hungSecond; }  // a hung share's tree
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& write,
                        const HeldFileWaits& waits) override;

  private:
    SyntheticTree(std::shared_ptr<const Shape> shape, std::shared_ptr<std::atomic<int>> stuck)
        : shape_(std::move(shape)), stuck_(std::move(stuck)), reader_(true) {}
    Text FolderName(size_t i) const;
    bool Hang(const Waiting& waiting);
    TextView Name();

    std::shared_ptr<const Shape> shape_;
    std::shared_ptr<std::atomic<int>> stuck_;
    bool reader_ = false;
    bool inRoot_ = false;  // listing the root's folders rather than a folder's files
    size_t count_ = 0;     // names in the folder being listed, "." and ".." included
    size_t next_ = 0;      // the next one to give
    Text name_;
};

}  // namespace tarnwick::bench
