#pragma once
// The names one folder's enumeration collected, in order. They are held apart by their
// lengths rather than by a separator character, since some file systems allow any.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Text.h"

namespace tarnwick {

class CollectedNames {
  public:
    struct Entry {
        TextView name;
        std::optional<uint32_t> attributes;  // as the enumeration returned them, if it did
    };

    void Add(TextView name, std::optional<uint32_t> attributes) {
        text_.append(name);
        ends_.push_back({text_.size(), attributes});
    }
    size_t Count() const { return ends_.size(); }
    size_t Bytes() const {
        return text_.capacity() * sizeof(char16_t) + ends_.capacity() * sizeof(End);
    }
    Entry operator[](size_t i) const {
        const size_t start = i == 0 ? 0 : ends_[i - 1].end;
        return {TextView(text_).substr(start, ends_[i].end - start), ends_[i].attributes};
    }

  private:
    struct End {
        size_t end;
        std::optional<uint32_t> attributes;
    };
    Text text_;
    std::vector<End> ends_;
};

}  // namespace tarnwick
