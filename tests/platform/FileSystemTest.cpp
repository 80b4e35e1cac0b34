#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/Wide.h"
#include "platform/win32/files/Win32FileSystem.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/native/PosixFileSystem.h"
#include "platform/native/Utf8.h"
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/RunTimeError.h"
#include "tests/support/TempTree.h"

namespace tarnwick::testing {
namespace {

using ::testing::UnorderedElementsAre;

std::vector<Text> Enumerate(FileSystem& fs, const Text& folder, int32_t mask) {
    std::vector<Text> names;
    for (TextView n = fs.FindFirst(folder, mask); !n.empty(); n = fs.FindNext())
        names.emplace_back(n);
    return names;
}

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.File(u"file.txt");
        tree.Folder(u"folder");
        tree.File(u".hidden");
        tree.Hide(u".hidden");
    }
    Text Folder() const { return tree.Root() + kSeparator; }

    TempTree tree;
    std::unique_ptr<FileSystem> fs = MakeFileSystem();
};

TEST_F(FileSystemTest, MaskSixteenGivesPlainFilesAndFoldersButNoHiddenEntry) {
    EXPECT_THAT(Enumerate(*fs, Folder(), 16),
                UnorderedElementsAre(u".", u"..", u"file.txt", u"folder"));
}

TEST_F(FileSystemTest, MaskEighteenGivesHiddenEntriesToo) {
    EXPECT_THAT(Enumerate(*fs, Folder(), 18),
                UnorderedElementsAre(u".", u"..", u"file.txt", u"folder", u".hidden"));
}

TEST_F(FileSystemTest, MaskWithoutTheFolderBitGivesNoFolder) {
    EXPECT_THAT(Enumerate(*fs, Folder(), 0),
                UnorderedElementsAre(u"file.txt"));  // "." and ".." are folders
}

// ... and says why, in the system's words; a folder read to its end has no failure.
TEST_F(FileSystemTest, AnEnumerationThatCannotStartGivesNothing) {
    EXPECT_TRUE(fs->FindFirst(tree.Path(u"missing") + kSeparator, 16).empty());
    EXPECT_TRUE(fs->FindNext().empty());
    EXPECT_FALSE(fs->FolderFailure().empty());
    Enumerate(*fs, Folder(), 16);
    EXPECT_EQ(fs->FolderFailure(), u"");
}

TEST_F(FileSystemTest, StartingAnEnumerationAbandonsTheOneInProgress) {
    tree.File(u"folder/only.txt");
    ASSERT_FALSE(fs->FindFirst(Folder(), 16).empty());
    std::vector<Text> inner;
    for (TextView n = fs->FindFirst(tree.Path(u"folder") + kSeparator, 16); !n.empty();
         n = fs->FindNext())
        inner.emplace_back(n);
    EXPECT_THAT(inner, UnorderedElementsAre(u".", u"..", u"only.txt"));
    EXPECT_TRUE(fs->FindNext().empty());
}

TEST_F(FileSystemTest, AttributesFromTheEnumerationMatchAFreshQuery) {
    auto other = MakeFileSystem();
    for (TextView n = fs->FindFirst(Folder(), 18); !n.empty(); n = fs->FindNext()) {
        if (n == u"." || n == u"..") continue;
        const Text path = Folder() + Text(n);
        const auto fromEnumeration = fs->GetAttributes(path);
        ASSERT_TRUE(fromEnumeration.has_value());
        EXPECT_EQ(fromEnumeration, other->GetAttributes(path)) << Narrow(n);
        EXPECT_EQ(fs->EnumeratedAttributes(), fromEnumeration);
        EXPECT_EQ((*fromEnumeration & attr::Folder) != 0, n == u"folder");
        EXPECT_EQ((*fromEnumeration & attr::Hidden) != 0, n == u".hidden");
    }
}

TEST_F(FileSystemTest, AttributeQueryFailsForAMissingEntry) {
    EXPECT_FALSE(fs->GetAttributes(tree.Path(u"missing")).has_value());
    EXPECT_FALSE(fs->Identity(tree.Path(u"missing")).has_value());
}

TEST_F(FileSystemTest, IdentityFollowsLinks) {
    if (!tree.FolderLink(u"link", u"folder")) GTEST_SKIP() << "folder links cannot be made here";
    const auto viaLink = fs->Identity(tree.Path(u"link"));
    ASSERT_TRUE(viaLink.has_value());
    EXPECT_EQ(viaLink, fs->Identity(tree.Path(u"folder")));
    EXPECT_NE(viaLink, fs->Identity(tree.Root()));
    const auto a = fs->GetAttributes(tree.Path(u"link"));
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(*a & attr::Link);
    EXPECT_TRUE(*a & attr::Folder);
}

// The enumeration against a plain reference built on the platform's own calls, over a
// generated folder, for every mask.
struct Listed {
    Text name;
    std::optional<uint32_t> attributes;
    friend bool operator==(const Listed&, const Listed&) = default;
};
using Listing = std::vector<Listed>;

// Each of the filtering bits alone and together, and bits that filter nothing.
constexpr int32_t kMasks[] = {0, 2, 4, 6, 16, 18, 20, 22, 0x3F};

// What `fs` gives, with the attributes it enumerated; a query of the entry just given
// answers the same.
Listing Enumerated(FileSystem& fs, const Text& folder, int32_t mask,
                   const FileSystem::Waiting& waiting) {
    Listing out;
    for (TextView n = fs.FindFirst(folder, mask, waiting); !n.empty(); n = fs.FindNext()) {
        out.push_back({Text(n), fs.EnumeratedAttributes()});
        if (IsDotOrDotDot(n)) continue;
        EXPECT_EQ(fs.GetAttributes(folder + Text(n)), out.back().attributes) << Narrow(n);
    }
    return out;
}

// The entries of a folder's reference listing that `mask` admits.
Listing Admitted(const Listing& all, int32_t mask, bool driveRoot) {
    constexpr uint32_t kFiltered = attr::Hidden | attr::System | attr::Folder;
    Listing out;
    for (const Listed& e : all) {
        if (driveRoot && IsDotOrDotDot(e.name)) continue;
        if (e.attributes && (*e.attributes & kFiltered & ~static_cast<uint32_t>(mask))) continue;
        out.push_back(e);
    }
    return out;
}

std::string Describe(const Listed& e) {
    return Narrow(e.name) + (e.attributes ? " " + std::to_string(*e.attributes) : " -");
}

void ExpectSameListing(const Listing& got, const Listing& want) {
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        if (got[i] == want[i]) continue;
        ADD_FAILURE() << "entry " << i << ": " << Describe(got[i]) << " instead of "
                      << Describe(want[i]);
        return;
    }
    EXPECT_EQ(got.size(), want.size());
}

// Bytes of `name` in UTF-8, which a POSIX name holds at most 255 of.
size_t Utf8Bytes(TextView name) {
    size_t bytes = 0;
    for (const char16_t c : name)
        bytes += c < 0x80 ? 1 : c < 0x800 || (c >= 0xD800 && c < 0xE000) ? 2 : 3;
    return bytes;
}

// Generated names: letters, digits, blanks, dots, accents, Chinese, a character beyond the
// first plane, and what only the platform's own names may hold; some end in a dot or a
// blank. Unique however their case is folded.
class NameMaker {
  public:
    explicit NameMaker(uint32_t seed) : rng_(seed) {}
    Text Next(TextView extras) {
        static const TextView kPieces[] = {u"a",      u"q",          u"Z",
                                           u"0",      u"7",          u" ",
                                           u"-",      u"_",          u".",
                                           u"\u00e9", u"\u00df",     u"\u4e2d\u6587",
                                           u"\u03a9", u"\U0001F600", u"part of a name "};
        for (;;) {
            Text name;
            const size_t length = 40 + rng_() % 40;
            while (name.size() < length) {
                const size_t pick = rng_() % (std::size(kPieces) + extras.size());
                if (pick < std::size(kPieces)) {
                    name += kPieces[pick];
                } else {
                    name += extras[pick - std::size(kPieces)];
                }
            }
            if (rng_() % 8 == 0) name += rng_() % 2 ? u"." : u" ";
            Text folded = name;
            for (char16_t& c : folded) c = c < 0x80 ? static_cast<char16_t>(std::tolower(c)) : c;
            if (Utf8Bytes(name) <= 250 && seen_.insert(folded).second) return name;
        }
    }
    uint32_t Pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

  private:
    std::mt19937 rng_;
    std::set<Text> seen_;
};

// Folders whose entries fill the default 64 KB batch more than three times over.
constexpr int kManyEntries = 1100;
constexpr size_t kDefaultBatch = 64 * 1024;

#ifdef _WIN32

using win32::Win32FileSystem;

std::wstring Wide(TextView t) {
    return std::wstring(t.begin(), t.end());
}

// Made under exactly the name given (a final dot or blank kept), hidden or system as asked.
void MakeEntry(const std::wstring& literal, bool folder, DWORD marks) {
    if (folder) {
        ASSERT_TRUE(CreateDirectoryW(literal.c_str(), nullptr));
    } else {
        const HANDLE h =
            CreateFileW(literal.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    if (marks) {
        const DWORD a = GetFileAttributesW(literal.c_str());
        ASSERT_TRUE(SetFileAttributesW(literal.c_str(), (a & ~FILE_ATTRIBUTE_NORMAL) | marks));
    }
}

// `count` generated entries in the folder `literal` (ending in a backslash): a quarter are
// folders, and one in three is hidden, system or both.
void MakeGenerated(NameMaker& names, const std::wstring& literal, int count) {
    static const DWORD kMarks[] = {0,
                                   0,
                                   0,
                                   FILE_ATTRIBUTE_HIDDEN,
                                   FILE_ATTRIBUTE_SYSTEM,
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
    for (int i = 0; i < count; ++i)
        MakeEntry(literal + Wide(names.Next({})), names.Pick(4) == 0,
                  kMarks[names.Pick(std::size(kMarks))]);
}

// Each entry's name, size and last-write time ("." and ".." aside).
using Details = std::vector<std::tuple<Text, uint64_t, FileTime>>;

// FindFirstFileExW as the program called it before it read folders in batches, every
// entry with its attributes.
Listing Reference(const Text& pattern, Details* details = nullptr) {
    Listing all;
    WIN32_FIND_DATAW d;
    const HANDLE h = FindFirstFileExW(Wide(pattern).c_str(), FindExInfoBasic, &d,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return all;
    do {
        all.push_back({Text(win32::FromW(d.cFileName)), d.dwFileAttributes});
        const auto wide = [](DWORD high, DWORD low) { return uint64_t{high} << 32 | low; };
        if (details && !IsDotOrDotDot(all.back().name))
            details->emplace_back(
                all.back().name, wide(d.nFileSizeHigh, d.nFileSizeLow),
                FromWindowsTicks(static_cast<int64_t>(
                    wide(d.ftLastWriteTime.dwHighDateTime, d.ftLastWriteTime.dwLowDateTime))));
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return all;
}

// Each entry's name, size and last-write time: as FindFirstFileExW gives them, and as `fs`
// gives them with the entry.
Details ReferenceDetails(const Text& pattern) {
    Details all;
    Reference(pattern, &all);
    return all;
}
Details EnumeratedDetails(FileSystem& fs, const Text& folder) {
    Details all;
    for (TextView n = fs.FindFirst(folder, 0x3F); !n.empty(); n = fs.FindNext()) {
        const std::optional<EntryDetails> d = fs.EnumeratedDetails();
        if (IsDotOrDotDot(n) || !d) continue;
        EXPECT_EQ(d->attributes, fs.EnumeratedAttributes()) << Narrow(n);
        all.emplace_back(Text(n), d->size, d->lastWrite);
    }
    return all;
}

struct Folder {
    Text path;     // as handed to the file system
    Text pattern;  // as the reference reads it
    bool driveRoot;
};

// The bytes the batch call takes for a folder's entries.
size_t BatchBytes(const Listing& all) {
    size_t bytes = 0;
    for (const Listed& e : all) bytes += (68 + e.name.size() * 2 + 7) / 8 * 8;
    return bytes;
}

TEST(FolderEnumeration, GivesWhatFindFirstFileGivesForEveryMask) {
    TempTree tree;
    NameMaker names(12);
    const Text root = tree.Root() + u"\\";
    const std::wstring literalRoot = L"\\\\?\\" + Wide(root);
    MakeEntry(literalRoot + L"gen", true, 0);
    MakeGenerated(names, literalRoot + L"gen\\", kManyEntries);
    // Sub-folders whose names the usual path rules would change, beside their namesakes.
    for (const wchar_t* sub : {L"dots.", L"dots", L"blank ", L"blank"}) {
        MakeEntry(literalRoot + L"gen\\" + sub, true, 0);
        MakeGenerated(names, literalRoot + L"gen\\" + sub + L"\\", 5);
    }
    Text deep = root;  // beyond the classic path limit
    for (int i = 0; i < 5; ++i) {
        deep += Text(55, static_cast<char16_t>(u'k' + i)) + u"\\";
        MakeEntry(L"\\\\?\\" + Wide(deep), true, 0);
    }
    MakeGenerated(names, L"\\\\?\\" + Wide(deep), 40);
    ASSERT_GT(deep.size(), 300u);

    const Text drive = root.substr(0, 3);
    Text up = root;  // the drive's root again, reached through ".."
    for (size_t i = 3; i < root.size(); ++i)
        if (root[i] == u'\\') up += u"..\\";
    std::vector<Folder> folders = {
        {root + u"gen\\", root + u"gen\\*", false},
        {u"\\\\?\\" + root + u"gen\\", u"\\\\?\\" + root + u"gen\\*", false},
        {deep, u"\\\\?\\" + deep + u"*", false},
        {u"\\\\?\\" + deep, u"\\\\?\\" + deep + u"*", false},
        {drive, drive + u"*", true},
        {u"\\\\?\\" + drive, u"\\\\?\\" + drive + u"*", true},
        {up, up + u"*", true},
    };
    for (const TextView sub : {u"dots.", u"blank "}) {
        folders.push_back(
            {root + u"gen\\" + Text(sub) + u"\\", root + u"gen\\" + Text(sub) + u"\\*", false});
        folders.push_back({u"\\\\?\\" + root + u"gen\\" + Text(sub) + u"\\",
                           u"\\\\?\\" + root + u"gen\\" + Text(sub) + u"\\*", false});
    }
    ASSERT_GT(BatchBytes(Reference(folders[0].pattern)), 3 * kDefaultBatch);

    int waits = 0;
    const FileSystem::Waiting keepWaiting = [&] { return ++waits, false; };
    struct Variant {
        const char* name;
        win32::FolderReader::Options options;
        FileSystem::Waiting waiting;
    } const variants[] = {
        {"64 KB batches", {}, {}},
        {"1 KB batches, opened on the worker", {.batchBytes = 1024}, keepWaiting},
        {"FindFirstFileExW", {.batches = false}, keepWaiting},
    };
    for (const Variant& v : variants) {
        Win32FileSystem fs(v.options);
        for (const Folder& f : folders) {
            const Listing all = Reference(f.pattern);
            ASSERT_FALSE(all.empty()) << Narrow(f.pattern);
            for (const int32_t mask : kMasks) {
                SCOPED_TRACE(std::string(v.name) + ", " + Narrow(f.path) + ", mask " +
                             std::to_string(mask));
                const Listing got = Enumerated(fs, f.path, mask, v.waiting);
                ExpectSameListing(got, Admitted(all, mask, f.driveRoot));
                if (f.driveRoot) {
                    for (const Listed& e : got) EXPECT_FALSE(IsDotOrDotDot(e.name));
                }
            }
            if (!f.driveRoot) {
                EXPECT_EQ(EnumeratedDetails(fs, f.path), ReferenceDetails(f.pattern));
            }
        }
    }
}

#else

// `count` generated entries in the open folder `dir`: files, folders, links to either,
// links that lead nowhere; a name beginning with a dot is hidden.
void MakeGenerated(NameMaker& names, int dir, int count) {
    const Text extras = u"\n\r|:*?\\\"<>";
    for (int i = 0; i < count; ++i) {
        Text name = names.Next(extras);
        if (names.Pick(6) == 0) name.insert(0, u".");
        const std::string bytes = native::ToBytes(name);
        switch (names.Pick(6)) {
            case 0:
            case 1:
                ASSERT_EQ(mkdirat(dir, bytes.c_str(), 0755), 0);
                break;
            case 2:
                ASSERT_EQ(symlinkat(".", dir, bytes.c_str()), 0);
                break;
            case 3:
                ASSERT_EQ(symlinkat("missing", dir, bytes.c_str()), 0);
                break;
            case 4:
                ASSERT_EQ(symlinkat("/etc/hostname", dir, bytes.c_str()), 0);
                break;
            default:
                close(openat(dir, bytes.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
    }
}

// Opens a folder of any length one name at a time.
int OpenFolder(const std::string& path) {
    int dir = open("/", O_DIRECTORY | O_RDONLY | O_CLOEXEC);
    for (size_t from = 1; dir != -1 && from < path.size();) {
        const size_t slash = path.find('/', from);
        const std::string name = path.substr(from, slash - from);
        from = slash == std::string::npos ? path.size() : slash + 1;
        if (name.empty()) continue;
        const int next = openat(dir, name.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
        close(dir);
        dir = next;
    }
    return dir;
}

// opendir and readdir, and lstat of every entry (stat too for a link): hidden is a leading
// dot, a link has the link bit, and the folder bit where it leads to a folder.
Listing Reference(const Text& folder) {
    Listing all;
    const int fd = OpenFolder(native::ToBytes(folder));
    DIR* d = fd == -1 ? nullptr : fdopendir(fd);
    if (!d) return all;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        struct stat st, target;
        std::optional<uint32_t> a;
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            const bool link = S_ISLNK(st.st_mode);
            const bool isFolder =
                link ? fstatat(fd, e->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode)
                     : S_ISDIR(st.st_mode);
            const bool hidden = name[0] == '.' && name != "." && name != "..";
            a = (link ? attr::Link : 0) | (isFolder ? attr::Folder : 0) |
                (hidden ? attr::Hidden : 0);
        }
        Text shown;
        native::AppendUtf16(name, shown);
        all.push_back({shown, a});
    }
    closedir(d);
    return all;
}

TEST(FolderEnumeration, GivesWhatReaddirAndLstatGiveForEveryMask) {
    TempTree tree;
    NameMaker names(12);
    const Text root = tree.Root() + u"/";
    tree.Folder(u"gen");
    int dir = OpenFolder(native::ToBytes(root + u"gen"));
    MakeGenerated(names, dir, kManyEntries);
    close(dir);
    Text deep = root;  // beyond the longest path one call takes
    dir = OpenFolder(native::ToBytes(root));
    for (int i = 0; i < 18; ++i) {
        const std::string name(250, static_cast<char>('k' + i));
        ASSERT_EQ(mkdirat(dir, name.c_str(), 0755), 0);
        const int next = openat(dir, name.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
        close(dir);
        dir = next;
        deep += Text(name.begin(), name.end()) + u"/";
    }
    MakeGenerated(names, dir, 40);
    close(dir);
    ASSERT_GT(deep.size(), size_t{PATH_MAX});

    const struct {
        Text path;
        bool root;
    } folders[] = {{root + u"gen/", false}, {deep, false}, {u"/", true}};
    const struct {
        const char* name;
        native::PosixFileSystem::Options options;
    } variants[] = {{"types from the entries", {}}, {"types from stat", {.entryTypes = false}}};
    for (const auto& v : variants) {
        native::PosixFileSystem fs(v.options);
        for (const auto& f : folders) {
            const Listing all = Reference(f.path);
            ASSERT_FALSE(all.empty()) << Narrow(f.path);
            for (const int32_t mask : kMasks) {
                SCOPED_TRACE(std::string(v.name) + ", " + Narrow(f.path.substr(0, 80)) + ", mask " +
                             std::to_string(mask));
                ExpectSameListing(Enumerated(fs, f.path, mask, {}), Admitted(all, mask, f.root));
            }
        }
    }
}

#endif

class WriteReplacingTest : public FileSystemTest {
  protected:
    std::string Read(TextView relative) {
        std::ifstream in(tree.FsPath(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<Text> Names() {
        std::vector<Text> names = Enumerate(*fs, Folder(), 18);
        std::erase_if(names, [](const Text& n) { return IsDotOrDotDot(n); });
        return names;
    }
};

TEST_F(WriteReplacingTest, PiecesMakeTheFileAndARestartDropsWhatCameBefore) {
    fs->WriteReplacing(tree.Path(u"file.txt"), [](FileWriter& f) {
        f.Write("first ");
        f.Write("draft");
        f.Restart();
        f.Write("final");
        f.Write(std::string(3 << 20, 'x'));
    });
    EXPECT_EQ(Read(u"file.txt"), "final" + std::string(3 << 20, 'x'));
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden"));
}

// A writer that gives up half-way (a conversion that runs out of memory, say) must leave
// the old file whole and nothing beside it.
TEST_F(WriteReplacingTest, AFailureHalfWayLeavesTheOldFileAndNothingBesideIt) {
    std::ofstream(tree.FsPath(u"file.txt"), std::ios::binary) << "old listing";
    EXPECT_THROW(fs->WriteReplacing(tree.Path(u"file.txt"),
                                    [](FileWriter& f) {
                                        f.Write("half of the new");
                                        throw MakeError(error::OutOfMemory);
                                    }),
                 RunTimeError);
    EXPECT_EQ(Read(u"file.txt"), "old listing");
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden"));
}

// The longest names the file system takes: the file made beside them while the new one is
// written must fit too.
TEST_F(WriteReplacingTest, NamesAtTheLengthLimitAreSavedAndReplaced) {
    const Text names[] = {Text(251, u'n') + u".txt", Text(255, u'm')};
    for (const Text& name : names) {
        for (const char* listing : {"new", "replaced"}) {
            SCOPED_TRACE(listing);
            fs->WriteReplacing(tree.Path(name), [&](FileWriter& f) { f.Write(listing); });
            EXPECT_EQ(Read(name), listing);
        }
    }
    EXPECT_THAT(Names(),
                UnorderedElementsAre(u"file.txt", u"folder", u".hidden", names[0], names[1]));
}

#ifdef _WIN32

// Replacing keeps what the user set on the old file: here its hidden and system marks.
// (Its creation time is kept too on Windows; Wine cannot set one.)
TEST_F(WriteReplacingTest, ReplacingKeepsTheFilesAttributes) {
    tree.File(u"kept.txt");
    tree.Hide(u"kept.txt");
    tree.MarkSystem(u"kept.txt");
    fs->WriteReplacing(tree.Path(u"kept.txt"), [](FileWriter& f) { f.Write("new"); });
    EXPECT_EQ(Read(u"kept.txt"), "new");
    const DWORD a = GetFileAttributesW(tree.FsPath(u"kept.txt").c_str());
    EXPECT_EQ(a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    const auto entries = std::distance(std::filesystem::directory_iterator(tree.FsPath(u"")),
                                       std::filesystem::directory_iterator{});
    EXPECT_EQ(entries, 4);  // nothing left beside it
}

#else

mode_t ModeOf(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(stat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// Replacing keeps what the user set on the old file: its mode; a new file gets the mode the
// umask gives.
TEST_F(WriteReplacingTest, ReplacingKeepsTheModeAndANewFileFollowsTheUmask) {
    for (const mode_t mode : {0600, 0640, 0664, 0604}) {
        SCOPED_TRACE(mode);
        std::ofstream(tree.FsPath(u"kept.txt")) << "old";
        ASSERT_EQ(chmod(tree.FsPath(u"kept.txt").c_str(), mode), 0);
        fs->WriteReplacing(tree.Path(u"kept.txt"), [&](FileWriter& f) {
            f.Write("new");
            // While it is written, nobody but its owner can read the new listing.
            int temps = 0;
            for (const auto& e : std::filesystem::directory_iterator(tree.FsPath(u""))) {
                if (!e.path().filename().string().starts_with(".~tw")) continue;
                ++temps;
                EXPECT_EQ(ModeOf(e.path()) & 077, 0u);
            }
            EXPECT_EQ(temps, 1);
        });
        EXPECT_EQ(Read(u"kept.txt"), "new");
        EXPECT_EQ(ModeOf(tree.FsPath(u"kept.txt")), mode);
    }
    for (const mode_t mask : {022, 077}) {
        SCOPED_TRACE(mask);
        const mode_t previous = umask(mask);
        std::filesystem::remove(tree.FsPath(u"new.txt"));
        fs->WriteReplacing(tree.Path(u"new.txt"), [](FileWriter& f) { f.Write("x"); });
        umask(previous);
        EXPECT_EQ(ModeOf(tree.FsPath(u"new.txt")), 0666 & ~mask);
    }
}

// A file the user may not write, though its owner may (root's, saved by nobody in a folder
// anyone may write), is refused with the error of a read-only one, and left whole.
TEST_F(WriteReplacingTest, AnotherUsersFileIsRefusedAsAReadOnlyOneIs) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user";
    std::filesystem::permissions(tree.FsPath(u""), std::filesystem::perms::all);
    if (fork() == 0) {  // the save, as nobody
        try {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
            fs->WriteReplacing(tree.Path(u"file.txt"), [](FileWriter& f) { f.Write("new"); });
        } catch (const RunTimeError& e) {
            _exit(e.number);
        }
        _exit(0);
    }
    int status = 0;
    wait(&status);
    EXPECT_EQ(WEXITSTATUS(status), error::PathFileAccess);
    EXPECT_EQ(Read(u"file.txt"), "x");
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden"));
}

// What is not a file is never renamed over: a pipe and a character device take the listing
// in place, as a console does; a pipe nobody reads or whose reader goes away (a failed
// write, not SIGPIPE), a disk and a socket are refused. Each stays what it was.
TEST_F(WriteReplacingTest, WhatIsNoFileIsWrittenInPlaceOrRefused) {
    enum Reader { None, Reads, Leaves };
    const std::tuple<const char16_t*, mode_t, dev_t, Reader, bool> cases[] = {
        {u"pipe", S_IFIFO, 0, Reads, true},
        {u"unread", S_IFIFO, 0, None, false},
        {u"left", S_IFIFO, 0, Leaves, false},
        {u"null", S_IFCHR, makedev(1, 3), None, true},
        {u"disk", S_IFBLK, makedev(7, 255), None, false},
        {u"socket", S_IFSOCK, 0, None, false}};
    for (const auto& [name, type, device, reader, written] : cases) {
        SCOPED_TRACE(Narrow(name));
        const std::string path = tree.FsPath(name);
        ASSERT_EQ(mknod(path.c_str(), type | 0600, device), 0);
        const int end = reader == None ? -1 : open(path.c_str(), O_RDONLY | O_NONBLOCK);
        const auto listing = [&](FileWriter& f) {
            f.Write("listing");
            if (reader == Leaves) close(end);
        };
        if (written)
            EXPECT_NO_THROW(fs->WriteReplacing(tree.Path(name), listing));
        else
            EXPECT_THROW(fs->WriteReplacing(tree.Path(name), listing), RunTimeError);
        if (reader == Reads) {  // all in the pipe's buffer, so no thread need read as it comes
            char got[16] = {};
            EXPECT_EQ(read(end, got, sizeof got), 7);
            EXPECT_STREQ(got, "listing");
            close(end);
        }
        struct stat st {};
        EXPECT_TRUE(lstat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type &&
                    st.st_rdev == device);
    }
}

#endif

// Saving onto a symbolic link writes the file it names, through a chain of links and a
// relative one; the links stay links, so that the file's next change shows through them.
TEST_F(WriteReplacingTest, ALinkIsWrittenThroughAndStaysALink) {
    tree.Folder(u"folder/deeper");
    std::ofstream(tree.FsPath(u"folder/deeper/real.txt")) << "old";
    ASSERT_TRUE(tree.FileLink(u"folder/inner", u"deeper/real.txt"));
    ASSERT_TRUE(tree.FileLink(u"outer", tree.Path(u"folder/inner")));
    fs->WriteReplacing(tree.Path(u"outer"), [](FileWriter& f) { f.Write("new"); });
    EXPECT_EQ(Read(u"folder/deeper/real.txt"), "new");
    std::ofstream(tree.FsPath(u"folder/deeper/real.txt")) << "changed";
    EXPECT_EQ(Read(u"outer"), "changed");
    EXPECT_EQ(Read(u"folder/inner"), "changed");
    EXPECT_THAT(Names(), UnorderedElementsAre(u"file.txt", u"folder", u".hidden", u"outer"));
}

}  // namespace
}  // namespace tarnwick::testing
