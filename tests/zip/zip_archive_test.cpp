// The container on memory targets: results, handle checks, names, methods,
// header bytes and the memory block's capacity rule.
#include <cstring>
#include <ctime>
#include <vector>

#include <gtest/gtest.h>

#include "zip_archive.h"
#include "zip_test_support.h"

namespace {

std::string ResultText(std::uint32_t code) {
    char buffer[128];
    ZipResultText(code, buffer, sizeof buffer);
    return buffer;
}

std::uint32_t Code(ZipResult result) {
    return static_cast<std::uint32_t>(result);
}

// A memory archive in a block owned by the test.
class MemoryArchive {
public:
    explicit MemoryArchive(std::uint32_t capacity = 1 << 20) : block_(capacity) {
        handle_ = ZipArchive::Create(block_.data(), capacity, ZipDataKind::Memory);
    }
    ~MemoryArchive() {
        if (handle_ != nullptr) {
            ZipArchive::Close(handle_);
        }
    }
    ZipHandle* Handle() const { return handle_; }
    ZipResult AddMemory(const char* name, const std::string& bytes) {
        return ZipArchive::AddFile(handle_, name, bytes.data(),
                                   static_cast<std::uint32_t>(bytes.size()), ZipDataKind::Memory);
    }
    ZipResult AddFolder(const char* name) {
        return ZipArchive::AddFile(handle_, name, nullptr, 0, ZipDataKind::Folder);
    }
    // Ends additions and returns the archive's bytes.
    std::string Finish() {
        void* memory = nullptr;
        std::uint32_t length = 0;
        EXPECT_EQ(ZipResult::Success, ZipArchive::GetMemory(handle_, &memory, &length));
        return std::string(static_cast<const char*>(memory), length);
    }

private:
    std::vector<char> block_;
    ZipHandle* handle_ = nullptr;
};

void SaveForReaders(const std::string& bytes, ReaderCase& reader_case) {
    WriteBytes(reader_case.ArchivePath(), bytes);
}

} // namespace

TEST(ZipResultTextTest, EveryCodeHasItsExactText) {
    const std::pair<ZipResult, const char*> table[] = {
        {ZipResult::Success, "Success"},
        {ZipResult::DuplicateFailed, "Culdn't duplicate handle"},
        {ZipResult::OpenFailed, "Couldn't create/open file"},
        {ZipResult::NoMemory, "Failed to allocate memory"},
        {ZipResult::WriteFailed, "Error writing to file"},
        {ZipResult::EntryNotFound, "File not found in the zipfile"},
        {ZipResult::MoreData, "Still more data to unzip"},
        {ZipResult::NotAZip, "Zipfile is corrupt or not a zipfile"},
        {ZipResult::ReadFailed, "Error reading file"},
        {ZipResult::BadArguments, "Caller: faulty arguments"},
        {ZipResult::NotMemoryArchive, "Caller: can only get memory of a memory zipfile"},
        {ZipResult::MemoryTooSmall, "Caller: not enough space allocated for memory zipfile"},
        {ZipResult::PreviousError, "Caller: there was a previous error"},
        {ZipResult::AlreadyEnded, "Caller: additions to the zip have already been ended"},
        {ZipResult::SizeMismatch, "Zip-bug: the anticipated size turned out wrong"},
        {ZipResult::PartlyUnzipped, "Caller: the file had already been partially unzipped"},
        {ZipResult::WrongHandleKind, "Caller: mixing creation and opening of zip"},
        {ZipResult::NotInitialised, "Zip-bug: internal initialisation not completed"},
        {ZipResult::NotSeekable, "Zip-bug: trying to seek the unseekable"},
        {ZipResult::MindChanged, "Zip-bug: tried to change mind, but not allowed"},
        {ZipResult::DeflateFault, "Zip-bug: an internal error during flation"},
    };
    for (const auto& [code, text] : table) {
        EXPECT_EQ(text, ResultText(Code(code)));
        EXPECT_EQ(std::strlen(text), ZipResultText(Code(code), nullptr, 0));
    }
    EXPECT_EQ("unknown zip result code", ResultText(0x12345));
    EXPECT_EQ("unknown zip result code", ResultText(0x80000000u));
}

TEST(ZipResultTextTest, ShortBufferGetsACutZeroTerminatedCopy) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(21u, ZipResultText(0x400, buffer, 6));
    EXPECT_STREQ("Error", buffer);
    EXPECT_EQ('x', buffer[6]);

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(7u, ZipResultText(0, buffer, 0));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(7u, ZipResultText(0, buffer, 1));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(7u, ZipResultText(0, buffer, 8));
    EXPECT_STREQ("Success", buffer);
}

TEST(ZipResultTextTest, CodeOneStandsForTheLastResult) {
    EXPECT_EQ(nullptr, ZipArchive::Create(nullptr, 0, ZipDataKind::Memory));
    EXPECT_EQ(ZipResult::MemoryTooSmall, ZipLastResult);
    EXPECT_EQ(std::strlen("Caller: not enough space allocated for memory zipfile"),
              ZipResultText(1, nullptr, 0));
    EXPECT_EQ("Caller: not enough space allocated for memory zipfile", ResultText(1));
}

TEST(ZipHandleTest, NullAndForeignHandlesAreRefused) {
    void* memory = &memory;
    std::uint32_t length = 99;
    EXPECT_EQ(ZipResult::BadArguments, ZipArchive::GetMemory(nullptr, &memory, &length));
    EXPECT_EQ(nullptr, memory);
    EXPECT_EQ(0u, length);
    EXPECT_EQ(ZipResult::BadArguments,
              ZipArchive::AddFile(nullptr, "a", nullptr, 0, ZipDataKind::Folder));
    EXPECT_EQ(ZipResult::BadArguments, ZipArchive::Close(nullptr));
    EXPECT_EQ(ZipResult::BadArguments, ZipLastResult);

    MemoryArchive archive;
    ASSERT_NE(nullptr, archive.Handle());
    archive.Handle()->kind = 1;
    EXPECT_EQ(ZipResult::WrongHandleKind,
              ZipArchive::AddFile(archive.Handle(), "a", nullptr, 0, ZipDataKind::Folder));
    EXPECT_EQ(ZipResult::WrongHandleKind,
              ZipArchive::GetMemory(archive.Handle(), &memory, &length));
    EXPECT_EQ(ZipResult::WrongHandleKind, ZipArchive::Close(archive.Handle()));
    EXPECT_EQ(ZipResult::WrongHandleKind, ZipLastResult);
    // Nothing was freed: the handle still works once its tag is right.
    archive.Handle()->kind = kZipHandleCreating;
    EXPECT_EQ(ZipResult::Success, archive.AddFolder("a"));
}

TEST(ZipCreateTest, UnusableTargetsGiveTheirCodes) {
    char block[64];
    EXPECT_EQ(nullptr, ZipArchive::Create(block, 0, ZipDataKind::Memory));
    EXPECT_EQ(ZipResult::MemoryTooSmall, ZipLastResult);
    EXPECT_EQ(nullptr, ZipArchive::Create(block, sizeof block, ZipDataKind::Folder));
    EXPECT_EQ(ZipResult::BadArguments, ZipLastResult);
    EXPECT_EQ(nullptr, ZipArchive::Create(block, sizeof block, static_cast<ZipDataKind>(9)));
    EXPECT_EQ(ZipResult::BadArguments, ZipLastResult);
    EXPECT_EQ(nullptr, ZipArchive::Create(FileHandleToPointer(kNoFile), 0, ZipDataKind::Handle));
    EXPECT_EQ(ZipResult::DuplicateFailed, ZipLastResult);
    ScratchFolder scratch;
    std::string nowhere = scratch.Path("missing/folder/a.zip");
    EXPECT_EQ(nullptr, ZipArchive::Create(nowhere.c_str(), 0, ZipDataKind::FileName));
    EXPECT_EQ(ZipResult::OpenFailed, ZipLastResult);

    ZipHandle* handle = ZipArchive::Create(block, sizeof block, ZipDataKind::Memory);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(ZipResult::Success, ZipLastResult);
    EXPECT_EQ(kZipHandleCreating, handle->kind);
    EXPECT_EQ(ZipResult::Success, ZipArchive::Close(handle));
}

TEST(ZipLayoutTest, EmptyArchiveIsTheEndRecordOnly) {
    MemoryArchive archive;
    std::string bytes = archive.Finish();
    const char expected[22] = {0x50, 0x4B, 0x05, 0x06};
    EXPECT_EQ(std::string(expected, 22), bytes);
}

TEST(ZipLayoutTest, StoredEntryHeadersCarryFinalValuesAndTimestampFields) {
    MemoryArchive archive;
    std::string data = SampleNoise(40000, 3);
    ASSERT_EQ(ZipResult::Success, archive.AddMemory("DATA\\LOG.ZIP", data));
    std::string bytes = archive.Finish();
    ParsedArchive parsed = ParseArchive(bytes);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(1u, parsed.entries.size());
    const ParsedEntry& e = parsed.entries[0];
    EXPECT_EQ("DATA/LOG.ZIP", e.name);
    EXPECT_EQ(0x0B17, e.made_by);
    EXPECT_EQ(20, e.needed);
    EXPECT_EQ(0, e.method);
    EXPECT_EQ(0, e.flags);
    EXPECT_EQ(0, e.local_flags);
    EXPECT_EQ(40000u, e.compressed);
    EXPECT_EQ(40000u, e.uncompressed);
    EXPECT_EQ(e.crc, e.local_crc);
    EXPECT_EQ(40000u, e.local_compressed);
    EXPECT_EQ(40000u, e.local_uncompressed);
    EXPECT_NE(0u, e.crc);
    EXPECT_EQ(0x80000000u, e.external);
    EXPECT_EQ(0u, e.offset);
    EXPECT_EQ(data, e.data);
    EXPECT_FALSE(e.has_descriptor);
    ASSERT_EQ(17u, e.local_extra.size());
    EXPECT_EQ(std::string("\x55\x54\x0D\x00\x07", 5), e.local_extra.substr(0, 5));
    ASSERT_EQ(9u, e.central_extra.size());
    EXPECT_EQ(std::string("\x55\x54\x05\x00\x07", 5), e.central_extra.substr(0, 5));
    EXPECT_EQ(e.local_extra.substr(5, 4), e.central_extra.substr(5, 4));
    // Times = now: all three Unix times are the same moment.
    EXPECT_EQ(e.local_extra.substr(5, 4), e.local_extra.substr(9, 4));
    EXPECT_EQ(e.local_extra.substr(5, 4), e.local_extra.substr(13, 4));
    EXPECT_EQ(30u + 12 + 17 + 40000, parsed.directory_offset);
    EXPECT_EQ(46u + 12 + 9, parsed.directory_size);

    ReaderCase reader_case;
    SaveForReaders(bytes, reader_case);
    reader_case.Expect("DATA/LOG.ZIP", data);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST(ZipLayoutTest, FolderEntriesGetASlashAndFixedAttributes) {
    MemoryArchive archive;
    ASSERT_EQ(ZipResult::Success, archive.AddFolder("logs"));
    ASSERT_EQ(ZipResult::Success, archive.AddFolder("logs/"));
    ASSERT_EQ(ZipResult::Success, archive.AddFolder("run\\day1\\"));
    ASSERT_EQ(ZipResult::Success, archive.AddFolder("run\\day2"));
    std::string bytes = archive.Finish();
    ParsedArchive parsed = ParseArchive(bytes);
    ASSERT_EQ("", parsed.error);
    std::vector<std::string> names;
    for (const ParsedEntry& e : parsed.entries) {
        names.push_back(e.name);
        EXPECT_EQ(0, e.method);
        EXPECT_EQ(0u, e.compressed);
        EXPECT_EQ(0u, e.uncompressed);
        EXPECT_EQ(0u, e.crc);
        EXPECT_EQ(0x41C00010u, e.external);
        EXPECT_EQ(0, e.flags);
    }
    EXPECT_EQ((std::vector<std::string>{"logs/", "logs/", "run/day1/", "run/day2/"}), names);

    // The DOS date is today's local date (allowing for a midnight in between).
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    std::uint32_t date = parsed.entries[0].dos_date_time >> 16;
    EXPECT_EQ(local.tm_year + 1900, static_cast<int>((date >> 9) + 1980));
    EXPECT_EQ(local.tm_mon + 1, static_cast<int>((date >> 5) & 15));

    ReaderCase reader_case;
    SaveForReaders(bytes, reader_case);
    reader_case.ExpectNames(names);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST(ZipNameTest, NamesOutsideAsciiAreStoredInUtf8AndFlaggedInBothHeaders) {
    // UTF-8 names as readers must show them; each goes in in the system code
    // page, as paths do, where that code page can hold it.
    const std::string cjk = "\xe6\x95\xb0"; // one character, three bytes
    std::string longest;
    for (int i = 0; i < 255; ++i) {
        longest += cjk;
    }
    longest += ".txt"; // 259 characters in 769 bytes
    struct Case {
        std::string utf8;
        bool folder;
        std::uint16_t flags;
    };
    const std::vector<Case> cases = {
        {"plain.txt", false, 2},
        {"R\xc3\xa9sultats.txt", false, 0x802},
        {"M\xc3\xbcller \xc3\x9f.zip", false, 0x800},
        {"\xce\xa9mega\\" + cjk + ".txt", false, 0x802},
        {"\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac", true, 0x800},
        {longest, false, 0x802},
    };
    MemoryArchive archive;
    ReaderCase reader_case;
    std::vector<std::string> names;
    std::vector<std::uint16_t> flags;
    for (const Case& c : cases) {
        std::string narrow;
        if (!NarrowFromUtf8(c.utf8, narrow)) {
            continue; // not in this code page: the program's own manifest makes it UTF-8
        }
        std::string data = "bytes of " + c.utf8;
        ZipResult added =
            c.folder ? archive.AddFolder(narrow.c_str()) : archive.AddMemory(narrow.c_str(), data);
        ASSERT_EQ(ZipResult::Success, added) << c.utf8;
        std::string stored = c.utf8;
        for (char& ch : stored) {
            ch = ch == '\\' ? '/' : ch;
        }
        names.push_back(stored + (c.folder ? "/" : ""));
        flags.push_back(c.flags);
        if (!c.folder) {
            reader_case.Expect(stored, data);
        }
    }
    std::string too_long = longest.substr(0, longest.size() - 4) + cjk + ".txt";
    std::string narrow_too_long;
    if (NarrowFromUtf8(too_long, narrow_too_long)) {
        EXPECT_EQ(ZipResult::BadArguments, archive.AddMemory(narrow_too_long.c_str(), "x"));
    }
    std::string bytes = archive.Finish();
    ParsedArchive parsed = ParseArchive(bytes);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(names.size(), parsed.entries.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i], parsed.entries[i].name);
        EXPECT_EQ(flags[i], parsed.entries[i].flags) << names[i];
        EXPECT_EQ(flags[i], parsed.entries[i].local_flags) << names[i];
        EXPECT_EQ(20, parsed.entries[i].needed) << names[i];
    }
    SaveForReaders(bytes, reader_case);
    reader_case.ExpectNames(names);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST(ZipNameTest, EmptyAndOverlongNamesAreRefusedAndWriteNothing) {
    MemoryArchive archive;
    ASSERT_EQ(ZipResult::Success, archive.AddFolder("first"));
    std::uint32_t before = 30 + 6 + 17;
    std::string data = "abc";
    EXPECT_EQ(ZipResult::BadArguments, archive.AddMemory("", data));
    EXPECT_EQ(ZipResult::BadArguments, ZipLastResult);
    EXPECT_EQ(ZipResult::BadArguments, archive.AddMemory(nullptr, data));
    EXPECT_EQ(ZipResult::BadArguments, archive.AddFolder(""));

    std::string longest(255, 'n');
    longest += ".zip"; // 259 bytes: fits with its terminating zero
    std::string too_long = longest + "x";
    EXPECT_EQ(ZipResult::BadArguments, archive.AddMemory(too_long.c_str(), data));
    std::string folder_259(259, 'f');
    EXPECT_EQ(ZipResult::BadArguments, archive.AddFolder(folder_259.c_str()));
    // A bad name is not sticky.
    std::string folder_258(258, 'g');
    EXPECT_EQ(ZipResult::Success, archive.AddFolder(folder_258.c_str()));
    EXPECT_EQ(ZipResult::Success, archive.AddMemory(longest.c_str(), data));
    std::string bytes = archive.Finish();
    ParsedArchive parsed = ParseArchive(bytes);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(3u, parsed.entries.size());
    EXPECT_EQ(before, parsed.entries[1].offset);
    EXPECT_EQ(259u, parsed.entries[1].name.size());
    EXPECT_EQ('/', parsed.entries[1].name.back());
    EXPECT_EQ(longest, parsed.entries[2].name);

    ReaderCase reader_case;
    SaveForReaders(bytes, reader_case);
    reader_case.Expect(longest, data);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST(ZipNameTest, StoredListDecidesTheMethod) {
    MemoryArchive archive;
    std::string data = SampleText(3000);
    const char* stored[] = {"a\\LOG.ZIP", "b.Zip", "c.GZ",  "d.tgz", "e.Z",
                            "f.zoo",      "g.ARC", "h.lzh", "i.arj", "j.tar.gz"};
    for (const char* name : stored) {
        EXPECT_EQ(ZipResult::Success, archive.AddMemory(name, data)) << name;
    }
    ParsedArchive parsed = ParseArchive(archive.Finish());
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(10u, parsed.entries.size());
    for (const ParsedEntry& e : parsed.entries) {
        EXPECT_EQ(0, e.method) << e.name;
        EXPECT_EQ(3000u, e.compressed) << e.name;
    }
}

TEST(ZipNameTest, OtherNamesAreDeflated) {
    MemoryArchive archive;
    std::string data = SampleText(30000);
    const char* deflated[] = {"notes.txt", "README", "a.zip.txt", "b.z7", "c.gzip", "dir.zip\\x"};
    for (const char* name : deflated) {
        EXPECT_EQ(ZipResult::Success, archive.AddMemory(name, data)) << name;
    }
    std::string bytes = archive.Finish();
    ParsedArchive parsed = ParseArchive(bytes);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(6u, parsed.entries.size());
    ReaderCase reader_case;
    for (const ParsedEntry& e : parsed.entries) {
        EXPECT_EQ(8, e.method) << e.name;
        EXPECT_EQ(2, e.flags) << e.name;
        EXPECT_EQ(2, e.local_flags) << e.name;
        EXPECT_LT(e.compressed, 30000u / 2) << e.name;
        EXPECT_EQ(30000u, e.uncompressed);
        reader_case.Expect(e.name, data);
    }
    SaveForReaders(bytes, reader_case);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST(ZipMemoryTest, BlockHoldsAtMostCapacityMinusOneBytes) {
    std::string data = SampleNoise(1000, 5);
    std::string reference;
    {
        MemoryArchive archive;
        ASSERT_EQ(ZipResult::Success, archive.AddMemory("x.zip", data));
        reference = archive.Finish();
    }
    const std::uint32_t length = static_cast<std::uint32_t>(reference.size());
    {
        MemoryArchive archive(length + 1);
        ASSERT_EQ(ZipResult::Success, archive.AddMemory("x.zip", data));
        EXPECT_EQ(reference, archive.Finish());
    }
    {
        // One byte short: the entry fits but the end record does not.
        std::vector<char> block(length);
        ZipHandle* handle = ZipArchive::Create(block.data(), length, ZipDataKind::Memory);
        ASSERT_NE(nullptr, handle);
        ASSERT_EQ(ZipResult::Success,
                  ZipArchive::AddFile(handle, "x.zip", data.data(), 1000, ZipDataKind::Memory));
        EXPECT_EQ(ZipResult::WriteFailed, ZipArchive::Close(handle));
    }
    {
        // Data that does not fit sets the sticky error: later additions answer
        // PreviousError, and so does everything until Close.
        MemoryArchive archive(600);
        EXPECT_EQ(ZipResult::MemoryTooSmall, archive.AddMemory("x.zip", data));
        EXPECT_EQ(ZipResult::PreviousError, archive.AddMemory("y.zip", data));
        EXPECT_EQ(ZipResult::PreviousError, archive.AddFolder("z"));
        EXPECT_EQ(ZipResult::PreviousError, ZipLastResult);
    }
    {
        // A header that does not fit is a short write.
        MemoryArchive archive(40);
        EXPECT_EQ(ZipResult::WriteFailed, archive.AddFolder("folder"));
        EXPECT_EQ(ZipResult::PreviousError, archive.AddFolder("other"));
    }
}

TEST(ZipMemoryTest, GetMemoryReportsAnArchiveItCouldNotFinish) {
    // One stored entry: 30 + 5 + 17 + 1000 bytes, a 60-byte central header, a
    // 22-byte end record. A block of exactly that many bytes holds one less.
    std::string data = SampleNoise(1000, 5);
    const std::uint32_t entry = 30 + 5 + 17 + 1000;
    const std::uint32_t whole = entry + 60 + 22;
    const struct {
        std::uint32_t capacity;
        std::uint32_t written; // what the block holds after the failed end
    } cases[] = {
        {whole, entry + 60}, // the end record does not fit
        {entry + 60, entry}, // the central directory does not fit
    };
    for (const auto& c : cases) {
        std::vector<char> block(c.capacity);
        ZipHandle* handle = ZipArchive::Create(block.data(), c.capacity, ZipDataKind::Memory);
        ASSERT_NE(nullptr, handle);
        ASSERT_EQ(ZipResult::Success,
                  ZipArchive::AddFile(handle, "x.zip", data.data(), 1000, ZipDataKind::Memory));
        void* memory = nullptr;
        std::uint32_t length = 0;
        EXPECT_EQ(ZipResult::WriteFailed, ZipArchive::GetMemory(handle, &memory, &length))
            << c.capacity;
        EXPECT_EQ(ZipResult::WriteFailed, ZipLastResult);
        EXPECT_EQ(block.data(), memory);
        EXPECT_EQ(c.written, length);
        EXPECT_NE("", ParseArchive(std::string(block.data(), length)).error);
        // Asking again, or closing, does not turn the failure into success.
        EXPECT_EQ(ZipResult::WriteFailed, ZipArchive::GetMemory(handle, &memory, &length));
        EXPECT_EQ(ZipResult::WriteFailed, ZipArchive::Close(handle));
    }
}

TEST(ZipMemoryTest, WriterAllocatedBlockAndGetMemoryRules) {
    ZipHandle* handle = ZipArchive::Create(nullptr, 100000, ZipDataKind::Memory);
    ASSERT_NE(nullptr, handle);
    std::string data = SampleText(5000, 9);
    ASSERT_EQ(ZipResult::Success,
              ZipArchive::AddFile(handle, "report.txt", data.data(), 5000, ZipDataKind::Memory));
    void* memory = nullptr;
    std::uint32_t length = 0;
    ASSERT_EQ(ZipResult::Success, ZipArchive::GetMemory(handle, &memory, &length));
    ASSERT_NE(nullptr, memory);
    std::string bytes(static_cast<const char*>(memory), length);
    EXPECT_EQ(ZipResult::AlreadyEnded,
              ZipArchive::AddFile(handle, "late.txt", data.data(), 5000, ZipDataKind::Memory));
    EXPECT_EQ(ZipResult::AlreadyEnded, ZipLastResult);
    void* again = nullptr;
    std::uint32_t again_length = 0;
    EXPECT_EQ(ZipResult::Success, ZipArchive::GetMemory(handle, &again, &again_length));
    EXPECT_EQ(memory, again);
    EXPECT_EQ(length, again_length);
    EXPECT_EQ(ZipResult::Success, ZipArchive::Close(handle));

    ParsedArchive parsed = ParseArchive(bytes);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(1u, parsed.entries.size());
    ReaderCase reader_case;
    SaveForReaders(bytes, reader_case);
    reader_case.Expect("report.txt", data);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST(ZipSourceTest, BadSourcesAreRefusedAndWriteNothing) {
    MemoryArchive archive;
    std::string data = "abc";
    EXPECT_EQ(ZipResult::BadArguments,
              ZipArchive::AddFile(archive.Handle(), "a", nullptr, 3, ZipDataKind::Memory));
    EXPECT_EQ(ZipResult::BadArguments,
              ZipArchive::AddFile(archive.Handle(), "a", data.data(), 0, ZipDataKind::Memory));
    EXPECT_EQ(ZipResult::BadArguments,
              ZipArchive::AddFile(archive.Handle(), "a", nullptr, 0, ZipDataKind::FileName));
    EXPECT_EQ(ZipResult::BadArguments,
              ZipArchive::AddFile(archive.Handle(), "a", FileHandleToPointer(kNoFile), 0,
                                  ZipDataKind::Handle));
    EXPECT_EQ(ZipResult::BadArguments, ZipArchive::AddFile(archive.Handle(), "a", data.data(), 3,
                                                           static_cast<ZipDataKind>(0)));
    EXPECT_EQ(22u, archive.Finish().size());
}

TEST(ZipMemoryTest, GetMemoryOfAFileArchiveIsRefused) {
    ScratchFolder scratch;
    std::string path = scratch.Path("a.zip");
    ZipHandle* handle = ZipArchive::Create(path.c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    void* memory = &memory;
    std::uint32_t length = 0;
    EXPECT_EQ(ZipResult::NotMemoryArchive, ZipArchive::GetMemory(handle, &memory, &length));
    EXPECT_EQ(nullptr, memory);
    EXPECT_EQ(22u, length);
    EXPECT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    EXPECT_EQ(22u, ReadBytes(path).size());
}

TEST(ZipMemoryTest, DeflatedDataThatOverflowsTheBlockFailsWithoutOverrun) {
    // The compressor's output hits the end of the block mid-entry: the entry
    // fails with the sticky error and nothing is written past the block.
    std::vector<char> block(3000 + 64, '\x5A');
    ZipHandle* handle = ZipArchive::Create(block.data(), 3000, ZipDataKind::Memory);
    ASSERT_NE(nullptr, handle);
    std::string data = SampleNoise(100000, 8);
    EXPECT_EQ(ZipResult::MemoryTooSmall,
              ZipArchive::AddFile(handle, "noise.bin", data.data(), 100000, ZipDataKind::Memory));
    EXPECT_EQ(ZipResult::PreviousError,
              ZipArchive::AddFile(handle, "next.bin", data.data(), 10, ZipDataKind::Memory));
    // The failed entry is not listed; the directory and end record still fit.
    void* memory = nullptr;
    std::uint32_t length = 0;
    EXPECT_EQ(ZipResult::Success, ZipArchive::GetMemory(handle, &memory, &length));
    ParsedArchive parsed = ParseArchive(std::string(block.data(), length));
    EXPECT_EQ("", parsed.error);
    EXPECT_EQ(0u, parsed.entry_count);
    EXPECT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    for (std::size_t i = 3000; i < block.size(); ++i) {
        ASSERT_EQ('\x5A', block[i]) << i;
    }
}
