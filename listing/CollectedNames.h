#pragma once
// The names one folder's enumeration collected, in order. They are held apart by their
// lengths rather than by a separator character, since some file systems allow any. The
// text is kept in chunks of a fixed size, so that the memory held grows with the names
// and never doubles at once: what a worker reading ahead holds is what it counts.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace tarnwick {

class CollectedNames {
  public:
    struct Entry {
        TextView name;
        std::optional<uint32_t> attributes;          // as the enumeration returned them, if it did
        const std::optional<EntryDetails>* details;  // null where none were asked for
    };

    void Add(TextView name, std::optional<uint32_t> attributes) {
        if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < name.size()) {
            // Small for a small folder, then growing to the chunk size.
            const size_t size = chunks_.empty() ? 256 : chunks_.back().capacity() * 2;
            chunks_.emplace_back();
            chunks_.back().reserve(std::max(std::min(size, kChunkChars), name.size()));
        }
        Text& chunk = chunks_.back();
        if (attributes && (*attributes & attr::Folder)) ++folders_;
        ends_.push_back({static_cast<uint32_t>(chunks_.size() - 1),
                         static_cast<uint32_t>(chunk.size()), static_cast<uint32_t>(name.size()),
                         attributes});
        chunk.append(name);
    }
    // The details of the name just added, for a listing that shows them: then every name has.
    void AddDetails(const std::optional<EntryDetails>& details) {
        if (!details_) details_.emplace();
        details_->push_back(details);
    }
    size_t Count() const { return ends_.size(); }
    size_t Folders() const { return folders_; }  // names the enumeration marked as folders
    std::optional<uint32_t> Attributes(size_t i) const { return ends_[i].attributes; }
    size_t Bytes() const {
        size_t bytes = ends_.size() * sizeof(Place);
        if (details_) bytes += details_->size() * sizeof(std::optional<EntryDetails>);
        for (const Text& chunk : chunks_) bytes += chunk.capacity() * sizeof(char16_t);
        return bytes;
    }
    Entry operator[](size_t i) const {
        const Place& p = ends_[i];
        return {TextView(chunks_[p.chunk]).substr(p.at, p.length), p.attributes,
                details_ ? &(*details_)[i] : nullptr};
    }

  private:
    static constexpr size_t kChunkChars = 16384;  // 32 KB
    struct Place {
        uint32_t chunk;
        uint32_t at;
        uint32_t length;
        std::optional<uint32_t> attributes;
    };
    std::vector<Text> chunks_;
    std::deque<Place> ends_;
    std::optional<std::deque<std::optional<EntryDetails>>> details_;  // made on first use
    size_t folders_ = 0;
};

}  // namespace tarnwick
