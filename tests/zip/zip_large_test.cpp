// Sources of 4 GiB and more: Zip64 sizes in both headers, and 64-bit offsets
// after them. Sparse files stand in for the gigabytes, which are still read,
// deflated or copied, and checked by every reader's CRCs: minutes of work,
// so these run apart from the unit tests.
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "zip_archive.h"
#include "zip_test_support.h"

namespace {

constexpr std::uint64_t kFourGiB = 0x100000000ull;

ZipResult AddMemory(ZipHandle* handle, const char* name, const std::string& bytes) {
    return ZipArchive::AddFile(handle, name, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                               ZipDataKind::Memory);
}

ZipResult AddByName(ZipHandle* handle, const char* name, const std::string& path) {
    return ZipArchive::AddFile(handle, name, path.c_str(), 0, ZipDataKind::FileName);
}

// A sparse file of size bytes with a little text at its start, middle and end.
bool MakeMostlyZeros(const std::string& path, std::uint64_t size) {
    if (!MakeSparseFile(path, size)) {
        return false;
    }
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::string text = SampleText(4000, 7);
    for (std::uint64_t at : {std::uint64_t{0}, size / 2, size - text.size()}) {
        file.seekp(static_cast<std::streamoff>(at));
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    return static_cast<bool>(file);
}

class ZipLargeTest : public ::testing::Test {
protected:
    ScratchFolder scratch_;
};

void ExpectClassic(const ParsedEntry& e) {
    EXPECT_FALSE(e.central_zip64) << e.name;
    EXPECT_FALSE(e.local_zip64) << e.name;
    EXPECT_EQ(20, e.needed) << e.name;
}

} // namespace

TEST_F(ZipLargeTest, SourcesAroundFourGiBAreArchivedWithZip64Sizes) {
    // 4 GiB - 1 is already the 32-bit fields' "see Zip64"; 4 GiB + 1 is past them.
    std::string below = scratch_.Path("below.bin");
    std::string above = scratch_.Path("above.bin");
    if (!MakeSparseFile(below, kFourGiB - 1) || !MakeSparseFile(above, kFourGiB + 1)) {
        GTEST_SKIP() << "no room for sparse 4 GiB files here";
    }
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "before.txt", "before"));
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "below.bin", below));
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "above.bin", above));
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "after.txt", "after"));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));

    ParsedArchive parsed = ParseArchiveFile(reader_case.ArchivePath());
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(4u, parsed.entries.size());
    EXPECT_FALSE(parsed.zip64_end);
    ExpectClassic(parsed.entries[0]);
    ExpectClassic(parsed.entries[3]);
    const std::uint64_t sizes[2] = {kFourGiB - 1, kFourGiB + 1};
    for (int i = 0; i < 2; ++i) {
        const ParsedEntry& e = parsed.entries[1 + i];
        EXPECT_EQ(sizes[i], e.uncompressed) << e.name;
        EXPECT_TRUE(e.central_zip64) << e.name;
        EXPECT_EQ(45, e.needed) << e.name;
        EXPECT_EQ(8, e.method) << e.name;
        EXPECT_LT(e.compressed, 0xFFFFFFFFu) << e.name;
        // Zip64 sizes in the local header too, mended in place.
        EXPECT_TRUE(e.local_zip64) << e.name;
        EXPECT_EQ(45, e.local_needed) << e.name;
        EXPECT_EQ(e.uncompressed, e.local_uncompressed) << e.name;
        EXPECT_EQ(e.compressed, e.local_compressed) << e.name;
        EXPECT_EQ(e.crc, e.local_crc) << e.name;
        EXPECT_FALSE(e.has_descriptor) << e.name;
    }
    reader_case.Expect("before.txt", "before");
    reader_case.Expect("after.txt", "after");
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipLargeTest, MostlyEmptySourceOf4Point5GiBIsDeflated) {
    std::string path = scratch_.Path("acquisition.raw");
    const std::uint64_t size = kFourGiB + kFourGiB / 8;
    if (!MakeMostlyZeros(path, size)) {
        GTEST_SKIP() << "no room for a sparse 4.5 GiB file here";
    }
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "acquisition.raw", path));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchiveFile(reader_case.ArchivePath());
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(1u, parsed.entries.size());
    EXPECT_EQ(size, parsed.entries[0].uncompressed);
    EXPECT_TRUE(parsed.entries[0].central_zip64);
    EXPECT_LT(parsed.entries[0].compressed, size / 100);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipLargeTest, EntryAfterAStoredSourceOf4Point3GiBHasA64BitOffset) {
    std::string path = scratch_.Path("inner.zip");
    const std::uint64_t size = kFourGiB + kFourGiB * 3 / 40;
    if (!MakeMostlyZeros(path, size)) {
        GTEST_SKIP() << "no room for a sparse 4.3 GiB file here";
    }
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "inner.zip", path));
    const std::string report = SampleText(3000, 5);
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "ZipFailureFile.txt", report));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchiveFile(reader_case.ArchivePath());
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    const ParsedEntry& stored = parsed.entries[0];
    EXPECT_EQ(0, stored.method);
    EXPECT_EQ(size, stored.compressed);
    EXPECT_EQ(size, stored.uncompressed);
    EXPECT_TRUE(stored.central_zip64);
    const ParsedEntry& after = parsed.entries[1];
    EXPECT_EQ(30 + 9 + 37 + size, after.offset);
    EXPECT_TRUE(after.central_zip64);
    EXPECT_EQ(45, after.needed);
    EXPECT_FALSE(after.local_zip64);
    EXPECT_EQ(20, after.local_needed);
    EXPECT_TRUE(parsed.zip64_end);
    EXPECT_EQ(0xFFFFFFFFu, parsed.classic_directory_offset);
    EXPECT_EQ(2u, parsed.classic_entry_count);
    reader_case.Expect("ZipFailureFile.txt", report);
    EXPECT_READERS_ACCEPT(reader_case);
}
