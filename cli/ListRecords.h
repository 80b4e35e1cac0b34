#pragma once
// /list's structured formats: one record per entry, in the walk's order, in UTF-8.
//   CSV (RFC 4180), with a byte-order mark and a header row, CR LF after each record;
//   JSON Lines, one object per line, LF after each.
// The fields, by these names in both: path, name, level, type ("folder" or "file"), size
// (bytes, files only), last_write (ISO 8601 UTC, to the 100 ns), hidden, system, read_only,
// link. A value that could not be read is empty in CSV and null in JSON.
#include <memory>
#include <string>

#include "listing/FolderWalk.h"

namespace tarnwick {

enum class RecordFormat { Csv, Json };

// Bytes appended in place, into room made for a record's longest form, without the zero
// filling that growing a std::string costs.
class RecordBuffer {
  public:
    char* Room(size_t bytes);  // at least `bytes` to write at the end; Commit says how many
    void Commit(const char* end) { size_ = static_cast<size_t>(end - data_.get()); }
    RecordBuffer& operator+=(std::string_view bytes);
    RecordBuffer& operator+=(char c) { return *this += std::string_view(&c, 1); }
    std::string_view View() const { return {data_.get(), size_}; }
    size_t Size() const { return size_; }
    void Clear() { size_ = 0; }

  private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0, capacity_ = 0;
};

// Makes the records of a walk's entries, in its order.
class RecordWriter {
  public:
    explicit RecordWriter(RecordFormat format) : format_(format) {}
    // What goes before the first record: CSV's byte-order mark and header row.
    std::string Start() const;
    void Append(const ListedEntry& entry, RecordBuffer& out);

  private:
    RecordFormat format_;
    Text folder_;  // the path of the last entry before its name, and it escaped
    RecordBuffer folderBytes_;
    bool folderQuoted_ = false;
    RecordBuffer name_;
};

}  // namespace tarnwick
