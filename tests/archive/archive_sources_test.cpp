// Adding sources to the archive and the outcome report, on trees the tests
// make, with the writer's archives checked entry by entry and the reports
// byte for byte.

#include "archive/archive_sources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_check.h"
#include "archive/outcome_report.h"
#include "common/scratch_folder.h"
#include "settings/registry_sandbox.h"

namespace {

using testing_support::CompareEntries;
using testing_support::EntryNameOf;
using testing_support::ExpectedEntry;
using testing_support::KeepForOracle;
using testing_support::ListArchive;
using testing_support::MakeFolders;
using testing_support::ReadWholeFile;
using testing_support::RegistrySandbox;
using testing_support::RemoveTree;
using testing_support::ScratchFolder;
using testing_support::WriteWholeFile;
using testing_support::ZipListingEntry;

std::vector<std::string> LinesOf(const ReportLines& lines) {
    std::vector<std::string> texts;
    for (const WideText& line : lines) {
        texts.push_back(line.Narrow());
    }
    return texts;
}

class ArchiveSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        install_ = scratch_ / "Install";
        sources_ = scratch_ / "Sources";
        MakeFolders(install_);
        MakeFolders(sources_);
        RegistrySandbox::WriteText("Directory", install_);
    }

    void TearDown() override {
        if (holder_.handle != nullptr) {
            ZipArchive::Close(holder_.handle);
        }
    }

    std::string ArchiveFile() const { return install_ + "\\VelmarisErrorArchive.zip"; }
    std::string ReportFile() const { return install_ + "\\ZipFailureFile.txt"; }

    // Makes a file below the sources folder with its own path as content
    // (unless given), and remembers it for the expected entries.
    std::string File(const std::string& relative, const std::string& content = "") {
        const std::string path = sources_ + "\\" + relative;
        MakeFolders(path.substr(0, path.find_last_of('\\')));
        EXPECT_TRUE(WriteWholeFile(path, content.empty() ? path : content));
        return path;
    }

    ExpectedEntry Entry(const std::string& path) {
        return {EntryNameOf(path), ReadWholeFile(path)};
    }

    void Add(const std::string& source) { AddSourceToArchive(holder_, source.c_str(), lines_); }

    // Writes the report, closes the archive and checks it against
    // `expected` plus the report as the last entry; returns the report.
    std::string Finish(std::vector<ExpectedEntry> expected, const std::string& label = "") {
        WriteReport(holder_, lines_);
        ZipArchive::Close(holder_.handle);
        holder_.handle = nullptr;
        const std::string report = ReadWholeFile(ReportFile());
        expected.push_back({EntryNameOf(ReportFile()), report});
        bool valid = false;
        const std::vector<ZipListingEntry> entries = ListArchive(ArchiveFile(), &valid);
        EXPECT_TRUE(valid) << "no valid archive at " << ArchiveFile();
        EXPECT_EQ(CompareEntries(entries, expected), "");
        if (!entries.empty()) {
            EXPECT_EQ(entries.back().name, EntryNameOf(ReportFile()));
            EXPECT_EQ(entries.back().crc, testing_support::Crc32(report));
        }
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        KeepForOracle(ArchiveFile(),
                      std::string(test->test_suite_name()) + "." + test->name() + label, entries);
        return report;
    }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{"sources"};
    std::string install_;
    std::string sources_;
    ArchiveHolder holder_;
    ReportLines lines_;
};

TEST_F(ArchiveSourcesTest, SingleFile) {
    const std::string file = File("one.txt");
    Add(file);
    EXPECT_EQ(LinesOf(lines_), std::vector<std::string>{"Success   :- " + file});
    EXPECT_EQ(Finish({Entry(file)}), "Success   :- " + file + "\r\n");
}

TEST_F(ArchiveSourcesTest, FoldersAreWalkedDepthFirstWithoutLinesOfTheirOwn) {
    const std::vector<std::string> files = {File("top.txt"), File("d1\\b.txt"),
                                            File("d1\\d2\\c.txt"), File("d1\\d2\\c2.acq"),
                                            File("d3\\e.txt")};
    MakeFolders(sources_ + "\\empty\\emptier");
    Add(sources_);
    const std::vector<std::string> lines = LinesOf(lines_);
    ASSERT_EQ(lines.size(), files.size());
    std::vector<std::string> expectedLines;
    std::vector<ExpectedEntry> expected;
    for (const std::string& file : files) {
        expectedLines.push_back("Success   :- " + file);
        expected.push_back(Entry(file));
    }
    EXPECT_TRUE(std::is_permutation(lines.begin(), lines.end(), expectedLines.begin()));
    // Depth-first: the files below d1 and below d1\d2 each follow each other.
    auto position = [&](const std::string& file) {
        return std::find(lines.begin(), lines.end(), "Success   :- " + file) - lines.begin();
    };
    const auto c = position(files[2]);
    const auto c2 = position(files[3]);
    const auto b = position(files[1]);
    EXPECT_EQ(std::abs(c - c2), 1);
    EXPECT_TRUE(b == (c < c2 ? c : c2) - 1 || b == (c < c2 ? c2 : c) + 1);

    std::string report;
    for (const std::string& line : lines) {
        report += line + "\r\n";
    }
    EXPECT_EQ(Finish(expected), report);
}

TEST_F(ArchiveSourcesTest, RelativeAndSlashedSourcesReportTheirFullForm) {
    const std::string file = File("rel\\a.txt");
    const std::string other = File("rel\\b.txt");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(sources_.c_str()));
    Add("rel\\a.txt");
    Add("rel\\missing.txt");
    SetCurrentDirectoryA(previous);
    std::string slashed = other;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    Add(slashed);
    std::string slashedMissing = sources_ + "/rel/missing.txt";
    std::replace(slashedMissing.begin(), slashedMissing.end(), '\\', '/');
    Add(slashedMissing);
    const std::vector<std::string> expected = {
        "Success   :- " + file, "Not Found :- rel\\missing.txt", "Success   :- " + other,
        "Not Found :- " + slashedMissing};
    EXPECT_EQ(LinesOf(lines_), expected);
    EXPECT_EQ(Finish({Entry(file), Entry(other)}), expected[0] + "\r\n" + expected[1] + "\r\n" +
                                                       expected[2] + "\r\n" + expected[3] + "\r\n");
}

TEST_F(ArchiveSourcesTest, MissingRootAndSeparatorEndedSourcesAreNotFound) {
    const std::string file = File("kept.txt");
    const std::vector<std::string> sources = {sources_ + "\\nothing.txt", "C:\\", sources_ + "\\",
                                              sources_ + "/",
                                              sources_ + "\\" + std::string(250, 'x')};
    for (const std::string& source : sources) {
        Add(source);
    }
    Add(file);
    std::vector<std::string> expected;
    for (const std::string& source : sources) {
        expected.push_back("Not Found :- " + source);
    }
    expected.push_back("Success   :- " + file);
    EXPECT_EQ(LinesOf(lines_), expected);
    Finish({Entry(file)});
}

TEST_F(ArchiveSourcesTest, OverlappingSourcesMakeTwoEntriesAndOneLine) {
    const std::string shared = File("outer\\inner\\shared.txt");
    const std::string own = File("outer\\own.txt");
    Add(sources_ + "\\outer");
    Add(sources_ + "\\outer\\inner");
    Add(shared);
    const std::vector<std::string> lines = LinesOf(lines_);
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Success   :- " + shared), 1);
    Finish({Entry(shared), Entry(shared), Entry(shared), Entry(own)});
}

TEST_F(ArchiveSourcesTest, InstallationDirectoryWalkedWhileItsArchiveIsWritten) {
    const std::string file = File("first.txt");
    ASSERT_TRUE(WriteWholeFile(ReportFile(), "Success   :- old run\r\n"));
    Add(file);
    Add(install_);
    const std::vector<std::string> expected = {
        "Success   :- " + file, "Failed    :- " + ArchiveFile(), "Success   :- " + ReportFile()};
    std::vector<std::string> lines = LinesOf(lines_);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], expected[0]);
    EXPECT_TRUE(std::is_permutation(lines.begin() + 1, lines.end(), expected.begin() + 1));
    // The old report is an ordinary entry; the new one comes again at the end.
    const std::string report =
        Finish({Entry(file), {EntryNameOf(ReportFile()), "Success   :- old run\r\n"}});
    EXPECT_EQ(report, lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
}

TEST_F(ArchiveSourcesTest, FileHeldOpenWithoutSharingFails) {
    const std::string held = File("held.txt");
    const std::string free = File("free.txt");
    HANDLE lock = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Add(held);
    Add(free);
    CloseHandle(lock);
    EXPECT_EQ(LinesOf(lines_),
              (std::vector<std::string>{"Failed    :- " + held, "Success   :- " + free}));
    Finish({Entry(free)});
}

TEST_F(ArchiveSourcesTest, UncreatableArchiveFailsEveryFileAndIsRetried) {
    const std::string a = File("a.txt");
    const std::string b = File("b.txt");
    const std::string c = File("c.txt");
    // A folder where the archive should go: creation fails until it goes.
    MakeFolders(ArchiveFile());
    Add(a);
    Add(b);
    EXPECT_EQ(holder_.handle, nullptr);
    RemoveTree(ArchiveFile());
    Add(c);
    EXPECT_EQ(LinesOf(lines_), (std::vector<std::string>{"Failed    :- " + a, "Failed    :- " + b,
                                                         "Success   :- " + c}));
    Finish({Entry(c)});
}

TEST_F(ArchiveSourcesTest, MissingInstallationDirectoryLeavesNoArchive) {
    if (GetFileAttributesA("C:\\Velmaris") != INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "the default installation directory exists on this machine";
    }
    // The stored directory vanishes, so the default, which is missing too,
    // is where the archive would go.
    const std::string file = File("a.txt");
    RemoveTree(install_);
    Add(file);
    Add(file);
    WriteReport(holder_, lines_);
    EXPECT_EQ(holder_.handle, nullptr);
    EXPECT_EQ(LinesOf(lines_), std::vector<std::string>{"Failed    :- " + file});
    EXPECT_EQ(GetFileAttributesA("C:\\Velmaris\\VelmarisErrorArchive.zip"),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(ArchiveFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ArchiveSourcesTest, EmptyReportIsStillAdded) {
    EXPECT_EQ(Finish({}), "");
    bool exists = false;
    ReadWholeFile(ReportFile(), &exists);
    EXPECT_TRUE(exists);
}

TEST_F(ArchiveSourcesTest, AddFileToArchiveRefusesBadArgumentsWithoutCreating) {
    const std::string file = File("a.txt");
    const std::string archive = ArchiveFile();
    EXPECT_FALSE(AddFileToArchive(holder_, nullptr, file.c_str(), ZipDataKind::FileName));
    EXPECT_FALSE(AddFileToArchive(holder_, "", file.c_str(), ZipDataKind::FileName));
    EXPECT_FALSE(AddFileToArchive(holder_, archive.c_str(), nullptr, ZipDataKind::FileName));
    EXPECT_FALSE(AddFileToArchive(holder_, archive.c_str(), "", ZipDataKind::FileName));
    EXPECT_FALSE(AddFileToArchive(holder_, archive.c_str(), (sources_ + "\\none").c_str(),
                                  ZipDataKind::FileName));
    EXPECT_EQ(holder_.handle, nullptr);
    EXPECT_EQ(GetFileAttributesA(archive.c_str()), INVALID_FILE_ATTRIBUTES);
    // Once the holder is filled, the archive path is not looked at again.
    EXPECT_TRUE(AddFileToArchive(holder_, archive.c_str(), file.c_str(), ZipDataKind::FileName));
    EXPECT_TRUE(AddFileToArchive(holder_, (sources_ + "\\other.zip").c_str(), file.c_str(),
                                 ZipDataKind::FileName));
    EXPECT_EQ(GetFileAttributesA((sources_ + "\\other.zip").c_str()), INVALID_FILE_ATTRIBUTES);
    Finish({Entry(file), Entry(file)});
}

TEST_F(ArchiveSourcesTest, SourceOf4GiBIsArchivedWithZip64Sizes) {
    if (std::getenv("GLEANWELL_ORACLE_DIR") != nullptr) {
        GTEST_SKIP() << "the writer's own tests give such archives to the readers";
    }
    const std::string small = File("small.txt");
    const std::string huge = sources_ + "\\huge.bin";
    HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(file, 0, &high, FILE_BEGIN);
    const bool sized = SetEndOfFile(file) != FALSE;
    CloseHandle(file);
    if (!sized) {
        GTEST_SKIP() << "no room for a 4 GiB file here";
    }
    Add(huge);
    Add(small);
    DeleteFileA(huge.c_str());
    EXPECT_EQ(LinesOf(lines_),
              (std::vector<std::string>{"Success   :- " + huge, "Success   :- " + small}));
    WriteReport(holder_, lines_);
    ZipArchive::Close(holder_.handle);
    holder_.handle = nullptr;
    bool valid = false;
    const std::vector<ZipListingEntry> entries = ListArchive(ArchiveFile(), &valid);
    EXPECT_TRUE(valid);
    ASSERT_EQ(entries.size(), 3u);
    // Its size of 4 GiB stands in the Zip64 field; the 32-bit one says so.
    EXPECT_EQ(entries[0].name, EntryNameOf(huge));
    EXPECT_EQ(entries[0].size, 0xFFFFFFFFu);
    EXPECT_EQ(entries[1].name, EntryNameOf(small));
    EXPECT_EQ(entries[1].crc, testing_support::Crc32(ReadWholeFile(small)));
    EXPECT_EQ(entries[2].name, EntryNameOf(ReportFile()));
}

// Runs a host program (Wine starts Unix programs given by their Z: path) and
// waits until `done` holds, at most five seconds.
template <typename Done>
bool RunHostProgram(const char* program, std::string commandLine, Done done) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int i = 0; i < 100 && !done(); ++i) {
        Sleep(50);
    }
    return done();
}

// The host path of a Windows path, through Wine's own export; "" elsewhere.
std::string HostPathOf(const std::string& path) {
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) {
        return "";
    }
    const std::wstring wide(path.begin(), path.end());
    char* hostName = toUnix(wide.c_str());
    const std::string host = hostName == nullptr ? "" : hostName;
    HeapFree(GetProcessHeap(), 0, hostName);
    return host;
}

TEST_F(ArchiveSourcesTest, FolderLinkLoopEndsInOneNotFoundLine) {
    const std::string inLoop = File("loop\\f.txt");
    const std::string after = File("zz\\z.txt");
    const std::string link = sources_ + "\\loop\\back";
    const std::string hostLoop = HostPathOf(sources_ + "\\loop");
    auto linked = [&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; };
    if (hostLoop.empty() ||
        !RunHostProgram("Z:\\bin\\ln", "ln -s " + hostLoop + " " + hostLoop + "/back", linked)) {
        GTEST_SKIP() << "no way to make a folder link here";
    }
    Add(sources_);
    RunHostProgram("Z:\\bin\\rm", "rm " + hostLoop + "/back", [&] { return !linked(); });

    const std::vector<std::string> lines = LinesOf(lines_);
    std::vector<std::string> notFound;
    std::set<std::string> succeeded;
    for (const std::string& line : lines) {
        if (line.compare(0, 13, "Not Found :- ") == 0) {
            notFound.push_back(line.substr(13));
        } else if (line.compare(0, 13, "Success   :- ") == 0) {
            succeeded.insert(line.substr(13));
        }
    }
    ASSERT_EQ(notFound.size(), 1u);
    // Where the loop ends is the platform's: past 259 characters, or earlier
    // when it refuses to follow that many links.
    EXPECT_EQ(notFound[0].compare(0, link.size(), link), 0);
    EXPECT_EQ(notFound[0].substr(notFound[0].size() - 9), "\\back\\*.*");
    EXPECT_TRUE(succeeded.count(inLoop));
    EXPECT_TRUE(succeeded.count(link + "\\f.txt"));
    EXPECT_TRUE(succeeded.count(after));

    // Every success is an entry; the archive stays readable.
    WriteReport(holder_, lines_);
    ZipArchive::Close(holder_.handle);
    holder_.handle = nullptr;
    bool valid = false;
    const std::vector<ZipListingEntry> entries = ListArchive(ArchiveFile(), &valid);
    ASSERT_TRUE(valid);
    std::multiset<std::string> names;
    for (const auto& entry : entries) {
        names.insert(entry.name);
    }
    for (const std::string& path : succeeded) {
        EXPECT_EQ(names.count(EntryNameOf(path)), 1u) << path;
    }
    EXPECT_EQ(entries.size(), succeeded.size() + 1);
}

// A random tree of files and folders below a root, as the test made it.
struct RandomTree {
    std::vector<std::string> folders;                           // root first
    std::map<std::string, std::vector<std::string>> filesBelow; // folder -> every file below
    std::vector<std::string> files;
};

class RandomTreeMaker {
public:
    explicit RandomTreeMaker(unsigned seed) : random_(seed) {}

    RandomTree Make(const std::string& root) {
        RandomTree tree;
        MakeFolders(root);
        Grow(root, 0, tree);
        return tree;
    }

    unsigned Below(unsigned bound) { return static_cast<unsigned>(random_() % bound); }

private:
    std::string NewName(const char* extension) {
        // Spaces and characters of the Western code page, with a serial so
        // that no two names differ only in letter case.
        static const char* const kAscii[] = {"plain", "with space", "x"};
        static const char* const kWestern[] = {"D\xE4t\xE4", "r\xE9sum\xE9", "\xDF x",
                                               "caf\xE9 au lait"};
        std::string name =
            GetACP() == 1252 && Below(2) == 0 ? kWestern[Below(4)] : kAscii[Below(3)];
        return name + "_" + std::to_string(++serial_) + extension;
    }

    std::string Content() {
        std::string bytes;
        const unsigned length = Below(4) == 0 ? 0 : Below(6000);
        const bool noisy = Below(2) == 0;
        for (unsigned i = 0; i < length; ++i) {
            bytes += noisy ? static_cast<char>(Below(256)) : "status line "[i % 12];
        }
        return bytes;
    }

    void Grow(const std::string& folder, int depth, RandomTree& tree) {
        static const char* const kExtensions[] = {".txt", ".acq", ".zip", ""};
        tree.folders.push_back(folder);
        std::vector<std::string>& below = tree.filesBelow[folder];
        const unsigned files = Below(4);
        for (unsigned i = 0; i < files; ++i) {
            const std::string path = folder + "\\" + NewName(kExtensions[Below(4)]);
            WriteWholeFile(path, Content());
            tree.files.push_back(path);
            below.push_back(path);
            tree.filesBelow[path] = {path};
        }
        const unsigned folders = depth < 3 ? Below(3) : 0;
        for (unsigned i = 0; i < folders; ++i) {
            const std::string sub = folder + "\\" + NewName("");
            MakeFolders(sub);
            Grow(sub, depth + 1, tree);
            const std::vector<std::string>& inner = tree.filesBelow[sub];
            tree.filesBelow[folder].insert(tree.filesBelow[folder].end(), inner.begin(),
                                           inner.end());
        }
    }

    std::mt19937 random_;
    unsigned serial_ = 0;
};

TEST_F(ArchiveSourcesTest, PropertyEveryFileOncePerOutcomeAndEverySuccessInTheArchive) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomTreeMaker maker(seed);
        const RandomTree tree = maker.Make(sources_ + "\\run" + std::to_string(seed));
        std::vector<std::string> candidates = tree.folders;
        candidates.insert(candidates.end(), tree.files.begin(), tree.files.end());
        PathList sources;
        const unsigned count = 1 + maker.Below(5);
        for (unsigned i = 0; i < count; ++i) {
            AppendUnique(
                sources,
                WideText(
                    candidates[maker.Below(static_cast<unsigned>(candidates.size()))].c_str()));
            // Duplicates are kept out by the list, as in a run.
            AppendUnique(sources, sources[sources.Count() - 1]);
        }
        if (maker.Below(2) == 0) {
            AppendUnique(sources, WideText((tree.folders[0] + "\\gone").c_str()));
        }

        lines_ = ReportLines();
        std::set<std::string> expectedLines;
        std::vector<ExpectedEntry> expected;
        for (const WideText& source : sources) {
            Add(source.Narrow());
            const auto found = tree.filesBelow.find(source.Narrow());
            if (found == tree.filesBelow.end()) {
                expectedLines.insert(std::string("Not Found :- ") + source.Narrow());
                continue;
            }
            for (const std::string& file : found->second) {
                expectedLines.insert("Success   :- " + file);
                expected.push_back(Entry(file));
            }
        }
        const std::vector<std::string> lines = LinesOf(lines_);
        EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expectedLines);
        EXPECT_EQ(lines.size(), expectedLines.size());
        std::string report;
        for (const std::string& line : lines) {
            report += line + "\r\n";
        }
        EXPECT_EQ(Finish(expected, ".seed" + std::to_string(seed)), report);
    }
}

// Where the code page cannot hold a name (the Western code page 1252 here),
// the name listed must never be archived as another file: the platform's
// best-fit form of "mega.txt" after a Greek capital omega is "Omega.txt",
// and a real "Omega.txt" stands beside it. The name the code page cannot
// hold gets its "Failed" line instead.
TEST_F(ArchiveSourcesTest, NameOutsideTheCodePageFailsAndIsNeverAnotherFile) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs the Western code page 1252, not " << GetACP();
    }
    const std::string decoy = File("names\\Omega.txt", "the decoy's own bytes");
    const std::string plain = File("names\\R\xE9sultats.txt", "held by the code page");
    wchar_t folder[MAX_PATH];
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, (sources_ + "\\names").c_str(), -1, folder, MAX_PATH),
              0);
    const std::wstring omega = std::wstring(folder) + L"\\\x03A9mega.txt";
    HANDLE file = CreateFileW(omega.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "omega", 5, &written, nullptr);
    CloseHandle(file);

    // A folder of such a name beside one its '?' form would match as a
    // pattern: the marked folder is not searched at all.
    const std::string beside = File("names\\Xdata\\x.txt", "beside");
    const std::wstring omegaFolder = std::wstring(folder) + L"\\\x03A9"
                                                            L"data";
    ASSERT_TRUE(CreateDirectoryW(omegaFolder.c_str(), nullptr));

    Add(sources_ + "\\names");
    const std::string marked = sources_ + "\\names\\?mega.txt";
    const std::vector<std::string> lines = LinesOf(lines_);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()),
              (std::set<std::string>{"Success   :- " + decoy, "Success   :- " + plain,
                                     "Success   :- " + beside, "Failed    :- " + marked,
                                     "Not Found :- " + sources_ + "\\names\\?data\\*.*"}));
    Finish({Entry(decoy), Entry(plain), Entry(beside)});
    // The scratch folder's own clean-up lists names in the code page.
    EXPECT_TRUE(DeleteFileW(omega.c_str()));
    EXPECT_TRUE(RemoveDirectoryW(omegaFolder.c_str()));
}

} // namespace
