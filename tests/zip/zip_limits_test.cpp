// The format's limits: 32-bit sizes and offsets and a 16-bit entry count. An
// entry that would pass them fails alone; the archive stays valid. Sparse
// files stand in for gigabytes.
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

class ZipLimitsTest : public ::testing::Test {
protected:
    ScratchFolder scratch_;
};

} // namespace

TEST_F(ZipLimitsTest, SourceOfFourGiBFailsBeforeWritingAnything) {
    std::string huge = scratch_.Path("huge.bin");
    std::string just_too_big = scratch_.Path("just-too-big.zip");
    if (!MakeSparseFile(huge, kFourGiB) || !MakeSparseFile(just_too_big, kFourGiB - 1)) {
        GTEST_SKIP() << "no room for a sparse 4 GiB file here";
    }
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "before.txt", "before"));
    EXPECT_EQ(ZipResult::WriteFailed,
              ZipArchive::AddFile(handle, "huge.bin", huge.c_str(), 0, ZipDataKind::FileName));
    EXPECT_EQ(ZipResult::WriteFailed,
              ZipArchive::AddFile(handle, "just-too-big.zip", just_too_big.c_str(), 0,
                                  ZipDataKind::FileName));
    // Not sticky: the next entry goes in right after the first.
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "after.txt", "after"));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    EXPECT_EQ(parsed.entries[0].offset + 30 + 10 + 17 + parsed.entries[0].compressed,
              parsed.entries[1].offset);
    reader_case.ExpectNames({"before.txt", "after.txt"});
    reader_case.Expect("before.txt", "before");
    reader_case.Expect("after.txt", "after");
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipLimitsTest, EntryThatWouldCarryTheArchivePastFourGiBIsTakenBackOut) {
    // The archive starts 300,000 bytes below 4 GiB, after a sparse prefix.
    const std::uint64_t start = kFourGiB - 300000;
    ReaderCase reader_case;
    FileHandle file = FileCreateForWrite(reader_case.ArchivePath().c_str());
    ASSERT_NE(kNoFile, file);
    ASSERT_TRUE(FileSeek(file, start));
    ZipHandle* handle = ZipArchive::Create(FileHandleToPointer(file), 0, ZipDataKind::Handle);
    ASSERT_NE(nullptr, handle);
    std::string first = SampleNoise(100000, 1);
    std::string stored_too_big = SampleNoise(250000, 2);
    std::string deflated_too_big = SampleNoise(250000, 3);
    std::string last = SampleText(50000, 4);
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "first.zip", first));
    std::uint64_t after_first = FileLength(reader_case.ArchivePath());
    EXPECT_EQ(ZipResult::WriteFailed, AddMemory(handle, "stored-too-big.zip", stored_too_big));
    EXPECT_EQ(after_first, FileLength(reader_case.ArchivePath()));
    EXPECT_EQ(ZipResult::WriteFailed, AddMemory(handle, "deflated-too-big.bin", deflated_too_big));
    EXPECT_EQ(after_first, FileLength(reader_case.ArchivePath()));
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "last.txt", last));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    FileClose(file);

    std::uint64_t length = FileLength(reader_case.ArchivePath());
    EXPECT_LE(length, 0xFFFFFFFFull);
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath(), start), start);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    EXPECT_EQ(start, parsed.entries[0].offset);
    EXPECT_EQ(after_first, parsed.entries[1].offset);
    EXPECT_EQ(first, parsed.entries[0].data);
    reader_case.SkipReader("7z", "opens no zip after a prefix of gigabytes, Info-ZIP's included");
    reader_case.ExpectNames({"first.zip", "last.txt"});
    reader_case.Expect("first.zip", first);
    reader_case.Expect("last.txt", last);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipLimitsTest, HandlePositionedWhereNoOffsetReachesIsRefused) {
    std::string path = scratch_.Path("far.bin");
    FileHandle file = FileCreateForWrite(path.c_str());
    ASSERT_NE(kNoFile, file);
    ASSERT_TRUE(FileSeek(file, kFourGiB));
    EXPECT_EQ(nullptr, ZipArchive::Create(FileHandleToPointer(file), 0, ZipDataKind::Handle));
    EXPECT_EQ(ZipResult::BadArguments, ZipLastResult);
    FileClose(file);
}

TEST_F(ZipLimitsTest, EntryCountStopsAt65535) {
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    std::vector<std::string> names;
    char name[16];
    for (unsigned i = 0; i < 65535; ++i) {
        std::snprintf(name, sizeof name, "d%05u", i);
        ZipResult result = ZipArchive::AddFile(handle, name, nullptr, 0, ZipDataKind::Folder);
        ASSERT_EQ(ZipResult::Success, result) << name;
        names.push_back(std::string(name) + "/");
    }
    std::uint64_t full = FileLength(reader_case.ArchivePath());
    EXPECT_EQ(ZipResult::WriteFailed,
              ZipArchive::AddFile(handle, "one-more", nullptr, 0, ZipDataKind::Folder));
    EXPECT_EQ(ZipResult::WriteFailed, AddMemory(handle, "one-more.txt", "data"));
    EXPECT_EQ(full, FileLength(reader_case.ArchivePath()));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    EXPECT_EQ(65535u, parsed.entry_count);
    reader_case.ExpectNames(names);
    EXPECT_READERS_ACCEPT(reader_case);
}
