// The writer over the file layer: file-name and handle targets and sources,
// attributes, the executable test, times, pipes with data descriptors, an
// archive appended after other data, and files another writer changes while
// they are read.
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "zip_archive.h"
#include "zip_test_support.h"

namespace {

ZipResult AddByName(ZipHandle* handle, const std::string& name, const std::string& path) {
    return ZipArchive::AddFile(handle, name.c_str(), path.c_str(), 0, ZipDataKind::FileName);
}

ZipResult AddMemory(ZipHandle* handle, const char* name, const std::string& bytes) {
    return ZipArchive::AddFile(handle, name, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                               ZipDataKind::Memory);
}

// Collects everything written into a pipe on a thread of its own, so that
// the writer never blocks on a full pipe.
class PipeDrain {
public:
    PipeDrain() {
        EXPECT_TRUE(MakePipe(read_end_, write_end_));
        thread_ = std::thread([this] {
            char chunk[8192];
            std::uint32_t got;
            while ((got = FileRead(read_end_, chunk, sizeof chunk)) > 0) {
                bytes_.append(chunk, got);
            }
        });
    }
    ~PipeDrain() { Finish(); }
    FileHandle WriteEnd() const { return write_end_; }
    // Closes the write end and returns everything that came through.
    const std::string& Finish() {
        if (thread_.joinable()) {
            FileClose(write_end_);
            thread_.join();
            FileClose(read_end_);
        }
        return bytes_;
    }

private:
    FileHandle read_end_ = kNoFile;
    FileHandle write_end_ = kNoFile;
    std::string bytes_;
    std::thread thread_;
};

// The size and contents that a pipe source delivers, fed from a thread.
class PipeFeed {
public:
    explicit PipeFeed(std::string bytes) : bytes_(std::move(bytes)) {
        EXPECT_TRUE(MakePipe(read_end_, write_end_));
        thread_ = std::thread([this] {
            FileWrite(write_end_, bytes_.data(), static_cast<std::uint32_t>(bytes_.size()));
            FileClose(write_end_);
        });
    }
    ~PipeFeed() {
        thread_.join();
        FileClose(read_end_);
    }
    FileHandle ReadEnd() const { return read_end_; }

private:
    std::string bytes_;
    FileHandle read_end_ = kNoFile;
    FileHandle write_end_ = kNoFile;
    std::thread thread_;
};

class ZipFilesTest : public ::testing::Test {
protected:
    void SetUp() override { SetTimeZone("UTC0"); }
    ScratchFolder scratch_;
};

} // namespace

TEST_F(ZipFilesTest, FilesByNameAreStoredOrDeflatedAndExtractExactly) {
    const std::pair<std::string, std::string> files[] = {
        {"Runs\\Batch7\\inlet.log", SampleText(200000, 1)},
        {"Runs\\Batch7\\raw.bin", SampleNoise(70000, 2)},
        {"Runs\\old\\LOG.ZIP", SampleNoise(50000, 3)},
        {"Runs\\old\\data.tgz", SampleText(1000, 4)},
        {"Runs\\empty.txt", ""},
        {"Runs\\README", SampleText(33, 5)},
    };
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    std::vector<std::string> names;
    for (const auto& [entry, bytes] : files) {
        std::string path = scratch_.Path(entry);
        WriteBytes(path, bytes);
        ASSERT_EQ(ZipResult::Success, AddByName(handle, entry, path)) << entry;
        std::string name = entry;
        for (char& c : name) {
            c = c == '\\' ? '/' : c;
        }
        names.push_back(name);
        reader_case.Expect(name, bytes);
    }
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    EXPECT_EQ(ZipResult::Success, ZipLastResult);

    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(6u, parsed.entries.size());
    for (std::size_t i = 0; i < parsed.entries.size(); ++i) {
        const ParsedEntry& e = parsed.entries[i];
        bool stored =
            e.name.find(".ZIP") != std::string::npos || e.name.find(".tgz") != std::string::npos;
        EXPECT_EQ(stored ? 0 : 8, e.method) << e.name;
        EXPECT_EQ(stored ? 0 : 2, e.flags) << e.name;
        EXPECT_EQ(e.flags, e.local_flags) << e.name;
        EXPECT_EQ(e.crc, e.local_crc) << e.name;
        EXPECT_EQ(e.compressed, e.local_compressed) << e.name;
        EXPECT_EQ(e.uncompressed, e.local_uncompressed) << e.name;
        EXPECT_EQ(files[i].second.size(), e.uncompressed) << e.name;
        EXPECT_FALSE(e.has_descriptor) << e.name;
    }
    // An empty file deflates to one fixed-code block holding only its end.
    const ParsedEntry& empty = parsed.entries[4];
    EXPECT_EQ(std::string("\x03\x00", 2), empty.data);
    EXPECT_EQ(2u, empty.compressed);
    EXPECT_EQ(0u, empty.crc);
    EXPECT_EQ(2, empty.flags);
    reader_case.ExpectNames(names);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipFilesTest, AttributesFollowTheFileSystem) {
    std::string data(100, 'a');
    std::string writable = scratch_.Path("writable.txt");
    std::string read_only = scratch_.Path("read-only.txt");
    WriteBytes(writable, data);
    WriteBytes(read_only, data);
    SetReadOnly(read_only, true);
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "writable.txt", writable));
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "read-only.txt", read_only));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    SetReadOnly(read_only, false);

    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    // Only the archive bit may differ between platforms.
    EXPECT_EQ(0x81800000u, parsed.entries[0].external & ~0x20u);
    EXPECT_EQ(0x81000001u, parsed.entries[1].external & ~0x20u);
    reader_case.Expect("writable.txt", data);
    reader_case.Expect("read-only.txt", data);
    EXPECT_READERS_ACCEPT(reader_case);
}

namespace {

// Adds each file by name to a fresh archive and returns the external
// attributes that the central directory gives them, in order.
std::vector<std::uint32_t>
ExternalAttributesOf(ScratchFolder& scratch,
                     const std::vector<std::pair<std::string, std::string>>& files) {
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    EXPECT_NE(nullptr, handle);
    for (const auto& [name, bytes] : files) {
        std::string path = scratch.Path(name);
        WriteBytes(path, bytes);
        EXPECT_EQ(ZipResult::Success, AddByName(handle, name, path)) << name;
        reader_case.Expect(name, bytes);
    }
    EXPECT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    EXPECT_EQ("", parsed.error);
    std::vector<std::uint32_t> attributes;
    for (std::size_t i = 0; i < parsed.entries.size(); ++i) {
        attributes.push_back(parsed.entries[i].external);
        // The test reads the head of the file; the entry still holds all of it.
        EXPECT_EQ(files[i].second.size(), parsed.entries[i].uncompressed);
    }
    std::string reader_report;
    EXPECT_NE(1, reader_case.Check(reader_report)) << reader_report;
    return attributes;
}

} // namespace

TEST_F(ZipFilesTest, PeImagesGetOwnerExecute) {
    // "MZ" at 0, the PE header's offset at 0x3C, "PE\0\0" at that offset.
    auto image = [](std::uint32_t pe_offset, std::size_t size, const char* signature = "PE") {
        std::string bytes = SampleNoise(size, 7);
        bytes[0] = 'M';
        bytes[1] = 'Z';
        for (int i = 0; i < 4; ++i) {
            bytes[0x3C + i] = static_cast<char>(pe_offset >> (8 * i));
        }
        if (std::uint64_t{pe_offset} + 4 <= size) {
            bytes.replace(pe_offset, 4, std::string(signature, 2) + std::string(2, '\0'));
        }
        return bytes;
    };
    std::string old_mark = image(64, 300);
    // The 16-bit 0x54AD that no program starts with, and at 36 an offset of a
    // "PE" signature: not an image.
    old_mark[0] = static_cast<char>(0xAD);
    old_mark[1] = 0x54;
    old_mark.replace(36, 4, std::string("\x40\0\0\0", 4));
    const std::vector<std::pair<std::string, std::string>> files = {
        {"program.exe", image(0x80, 4096)},
        {"library.dll", image(0xF8, 1024)},
        {"tail.exe", image(296, 300)},                   // signature ends at the last byte
        {"past.exe", image(297, 300)},                   // signature would run past the end
        {"far.exe", image(0xFFFFFFFCu, 300)},            // offset + 4 wraps in 32 bits
        {"wild.exe", image(0xFFFFFFFFu, 300)},           // offset itself far past the end
        {"ne.exe", image(0x80, 300, "NE")},              // a 16-bit program's header
        {"cut.exe", image(0x80, 4096).substr(0, 0x3F)},  // too short for the offset
        {"head.exe", image(0x80, 4096).substr(0, 0x80)}, // cut before its PE header
        {"nomark.exe", old_mark},
        {"notes.txt", SampleText(300, 3)},
    };
    std::vector<std::uint32_t> attributes = ExternalAttributesOf(scratch_, files);
    ASSERT_EQ(files.size(), attributes.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        bool executable = i < 3;
        EXPECT_EQ(executable ? 0x81C00000u : 0x81800000u, attributes[i] & 0xFFFF0000u)
            << files[i].first;
    }
}

TEST_F(ZipFilesTest, BuiltProgramAndLibraryGetOwnerExecute) {
    std::string program = ReadBytes(PeSamplePath("pe_sample.exe"));
    std::string library = ReadBytes(PeSamplePath("pe_sample_library.dll"));
    if (program.empty() || library.empty()) {
        GTEST_SKIP() << "no Windows program and library were built for this test";
    }
    std::vector<std::uint32_t> attributes = ExternalAttributesOf(
        scratch_, {{"pe_sample.exe", program}, {"pe_sample_library.dll", library}});
    ASSERT_EQ(2u, attributes.size());
    EXPECT_EQ(0x81C00000u, attributes[0] & 0xFFFF0000u);
    EXPECT_EQ(0x81C00000u, attributes[1] & 0xFFFF0000u);
}

TEST_F(ZipFilesTest, FileTimesGoIntoDosFieldsAndExtendedTimestamps) {
    std::string modern = scratch_.Path("modern.txt");
    std::string ancient = scratch_.Path("ancient.txt");
    WriteBytes(modern, "x");
    WriteBytes(ancient, "y");
    ASSERT_TRUE(SetModifiedTime(modern, 1622548800 + 3661)); // 2021-06-01 13:01:01 UTC
    ASSERT_TRUE(SetModifiedTime(ancient, 157766400));        // 1975-01-01 00:00:00 UTC
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "modern.txt", modern));
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "ancient.txt", ancient));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    // DOS fields from the file system's UTC time, not converted to local time.
    std::uint32_t modern_dos = ((41u << 9 | 6u << 5 | 1u) << 16) | (13u << 11 | 1u << 5 | 0u);
    EXPECT_EQ(modern_dos, parsed.entries[0].dos_date_time);
    EXPECT_EQ(1622548800u + 3661, Get32(parsed.entries[0].central_extra, 5));
    EXPECT_EQ(1622548800u + 3661, Get32(parsed.entries[0].local_extra, 5));
    // Before 1980: the nearest DOS date; the Unix time keeps 1975.
    EXPECT_EQ((0u << 9 | 1u << 5 | 1u) << 16, parsed.entries[1].dos_date_time);
    EXPECT_EQ(157766400u, Get32(parsed.entries[1].central_extra, 5));
    reader_case.Expect("modern.txt", "x");
    reader_case.Expect("ancient.txt", "y");
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipFilesTest, UnopenableSourcesFailAloneAndWriteNothing) {
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    std::string present = scratch_.Path("present.txt");
    WriteBytes(present, "present");
    EXPECT_EQ(ZipResult::OpenFailed,
              AddByName(handle, "missing.txt", scratch_.Path("missing.txt")));
    EXPECT_EQ(ZipResult::OpenFailed, ZipLastResult);
    std::string folder = scratch_.Path("sub");
    WriteBytes(scratch_.Path("sub/inside.txt"), "inside");
    EXPECT_EQ(ZipResult::OpenFailed, AddByName(handle, "sub", folder));
    EXPECT_EQ(ZipResult::Success, AddByName(handle, "present.txt", present));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(1u, parsed.entries.size());
    EXPECT_EQ(0u, parsed.entries[0].offset);
    reader_case.Expect("present.txt", "present");
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipFilesTest, ArchiveAppendedOnAHandleUsesAbsoluteOffsets) {
    ReaderCase reader_case;
    FileHandle file = FileCreateForWrite(reader_case.ArchivePath().c_str());
    ASSERT_NE(kNoFile, file);
    std::string prefix = SampleNoise(1000, 11);
    ASSERT_EQ(1000u, FileWrite(file, prefix.data(), 1000));
    ZipHandle* handle = ZipArchive::Create(FileHandleToPointer(file), 0, ZipDataKind::Handle);
    ASSERT_NE(nullptr, handle);
    std::string text = SampleText(20000, 12);
    std::string noise = SampleNoise(3000, 13);
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "a.txt", text));
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "b.gz", noise));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    // The caller's handle stays open and where the writer left the duplicate.
    std::uint64_t here = 0;
    EXPECT_TRUE(FileTell(file, here));
    FileClose(file);

    std::string output = ReadBytes(reader_case.ArchivePath());
    EXPECT_EQ(here, output.size());
    EXPECT_EQ(prefix, output.substr(0, 1000));
    ParsedArchive parsed = ParseArchive(output);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    EXPECT_EQ(1000u, parsed.entries[0].offset);
    EXPECT_EQ(text.size(), parsed.entries[0].uncompressed);
    EXPECT_EQ(noise, parsed.entries[1].data);
    EXPECT_EQ(2, parsed.entries[0].flags);
    EXPECT_EQ(0, parsed.entries[1].flags);
    reader_case.Expect("a.txt", text);
    reader_case.Expect("b.gz", noise);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipFilesTest, EmptyArchiveOnAHandleEndsAtItsStart) {
    std::string path = scratch_.Path("prefixed.bin");
    FileHandle file = FileCreateForWrite(path.c_str());
    ASSERT_NE(kNoFile, file);
    ASSERT_EQ(5u, FileWrite(file, "12345", 5));
    ZipHandle* handle = ZipArchive::Create(FileHandleToPointer(file), 0, ZipDataKind::Handle);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    FileClose(file);
    std::string output = ReadBytes(path);
    ASSERT_EQ(27u, output.size());
    EXPECT_EQ(0x06054B50u, Get32(output, 5));
    EXPECT_EQ(0u, Get32(output, 5 + 12));
    EXPECT_EQ(5u, Get32(output, 5 + 16));
}

TEST_F(ZipFilesTest, HandleSourceIsReadWholeAndLeftOpen) {
    std::string path = scratch_.Path("source.txt");
    std::string text = SampleText(50000, 21);
    WriteBytes(path, text);
    FileHandle source = FileOpenForRead(path.c_str());
    ASSERT_NE(kNoFile, source);
    ASSERT_TRUE(FileSeek(source, 1234));
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success,
              ZipArchive::AddFile(handle, "whole.txt", FileHandleToPointer(source), 0,
                                  ZipDataKind::Handle));
    ASSERT_EQ(ZipResult::Success,
              ZipArchive::AddFile(handle, "again.txt", FileHandleToPointer(source), 0,
                                  ZipDataKind::Handle));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    char byte = 0;
    ASSERT_TRUE(FileSeek(source, 0));
    EXPECT_EQ(1u, FileRead(source, &byte, 1));
    FileClose(source);
    reader_case.Expect("whole.txt", text);
    reader_case.Expect("again.txt", text);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipFilesTest, PipeOutputGetsDataDescriptors) {
    std::string text = SampleText(120000, 31);
    std::string noise = SampleNoise(20000, 32);
    std::string piped = SampleText(9000, 33);
    PipeDrain drain;
    ZipHandle* handle =
        ZipArchive::Create(FileHandleToPointer(drain.WriteEnd()), 0, ZipDataKind::Handle);
    ASSERT_NE(nullptr, handle);
    std::string path = scratch_.Path("on-disk.txt");
    WriteBytes(path, text);
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "on-disk.txt", path));
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "noise.zip", noise));
    ASSERT_EQ(ZipResult::Success,
              ZipArchive::AddFile(handle, "logs", nullptr, 0, ZipDataKind::Folder));
    {
        PipeFeed feed(piped);
        ASSERT_EQ(ZipResult::Success,
                  ZipArchive::AddFile(handle, "piped.txt", FileHandleToPointer(feed.ReadEnd()), 0,
                                      ZipDataKind::Handle));
    }
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    std::string output = drain.Finish();

    ParsedArchive parsed = ParseArchive(output);
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(4u, parsed.entries.size());
    for (const ParsedEntry& e : parsed.entries) {
        EXPECT_EQ(8, e.flags) << e.name;
        EXPECT_EQ(8, e.local_flags) << e.name;
        EXPECT_EQ(0u, e.local_crc) << e.name;
        EXPECT_TRUE(e.has_descriptor) << e.name;
        EXPECT_EQ(e.crc, e.descriptor_crc) << e.name;
        EXPECT_EQ(e.compressed, e.descriptor_compressed) << e.name;
        EXPECT_EQ(e.uncompressed, e.descriptor_uncompressed) << e.name;
    }
    // Deflated: compressed size 0 up front, uncompressed as anticipated.
    EXPECT_EQ(0u, parsed.entries[0].local_compressed);
    EXPECT_EQ(text.size(), parsed.entries[0].local_uncompressed);
    // Stored: the anticipated size in both.
    EXPECT_EQ(noise.size(), parsed.entries[1].local_compressed);
    EXPECT_EQ(noise.size(), parsed.entries[1].local_uncompressed);
    EXPECT_EQ(0x41C00010u, parsed.entries[2].external);
    // A pipe source of unknown size may pass 4 GiB: Zip64 sizes up front
    // (0xFFFFFFFF in the fixed fields, 0 = unknown in the Zip64 field) and
    // 8-byte sizes in its descriptor; stream attributes.
    EXPECT_FALSE(parsed.entries[0].local_zip64);
    EXPECT_TRUE(parsed.entries[3].local_zip64);
    EXPECT_EQ(45, parsed.entries[3].local_needed);
    EXPECT_EQ(0u, parsed.entries[3].local_uncompressed);
    EXPECT_EQ(piped.size(), parsed.entries[3].uncompressed);
    EXPECT_EQ(20, parsed.entries[3].needed);
    EXPECT_EQ(0x80000000u, parsed.entries[3].external);

    ReaderCase reader_case;
    WriteBytes(reader_case.ArchivePath(), output);
    reader_case.Expect("on-disk.txt", text);
    reader_case.Expect("noise.zip", noise);
    reader_case.Expect("piped.txt", piped);
    EXPECT_READERS_ACCEPT(reader_case);
}

TEST_F(ZipFilesTest, PipeOutputFlagsUtf8NamesBesideItsDescriptors) {
    std::string name;
    if (!NarrowFromUtf8("Sch\xc3\xa4tze.txt", name)) {
        GTEST_SKIP() << "the code page has no a-umlaut";
    }
    PipeDrain drain;
    ZipHandle* handle =
        ZipArchive::Create(FileHandleToPointer(drain.WriteEnd()), 0, ZipDataKind::Handle);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, name.c_str(), "values"));
    ASSERT_EQ(ZipResult::Success, AddMemory(handle, "plain.txt", "values"));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(drain.Finish());
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(2u, parsed.entries.size());
    EXPECT_EQ("Sch\xc3\xa4tze.txt", parsed.entries[0].name);
    EXPECT_EQ(0x808, parsed.entries[0].flags);
    EXPECT_EQ(0x808, parsed.entries[0].local_flags);
    EXPECT_EQ(8, parsed.entries[1].flags);
    EXPECT_EQ(8, parsed.entries[1].local_flags);
}

TEST_F(ZipFilesTest, StoredEntryOfTheWrongSizeOnlyFailsWhereHeadersCannotBeMended) {
    std::string bytes = SampleNoise(5000, 41);
    // Seekable output: the anticipated size of a pipe source may be wrong.
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    {
        PipeFeed feed(bytes);
        EXPECT_EQ(ZipResult::Success,
                  ZipArchive::AddFile(handle, "told-100.zip", FileHandleToPointer(feed.ReadEnd()),
                                      100, ZipDataKind::Handle));
    }
    {
        // 0xFFFFFFFF is the format's "unknown", not a size too large to store.
        PipeFeed feed(bytes);
        EXPECT_EQ(ZipResult::Success, ZipArchive::AddFile(handle, "told-unknown.txt",
                                                          FileHandleToPointer(feed.ReadEnd()),
                                                          0xFFFFFFFFu, ZipDataKind::Handle));
    }
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    reader_case.Expect("told-unknown.txt", bytes);
    reader_case.Expect("told-100.zip", bytes);
    EXPECT_READERS_ACCEPT(reader_case);

    // Non-seekable output: the header already went out with the wrong size.
    PipeDrain drain;
    handle = ZipArchive::Create(FileHandleToPointer(drain.WriteEnd()), 0, ZipDataKind::Handle);
    ASSERT_NE(nullptr, handle);
    {
        PipeFeed feed(bytes);
        EXPECT_EQ(ZipResult::MindChanged,
                  ZipArchive::AddFile(handle, "told-100.zip", FileHandleToPointer(feed.ReadEnd()),
                                      100, ZipDataKind::Handle));
    }
    EXPECT_EQ(ZipResult::Success, AddMemory(handle, "after.zip", bytes));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    ParsedArchive parsed = ParseArchive(drain.Finish());
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(1u, parsed.entries.size());
    EXPECT_EQ("after.zip", parsed.entries[0].name);
}

// Another program writing a file while the writer reads it: the file stays
// open for writing (shared with readers and writers, as the C library opens
// it) from before the entry starts until Stop.
class RivalWriter {
public:
    explicit RivalWriter(const std::string& path) : out_(path, std::ios::binary | std::ios::app) {}
    ~RivalWriter() { Stop(); }

    /* Appends chunks on a thread of its own until Stop or `limit` bytes. */
    void StartAppending(std::size_t limit) {
        thread_ = std::thread([this, limit] {
            const std::string chunk = SampleText(4096, 61);
            for (std::size_t put = 0; !stop_ && put < limit; put += chunk.size()) {
                out_.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                out_.flush();
            }
        });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        out_.close();
    }

private:
    std::ofstream out_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(ZipFilesTest, FilesChangingWhileReadGetTheBytesReadWithTheirRealSizes) {
    const std::string start = SampleText(2000000, 62);
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    // Growing: a deflated and a stored entry, each a prefix of the final file
    // at least as long as the file was when the entry began.
    std::vector<std::string> finals;
    for (const std::string name : {"growing.log", "growing.zip"}) {
        const std::string path = scratch_.Path(name);
        WriteBytes(path, start);
        RivalWriter rival(path);
        rival.StartAppending(8u << 20);
        EXPECT_EQ(ZipResult::Success, AddByName(handle, name, path)) << name;
        rival.Stop();
        finals.push_back(ReadBytes(path));
    }
    // Shrinking: cut and written again shorter while it is read; the entry is
    // a prefix of what the file held.
    const std::string cut_path = scratch_.Path("shrinking.log");
    WriteBytes(cut_path, start);
    std::thread cutter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::ofstream(cut_path, std::ios::binary | std::ios::trunc)
            .write(start.data(), static_cast<std::streamsize>(start.size() / 4));
    });
    EXPECT_EQ(ZipResult::Success, AddByName(handle, "shrinking.log", cut_path));
    cutter.join();
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));

    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(3u, parsed.entries.size());
    for (std::size_t i = 0; i < parsed.entries.size(); ++i) {
        const ParsedEntry& e = parsed.entries[i];
        // The headers were mended in place with what was actually read.
        EXPECT_EQ(e.crc, e.local_crc) << e.name;
        EXPECT_EQ(e.compressed, e.local_compressed) << e.name;
        EXPECT_EQ(e.uncompressed, e.local_uncompressed) << e.name;
        EXPECT_FALSE(e.has_descriptor) << e.name;
        const std::string& source = i < 2 ? finals[i] : start;
        ASSERT_LE(e.uncompressed, source.size()) << e.name;
        if (i < 2) {
            EXPECT_GE(e.uncompressed, start.size()) << e.name;
        }
        if (e.method == 0) {
            EXPECT_EQ(e.uncompressed, e.compressed) << e.name;
        }
        reader_case.Expect(e.name, source.substr(0, e.uncompressed));
    }
    EXPECT_READERS_ACCEPT(reader_case);
}

#ifndef _WIN32
TEST_F(ZipFilesTest, FullDeviceFailsEachEntryWithoutStickyError) {
    // A file target whose writes fail: entries fail alone, Close reports it.
    ZipHandle* handle = ZipArchive::Create("/dev/full", 0, ZipDataKind::FileName);
    if (handle == nullptr) {
        GTEST_SKIP() << "no /dev/full here";
    }
    EXPECT_EQ(ZipResult::WriteFailed, AddMemory(handle, "a.txt", "abc"));
    EXPECT_EQ(ZipResult::WriteFailed, AddMemory(handle, "b.txt", "abc"));
    EXPECT_EQ(ZipResult::WriteFailed, ZipArchive::Close(handle));
}
#endif

#ifdef _WIN32
#include <windows.h>

TEST_F(ZipFilesTest, OnlyTheKnownAttributeBitsReachTheLowByte) {
    std::string path = scratch_.Path("marked.txt");
    WriteBytes(path, "marked");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                     FILE_ATTRIBUTE_ARCHIVE |
                                                     FILE_ATTRIBUTE_TEMPORARY));
    DWORD reported = GetFileAttributesA(path.c_str());
    ReaderCase reader_case;
    ZipHandle* handle =
        ZipArchive::Create(reader_case.ArchivePath().c_str(), 0, ZipDataKind::FileName);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(ZipResult::Success, AddByName(handle, "marked.txt", path));
    ASSERT_EQ(ZipResult::Success, ZipArchive::Close(handle));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ParsedArchive parsed = ParseArchive(ReadBytes(reader_case.ArchivePath()));
    ASSERT_EQ("", parsed.error);
    ASSERT_EQ(1u, parsed.entries.size());
    EXPECT_EQ(0x81800000u | (reported & 0x27u), parsed.entries[0].external);
    reader_case.Expect("marked.txt", "marked");
    EXPECT_READERS_ACCEPT(reader_case);
}
#endif
