#include "bench/synthetic_tree.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace tarnwick::bench {
namespace {

constexpr uint32_t kFileAttributes = 0x20;  // archive
constexpr auto kSlice = std::chrono::milliseconds(20);

void AppendNumber(Text& text, size_t n, int digits) {
    text.resize(text.size() + static_cast<size_t>(digits));
    for (size_t i = text.size(); digits-- > 0; n /= 10)
        text[--i] = static_cast<char16_t>(u'0' + n % 10);
}

TextView WithoutSeparator(TextView path) {
    return path.ends_with(kSeparator) ? path.substr(0, path.size() - 1) : path;
}

}  // namespace

Text SyntheticTree::FolderName(size_t i) const {
    if (shape_->hungSecond && i == 1) return u"hung";
    Text name = u"folder_";
    AppendNumber(name, i, 3);
    return name;
}

// A folder's path is the root's, a separator, a folder's name and a separator.
TextView SyntheticTree::FindFirst(TextView folder, int32_t, const Waiting& waiting) {
    EndFind();
    const size_t rootLength = shape_->root.size() + 1;
    inRoot_ = folder.size() == rootLength;
    if (shape_->hungSecond && !inRoot_ &&
        WithoutSeparator(folder.substr(rootLength)) == FolderName(1) && !Hang(waiting))
        return {};
    count_ = 2 + (inRoot_ ? shape_->folders : shape_->files);
    next_ = 0;
    return Name();
}

TextView SyntheticTree::FindNext() {
    return next_ < count_ ? Name() : TextView();
}

// A reader is stuck in a call that nothing interrupts; the walk's own opening is given up
// when `waiting` says so.
bool SyntheticTree::Hang(const Waiting& waiting) {
    if (reader_ || !waiting) {
        ++*stuck_;
        std::this_thread::sleep_for(shape_->hang);
        --*stuck_;
        return true;
    }
    const auto end = std::chrono::steady_clock::now() + shape_->hang;
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now()) {
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
        if (waiting()) return false;
    }
    return true;
}

TextView SyntheticTree::Name() {
    const size_t i = next_++;
    if (i < 2) return i == 0 ? u"." : u"..";
    if (inRoot_) {
        name_ = FolderName(i - 2);
    } else {
        name_ = u"document_";
        AppendNumber(name_, i - 2, kFileNameLength - 13);
        name_ += u".txt";
    }
    return name_;
}

std::unique_ptr<FileSystem> SyntheticTree::NewReader() {
    return std::unique_ptr<FileSystem>(new SyntheticTree(shape_, stuck_));
}

std::optional<uint32_t> SyntheticTree::EnumeratedAttributes() {
    if (next_ == 0 || next_ > count_) return std::nullopt;
    return inRoot_ || next_ <= 2 ? attr::Folder : kFileAttributes;
}

std::optional<uint32_t> SyntheticTree::GetAttributes(TextView path) {
    return path.ends_with(u".txt") ? kFileAttributes : attr::Folder;
}

std::optional<FolderId> SyntheticTree::Identity(TextView path) {
    return FolderId{1, std::hash<TextView>{}(WithoutSeparator(path))};
}

void SyntheticTree::WriteReplacing(TextView, const std::function<void(FileWriter&)>&,
                                   const HeldFileWaits&) {
    throw std::logic_error("a synthetic tree holds no files");
}

}  // namespace tarnwick::bench
