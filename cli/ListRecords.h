#pragma once
// /list's structured formats: one record per entry, in the walk's order, in UTF-8.
//   CSV (RFC 4180), with a byte-order mark and a header row, CR LF after each record;
//   JSON Lines, one object per line, LF after each.
// The fields, by these names in both: path, name, level, type ("folder" or "file"), size
// (bytes, files only), last_write (ISO 8601 UTC, to the 100 ns), hidden, system, read_only,
// link. A value that could not be read is empty in CSV and null in JSON.
#include <string>

#include "listing/FolderWalk.h"

namespace tarnwick {

enum class RecordFormat { Csv, Json };

// What goes before the first record: CSV's byte-order mark and header row.
std::string RecordsStart(RecordFormat format);
// Appends the record of `entry` to `out`.
void AppendRecord(RecordFormat format, const ListedEntry& entry, std::string& out);

}  // namespace tarnwick
