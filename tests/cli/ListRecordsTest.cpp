// /list's records: for random trees (Chinese names, a comma, hidden entries, links, a folder
// that can't be read) the CSV and the JSON Lines parse back to the text listing's entries,
// in order, with what the file system itself reports of each; the filters against a model;
// reparse points that are no links (cloud files, compressed files) as Windows marks them.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <regex>
#include <set>

#include "cli/ListCommand.h"
#include "cli/NameFilter.h"
#include "listing/HelperThreads.h"
#include "platform/Ansi.h"
#include "tests/support/CountingFileSystem.h"
#include "tests/support/RecordedConsole.h"
#include "tests/window/WindowFixture.h"
#ifdef _WIN32
#include <windows.h>

#include "platform/win32/Wide.h"
#include "platform/win32/files/Win32FileSystem.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnwick::testing {
namespace {

using Record = std::map<std::string, std::string>;  // UTF-8 values; null is ""

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// RFC 4180, after the byte-order mark: a quoted field may hold commas, doubled quotes, breaks.
std::vector<Record> ParseCsv(std::string_view t) {
    EXPECT_TRUE(t.starts_with("\xEF\xBB\xBF"));
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    for (size_t i = 3; i < t.size(); ++i) {
        if (t[i] == '"') {
            for (++i; i < t.size() && !(t[i] == '"' && t.substr(i, 2) != "\"\""); ++i)
                rows.back().back() += t[t[i] == '"' ? i++ : i];
        } else if (t[i] == ',') {
            rows.back().emplace_back();
        } else if (t.substr(i, 2) == "\r\n") {
            rows.emplace_back(1), ++i;
        } else {
            rows.back().back() += t[i];
        }
    }
    std::vector<Record> records;
    for (size_t r = 1; r + 1 < rows.size(); ++r) {
        EXPECT_EQ(rows[r].size(), rows[0].size());
        for (size_t f = 0; f < rows[r].size() && f < rows[0].size(); ++f)
            records.resize(r), records.back()[rows[0][f]] = rows[r][f];
    }
    return records;
}

// One flat object a line: strings (with escapes), numbers, true, false, null.
std::vector<Record> ParseJsonLines(std::string_view t) {
    std::vector<Record> records;
    size_t i = 0;
    const auto string = [&] {
        std::string s;
        for (++i; t.at(i) != '"'; ++i) {
            if (t[i] != '\\') {
                s += t[i];
            } else if (t.at(++i) == 'u') {
                const auto unit = std::stoul(std::string(t.substr(i + 1, 4)), nullptr, 16);
                s += ToUtf8(Text(1, static_cast<char16_t>(unit)));
                i += 4;
            } else {
                s += t[i];
            }
        }
        ++i;
        return s;
    };
    while (i < t.size()) {
        EXPECT_EQ(t[i], '{');
        Record& r = records.emplace_back();
        do {
            ++i;
            const std::string key = string();
            EXPECT_EQ(t.at(i++), ':');
            std::string value;
            if (t.at(i) == '"') {
                value = string();
            } else {
                const size_t end = t.find_first_of(",}", i);
                value = t.substr(i, end - i);
                i = end;
            }
            r[key] = value == "null" ? "" : value;
        } while (t.at(i) == ',');
        EXPECT_EQ(t.substr(i, 2), "}\n");
        i += 2;
    }
    return records;
}

// What the file system reports of an entry, asked of it by path rather than by reading
// its folder: attributes as the listing's bits, size, last-write time in 100-ns units.
struct Reported {
    uint32_t attributes;
    uint64_t size;
    int64_t ticks;
};
Reported Report(const std::filesystem::path& p) {
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA d{};
    EXPECT_TRUE(GetFileAttributesExW(p.c_str(), GetFileExInfoStandard, &d)) << p;
    const auto wide = [](DWORD high, DWORD low) { return uint64_t{high} << 32 | low; };
    return {d.dwFileAttributes, wide(d.nFileSizeHigh, d.nFileSizeLow),
            static_cast<int64_t>(
                wide(d.ftLastWriteTime.dwHighDateTime, d.ftLastWriteTime.dwLowDateTime))};
#else
    struct stat st {
    }, target{};
    EXPECT_EQ(lstat(p.c_str(), &st), 0) << p;
    const bool toFolder = stat(p.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    const uint32_t a = (S_ISLNK(st.st_mode) ? attr::Link : 0) | (toFolder ? attr::Folder : 0) |
                       (p.filename().string()[0] == '.' ? attr::Hidden : 0) |
                       (st.st_mode & 0222 ? 0 : attr::ReadOnly);
    return {a, static_cast<uint64_t>(st.st_size),
            (st.st_mtim.tv_sec + 11644473600) * 10'000'000 + st.st_mtim.tv_nsec / 100};
#endif
}

// ISO 8601 UTC back to 100-ns units since 1601, through the standard library's calendar.
int64_t Ticks(const std::string& iso) {
    int y = 0;
    unsigned mo = 0, d = 0, h = 0, mi = 0, s = 0;
    long long fraction = -1;
    EXPECT_EQ(iso.size(), 28u) << iso;
    std::sscanf(iso.c_str(), "%4d-%2u-%2uT%2u:%2u:%2u.%7lldZ", &y, &mo, &d, &h, &mi, &s, &fraction);
    using namespace std::chrono;
    const int64_t days = sys_days(year(y) / month(mo) / day(d)).time_since_epoch().count();
    return ((days * 86400 + h * 3600 + mi * 60 + s) + 11644473600) * 10'000'000 + fraction;
}

// Each record is the text line's entry, with what the file system reports of it.
void ExpectEntriesOf(const std::vector<std::string>& lines, const std::vector<Record>& records,
                     size_t rootLength) {
    ASSERT_EQ(records.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const Record& r = records[i];
        SCOPED_TRACE(line);
        EXPECT_EQ(r.at("path"), line);
        EXPECT_EQ(r.at("name"), line.substr(line.find_last_of("/\\") + 1));
        EXPECT_EQ(r.at("level"),
                  std::to_string(std::count_if(line.begin() + rootLength, line.end(),
                                               [](char c) { return c == '/' || c == '\\'; })));
        const Reported f = Report(std::filesystem::path(std::u8string(line.begin(), line.end())));
        const bool folder = f.attributes & attr::Folder;
        EXPECT_EQ(r.at("type"), folder ? "folder" : "file");
        EXPECT_EQ(r.at("size"), folder ? "" : std::to_string(f.size));
        EXPECT_EQ(Ticks(r.at("last_write")), f.ticks);
        const std::pair<const char*, uint32_t> flags[] = {{"hidden", attr::Hidden},
                                                          {"system", attr::System},
                                                          {"read_only", attr::ReadOnly},
                                                          {"link", attr::Link}};
        for (const auto& [name, bit] : flags)
            EXPECT_EQ(r.at(name), f.attributes & bit ? "true" : "false") << name;
    }
}

// A random tree: folders and files of random sizes, some hidden, some read-only, Chinese
// names, a comma; a link to a folder and one to a file; and a name the code page can't hold,
// so the text goes out as UTF-8.
void Grow(TempTree& tree, unsigned seed) {
    static const TextView kNames[] = {u"a", u"数据", u"照片 2024", u"报告,終.txt", u"b.log"};
    std::mt19937 random(seed);
    std::vector<Text> folders{u""}, files;
    tree.File(u"한국어.txt");
    tree.File(u"z/shut/unseen.txt");  // a folder that can't be read
    for (int i = 0; i < 16; ++i) {
        const Text& parent = folders[random() % folders.size()];
        const bool hidden = random() % 4 == 0;
        const Text path = (parent.empty() ? u"" : parent + u"/") + (hidden ? u"." : u"") +
                          Text(kNames[random() % std::size(kNames)]) +
                          Text(1, static_cast<char16_t>(u'A' + i));
        if (random() % 2 == 0) {
            tree.Folder(path);
            folders.push_back(path);
        } else {
            std::ofstream(tree.FsPath(path), std::ios::binary) << std::string(random() % 5000, 'x');
            files.push_back(path);
            const auto p = tree.FsPath(path);  // written long ago, not when it was made
            std::filesystem::last_write_time(
                p, std::filesystem::last_write_time(p) - std::chrono::seconds(random() % 99999999));
            if (random() % 4 == 0)
                std::filesystem::permissions(tree.FsPath(path), std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::remove);
        }
        if (hidden) tree.Hide(path);
    }
    tree.FolderLink(folders.back() + u"/link", tree.Path(folders[1 % folders.size()]));
    if (!files.empty()) tree.FileLink(u"filelink", tree.Path(files[0]));
}

std::vector<std::string> Lines(std::string_view text) {
    EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF"));
    std::vector<std::string> lines;
    for (size_t at = 3, end; (end = text.find("\r\n", at)) != std::string_view::npos; at = end + 2)
        lines.emplace_back(text.substr(at, end - at));
    return lines;
}

class ListRecordsTest : public WindowTest {
  protected:
    int Run(std::vector<Text> args, FileSystem& fs) {
        console = {};
        return RunCommand(args, fs, console, {.fromStart = true});  // readers from the start
    }
    RecordedConsole console;
    TempTree out;  // outside the trees listed
};

TEST_F(ListRecordsTest, CsvAndJsonLinesHoldTheTextListingsEntriesWithWhatTheFileSystemReports) {
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        TempTree tree;
        Grow(tree, seed);
        CountingFileSystem failing(*files);
        failing.readers = seed % 2 == 0;
        failing.unreadableFolders = {u"shut"};
        const std::vector<Text> args{u"/list", tree.Root(), u"/depth", u"9", u"/files", u"/hidden"};
        ASSERT_EQ(Run(args, failing), exitcode::SomeUnread);
        const std::vector<std::string> lines = Lines(console.out);
        const std::vector<Text> unread = console.errorLines;
        const std::string root = ToUtf8(tree.Root());
        for (const TextView format : {u"csv", u"JSON"}) {
            auto withFormat = args;
            withFormat.insert(withFormat.end(), {u"/format", Text(format), u"/nopath"});
            EXPECT_EQ(Run(withFormat, failing), exitcode::SomeUnread);
            EXPECT_EQ(console.errorLines, unread);
            ExpectEntriesOf(lines,
                            format == u"csv" ? ParseCsv(console.out) : ParseJsonLines(console.out),
                            root.size());
            const std::string written = console.out;  // and the same bytes into a file
            withFormat.insert(withFormat.end(), {u"/out", out.Path(u"records.txt")});
            EXPECT_EQ(Run(withFormat, failing), exitcode::SomeUnread);
            EXPECT_EQ(ReadFile(out.FsPath(u"records.txt")), written);
            // Into the folder listed: the file made beside the new one is no entry of it.
            const Text inside = u"records-" + Text(format);
            withFormat.back() = tree.Path(inside);
            EXPECT_EQ(Run(withFormat, failing), exitcode::SomeUnread);
            EXPECT_EQ(ReadFile(tree.FsPath(inside)), written);
            std::filesystem::remove(tree.FsPath(inside));
        }
    }
}

// The filters' model: a pattern as a regular expression, by the system's rules.
bool ModelMatches(TextView pattern, TextView name, WildcardRules rules) {
    std::wstring re;
    for (const char16_t c : pattern) {
        wchar_t escaped[8];
        std::swprintf(escaped, 8, L"\\u%04X", static_cast<unsigned>(c));
        re += c == u'*' ? L"[\\s\\S]*" : c == u'?' ? L"[\\s\\S]" : escaped;
    }
    const auto flags =
        rules.ignoreCase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript;
    if (std::regex_match(std::wstring(name.begin(), name.end()), std::wregex(re, flags)))
        return true;
    return rules.dotStarMatchesAll && pattern.ends_with(u".*") &&
           ModelMatches(pattern.substr(0, pattern.size() - 2), name, rules);
}
bool ModelKeeps(const std::vector<Text>& include, const std::vector<Text>& exclude, TextView name,
                bool folder) {
    const auto any = [&](const std::vector<Text>& patterns) {
        return std::any_of(patterns.begin(), patterns.end(), [&](const Text& p) {
            return ModelMatches(p, name, SystemWildcardRules());
        });
    };
    return !any(exclude) && (folder || include.empty() || any(include));
}

Text FromUtf8(const std::string& s) {
    return std::filesystem::path(std::u8string(s.begin(), s.end())).u16string();
}

Text RandomText(std::mt19937& random, TextView alphabet, size_t most) {
    Text t;
    for (size_t n = random() % most + 1; n > 0; --n) t += alphabet[random() % alphabet.size()];
    return t;
}

TEST(NameFilterTest, KeepsWhatTheModelKeeps) {
    std::mt19937 random(7);
    for (int i = 0; i < 5000; ++i) {
        std::vector<Text> include(random() % 3), exclude(random() % 2);
        for (Text& p : include) p = RandomText(random, u"aB.中**?", 5);
        for (Text& p : exclude) p = RandomText(random, u"Ab.中*?", 4);
        const Text name = RandomText(random, u"abAB.中", 6);
        const bool folder = random() % 2 == 0;
        ASSERT_EQ(NameFilter(include, exclude).Keeps(name, folder),
                  ModelKeeps(include, exclude, name, folder))
            << Narrow(name) << " include " << (include.empty() ? "" : Narrow(include[0]))
            << " exclude " << (exclude.empty() ? "" : Narrow(exclude[0]));
    }
}

// The walk leaves out what the model leaves out, and below an excluded folder everything.
TEST_F(ListRecordsTest, FiltersListWhatTheModelKeepsOfTheWholeListing) {
    for (unsigned seed : {11u, 12u, 13u}) {
        TempTree tree;
        Grow(tree, seed);
        std::mt19937 random(seed);
        std::vector<Text> args{u"/list",  tree.Root(), u"/depth", u"9",
                               u"/files", u"/format",  u"csv"};
        ASSERT_EQ(Run(args, *files), exitcode::Ok);
        const std::vector<Record> all = ParseCsv(console.out);
        std::vector<Text> include{u"*.LOG?", u"*,*"}, exclude{RandomText(random, u"a数据b*?", 3)};
        std::vector<std::string> expected, excludedFolders;
        for (const Record& r : all) {
            const bool below =
                std::any_of(excludedFolders.begin(), excludedFolders.end(),
                            [&](const std::string& f) { return r.at("path").starts_with(f); });
            const bool folder = r.at("type") == "folder";
            const bool kept =
                !below && ModelKeeps(include, exclude, FromUtf8(r.at("name")), folder);
            if (kept) expected.push_back(r.at("path"));
            if (!kept && folder)
                excludedFolders.push_back(r.at("path") + ToUtf8(Text(1, kSeparator)));
        }
        for (const Text& p : include) args.insert(args.end(), {u"/include", p});
        for (const Text& p : exclude) args.insert(args.end(), {u"-EXCLUDE", p});
        SCOPED_TRACE(Narrow(exclude[0]));
        ASSERT_EQ(Run(args, *files), exitcode::Ok);
        std::vector<std::string> listed;
        for (const Record& r : ParseCsv(console.out)) listed.push_back(r.at("path"));
        EXPECT_EQ(listed, expected);
    }
}

#ifdef _WIN32
// Entries as Windows marks them: each a reparse point with its tag. Only a name surrogate
// (tag bit 29) leads elsewhere; cloud files' placeholders, compressed (WOF) and deduplicated
// files, app execution aliases and tags of no known kind are plain files and folders.
struct Tagged {
    const char16_t* name;
    uint32_t tag;
    const char16_t* target = nullptr;  // a link's, in the tree; else a folder (a file: "x.y")
    bool Folder() const { return Text(name).find(u'.') == Text::npos; }
    bool Entered() const { return Folder() && (!target || Text(target) != u"listed"); }
};
const Tagged kTagged[] = {
    {u"symlink", 0xA000000C, u"listed"},  // back to the folder listed: a loop
    {u"junction", 0xA0000003, u"listed"},
    {u"mount", 0xA0000003, u"elsewhere"},  // a volume's mount point: a junction's tag
    {u"surrogate", 0xA0000099, u"listed"},
    {u"host link", 0, u"listed"},  // as Wine marks a link to a host's folder: no tag
    {u"cloud", 0x9000001A},
    {u"cloud F", 0x9000F01A},
    {u"wof", 0x80000017},
    {u"dedup", 0x80000013},
    {u"unknown", 0x80000099},
    {u"cloud.docx", 0x9000001A},
    {u"alias.exe", 0x8000001B},
};

// The system's calls over real folders, kTagged's entries marked as Windows marks them (Wine
// marks only its links to a host's folders, without a tag): in the batch (8-byte aligned
// records: attributes at 56, name length at 60, tag at 64, name at 68), the find data and
// the attribute query.
class WindowsMarks : public win32::EntryCalls {
    static const Tagged* Find(TextView name) {
        for (const Tagged& t : kTagged)
            if (t.tag != 0 && name == t.name) return &t;
        return nullptr;
    }
    static bool Mark(WIN32_FIND_DATAW& d) {
        if (const Tagged* t = Find(win32::FromW(d.cFileName)))
            d.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT, d.dwReserved0 = t->tag;
        return true;
    }
    long ReadBatch(HANDLE folder, void* batch, ULONG bytes, size_t& filled) override {
        const long status = EntryCalls::ReadBatch(folder, batch, bytes, filled);
        for (auto* r = static_cast<uint32_t*>(batch); status >= 0 && filled; r += r[0] / 4) {
            if (const Tagged* t = Find({reinterpret_cast<const char16_t*>(r + 17), r[15] / 2}))
                r[14] |= FILE_ATTRIBUTE_REPARSE_POINT, r[16] = t->tag;
            if (r[0] == 0) break;
        }
        return status;
    }
    HANDLE FindFirst(const Text& pattern, WIN32_FIND_DATAW& d) override {
        const HANDLE h = EntryCalls::FindFirst(pattern, d);
        if (h != INVALID_HANDLE_VALUE) Mark(d);
        return h;
    }
    bool FindNext(HANDLE h, WIN32_FIND_DATAW& d) override {
        return EntryCalls::FindNext(h, d) && Mark(d);
    }
    DWORD Attributes(const Text& path) override {
        const DWORD a = EntryCalls::Attributes(path);
        const bool marked =
            a != INVALID_FILE_ATTRIBUTES && Find(path.substr(path.rfind(u'\\') + 1));
        return marked ? a | FILE_ATTRIBUTE_REPARSE_POINT : a;
    }
};

// Through batches and FindFirstFileExW, the walk, its readers, the records and a query by
// path: a link is a name surrogate, not entered when it leads back and never read ahead;
// any other reparse point is listed, entered and read ahead as the folder or file it is.
TEST(ReparsePoints, OnlyNameSurrogatesAreLinksToTheWalkAndTheRecords) {
    TempTree tree;
    tree.File(u"elsewhere/inside.txt");
    tree.Folder(u"listed");
    for (const Tagged& t : kTagged) {
        const Text path = u"listed/" + Text(t.name);
        if (!t.target) tree.File(t.Folder() ? path + u"/inside.txt" : path);
        if (t.target && !tree.FolderLink(path, tree.Path(t.target))) GTEST_SKIP() << "no links";
    }
    const Text listed = tree.Path(u"listed");
    for (const bool batches : {true, false}) {
        SCOPED_TRACE(batches ? "batches" : "FindFirstFileExW");
        win32::Win32FileSystem marked(
            {.batches = batches, .calls = std::make_shared<WindowsMarks>()});
        CountingFileSystem files(marked);
        // The walk, reading a folder itself, waits until every marked folder is read, so that
        // what the readers read doesn't hang on how threads are scheduled.
        std::mutex mutex;
        std::condition_variable read;
        std::map<Text, bool> byReader;  // each folder read, and whether a reader read it
        const auto allRead = [&] {
            return std::all_of(std::begin(kTagged), std::end(kTagged), [&](const Tagged& t) {
                return t.target || !t.Folder() || byReader.contains(t.name);
            });
        };
        bool gaveUp = false;
        files.want = [&](TextView folder, bool reader) {
            std::unique_lock lock(mutex);
            byReader.emplace(folder.substr(folder.rfind(u'\\') + 1), reader);
            read.notify_all();
            if (!reader && byReader.size() > 1 && !gaveUp)  // past the folder listed
                gaveUp = !read.wait_for(lock, std::chrono::seconds(30), allRead);
            return CountingFileSystem::Want::None;
        };
        RecordedConsole console;
        ASSERT_EQ(RunCommand({u"/list", listed, u"/depth", u"3", u"/files", u"/format", u"json"},
                             files, console, {.fromStart = true}),
                  exitcode::Ok);
        helpers::WaitUntilAllEnded();
        std::map<std::string, Record> records;
        for (Record& r : ParseJsonLines(console.out)) records[r.at("path")] = std::move(r);
        int readByWalk = 0;
        for (const Tagged& t : kTagged) {
            SCOPED_TRACE(Narrow(t.name));
            const Text path = listed + u"\\" + t.name;
            EXPECT_EQ(records[ToUtf8(path)]["link"], t.target ? "true" : "false");
            EXPECT_EQ(records[ToUtf8(path)]["type"], t.Folder() ? "folder" : "file");
            EXPECT_EQ(*files.GetAttributes(path) & attr::Link, t.target ? attr::Link : 0);
            const std::string below = ToUtf8(path + u"\\");
            const auto next = records.lower_bound(below);
            EXPECT_EQ(next != records.end() && next->first.starts_with(below), t.Entered());
            EXPECT_FALSE(t.target && byReader[t.name]) << "a link read ahead";
            readByWalk += t.Entered() && !t.target && !byReader[t.name];
        }
        EXPECT_FALSE(gaveUp);
        EXPECT_LE(readByWalk, 1) << "marked folders the readers left to the walk";
    }
}
#endif

#ifndef _WIN32
// The reference: a civil date's day from 1970-01-01, year 0 being 1 BC.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + (153 * ((m + 9) % 12) + 2) / 5 + d -
           719469;
}

// tmpfs keeps any time a time_t holds. A host's file carrying one, from the least to the
// most, is listed as the date it is, in ISO 8601 (a year beyond 0000 to 9999 signed, of five
// digits at least), which the reference counts back to the same day, second and 100 ns.
TEST_F(ListRecordsTest, AnyTimeAHostsFileCarriesIsListedAsTheDateItIs) {
    static_assert(FromWindowsTicks(-1) == FileTime{-11644473601, 9999999});
    const std::filesystem::path dir = "/dev/shm/tarnwick-times-" + std::to_string(getpid());
    if (!std::filesystem::create_directory(dir)) GTEST_SKIP() << "no tmpfs at /dev/shm";
    std::vector<timespec> times{{INT64_MIN, 0}, {INT64_MAX, 0}, {-933981677286, 1}};
    std::mt19937_64 random(5);
    for (uint64_t b = random(); times.size() < 500; b = random())
        times.push_back({static_cast<int64_t>(b) >> b % 64, static_cast<long>(b % 1000000000)});
    std::map<std::string, timespec> kept;  // as the file system keeps them, by path
    for (const timespec& t : times) {
        const std::string path = (dir / std::to_string(kept.size())).string();
        std::ofstream(path).put('x');
        const timespec both[2] = {{0, UTIME_OMIT}, t};
        struct stat st {};
        EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), both, 0) | stat(path.c_str(), &st), 0);
        kept[path] = st.st_mtim;
    }
    ASSERT_EQ(Run({u"/list", FromUtf8(dir.string()), u"/files", u"/format", u"json"}, *files),
              exitcode::Ok);
    std::filesystem::remove_all(dir);
    const std::regex iso(R"(([+-]\d{5,}|\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{7})Z)");
    const std::vector<Record> records = ParseJsonLines(console.out);
    ASSERT_EQ(records.size(), kept.size());
    for (const Record& r : records) {
        const std::string& written = r.at("last_write");
        const timespec t = kept.at(r.at("path"));
        std::smatch m;
        ASSERT_TRUE(std::regex_match(written, m, iso)) << written;
        int64_t f[8], day = t.tv_sec / 86400, second = t.tv_sec % 86400;
        for (int i = 1; i < 8; ++i) f[i] = std::stoll(m[i]);
        if (second < 0) second += 86400, --day;
        const int64_t civil = DaysFromCivil(f[1], f[2], f[3]);
        EXPECT_EQ(written[0] == '+' || written[0] == '-', f[1] < 0 || f[1] > 9999) << written;
        EXPECT_TRUE(f[2] >= 1 && f[2] <= 12 && f[3] >= 1 &&
                    civil < DaysFromCivil(f[1] + f[2] / 12, f[2] % 12 + 1, 1))
            << written;
        EXPECT_EQ((std::vector{civil, f[4] * 3600 + f[5] * 60 + f[6], f[7]}),
                  (std::vector<int64_t>{day, second, t.tv_nsec / 100}))
            << written;
        EXPECT_TRUE(t.tv_sec != INT64_MIN || written == "-292277022657-01-27T08:29:52.0000000Z");
    }
}
#endif

}  // namespace
}  // namespace tarnwick::testing
