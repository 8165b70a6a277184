// Past the classic limits: more than 65,535 entries and offsets past 4 GiB
// take the Zip64 fields, and only then. A sparse prefix stands in for the
// gigabytes before an archive; readers check every archive.
#include <cstdio>

#include <gtest/gtest.h>

#include "zip_archive.h"
#include "zip_test_support.h"

namespace {

constexpr std::uint64_t kFourGiB = 0x100000000ull;

ZipResult AddMemory(ZipHandle* handle, const char* name, const std::string& bytes) {
    return ZipArchive::AddFile(handle, name, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                               ZipDataKind::Memory);
}

void ExpectClassic(const ParsedEntry& e) {
    EXPECT_FALSE(e.central_zip64) << e.name;
    EXPECT_FALSE(e.local_zip64) << e.name;
    EXPECT_EQ(20, e.needed) << e.name;
}

} // namespace

TEST(ZipLimitsTest, EntryCountPast65535TakesTheZip64EndRecordAndOnlyThen) {
    for (unsigned count : {65535u, 65536u}) {
        ReaderCase reader_case;
        ZipHandle* handle =
            ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
        ASSERT_NE(nullptr, handle);
        std::vector<std::string> names;
        char name[16];
        for (unsigned i = 0; i + 1 < count; ++i) { // the last entry is a file
            std::snprintf(name, sizeof name, "d%05u", i);
            ASSERT_EQ(ZipResult::Success,
                      ZipArchive::AddFile(handle, name, nullptr, 0, ZipDataKind::Folder))
                << name;
            names.push_back(std::string(name) + "/");
        }
        ASSERT_EQ(ZipResult::Success, AddMemory(handle, "last.txt", "the report"));
        names.push_back("last.txt");
        ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
        ParsedArchive parsed = ParseArchiveFile(reader_case.ArchivePath());
        ASSERT_EQ("", parsed.error);
        EXPECT_EQ(count, parsed.entry_count);
        EXPECT_EQ(count > 65535, parsed.zip64_end) << count;
        if (parsed.zip64_end) {
            EXPECT_EQ(0xFFFFu, parsed.classic_entry_count);
            EXPECT_EQ(parsed.directory_size, parsed.classic_directory_size);
            EXPECT_EQ(parsed.directory_offset, parsed.classic_directory_offset);
        }
        ExpectClassic(parsed.entries.back());
        reader_case.ExpectNames(names);
        reader_case.Expect("last.txt", "the report");
        EXPECT_READERS_ACCEPT(reader_case);
    }
}

TEST(ZipLimitsTest, ArchiveOnAHandleJustBelowAndPastFourGiB) {
    // Behind 4 GiB less 300,000 bytes of other data, the entries cross 4 GiB.
    for (std::uint64_t start : {kFourGiB - 300000, kFourGiB + 10}) {
        ReaderCase reader_case;
        FileHandle file = FileCreateForWrite(reader_case.ArchivePath().c_str());
        ASSERT_NE(kNoFile, file);
        ASSERT_TRUE(FileSeek(file, start));
        ZipHandle* handle = ZipArchive::Create(FileHandleToPointer(file), 0, ZipDataKind::Handle);
        ASSERT_NE(nullptr, handle);
        std::string first = SampleNoise(100000, 1);
        std::string stored = SampleNoise(250000, 2);
        std::string deflated = SampleNoise(250000, 3);
        std::string last = SampleText(50000, 4);
        ASSERT_EQ(ZipResult::Success, AddMemory(handle, "first.zip", first));
        ASSERT_EQ(ZipResult::Success, AddMemory(handle, "stored.zip", stored));
        ASSERT_EQ(ZipResult::Success, AddMemory(handle, "deflated.bin", deflated));
        ASSERT_EQ(ZipResult::Success, AddMemory(handle, "last.txt", last));
        ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
        FileClose(file);

        ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath(), start), start);
        ASSERT_EQ("", parsed.error);
        ASSERT_EQ(4u, parsed.entries.size());
        EXPECT_EQ(start, parsed.entries[0].offset);
        EXPECT_EQ(first, parsed.entries[0].data);
        EXPECT_EQ(stored, parsed.entries[1].data);
        for (const ParsedEntry& e : parsed.entries) {
            EXPECT_EQ(e.offset >= 0xFFFFFFFFu, e.central_zip64) << e.name;
            EXPECT_FALSE(e.local_zip64) << e.name;
        }
        EXPECT_TRUE(parsed.zip64_end);
        reader_case.SkipReader("7z",
                               "opens no zip after a prefix of gigabytes, Info-ZIP's included");
        reader_case.ExpectNames({"first.zip", "stored.zip", "deflated.bin", "last.txt"});
        reader_case.Expect("first.zip", first);
        reader_case.Expect("stored.zip", stored);
        reader_case.Expect("deflated.bin", deflated);
        reader_case.Expect("last.txt", last);
        EXPECT_READERS_ACCEPT(reader_case);
    }
}
