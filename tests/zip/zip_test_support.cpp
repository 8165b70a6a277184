// Test helpers; the platform parts are small and kept side by side here.
#include "zip_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string UniqueName(const char* prefix) {
    static std::atomic<unsigned> counter{0};
    std::ostringstream name;
#ifdef _WIN32
    name << prefix << GetCurrentProcessId() << "-" << counter++;
#else
    name << prefix << getpid() << "-" << counter++;
#endif
    return name.str();
}

#ifdef _WIN32
std::string CurrentTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info == nullptr ? std::string("case")
                                       : std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    return name;
}
#endif

} // namespace

ScratchFolder::ScratchFolder() {
    fs::path root = fs::temp_directory_path() / UniqueName("gleanwell-zip-");
    fs::create_directories(root);
    root_ = root.string();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& item : fs::recursive_directory_iterator(root_, ignored)) {
        fs::permissions(item.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
}

std::string ScratchFolder::Path(const std::string& name) const {
    return (fs::path(root_) / fs::path(name)).make_preferred().string();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    fs::path target(path);
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path, std::uint64_t from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string PeSamplePath(const std::string& name) {
#ifdef _WIN32
    // The samples are built beside the test program.
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::string();
    }
    return (fs::path(self).parent_path() / name).string();
#else
    return (fs::path(GLEANWELL_PE_SAMPLES) / name).string();
#endif
}

std::uint64_t FileLength(const std::string& path) {
    std::error_code error;
    std::uint64_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

std::string SampleText(std::size_t length, unsigned seed) {
    static const char* const words[] = {"inlet ",   "fraction ", "pressure ", "valve ",   "0.125 ",
                                        "status\n", "pump ",     "sample ",   "ERROR ",   "flow ",
                                        "batch7 ",  "rack ",     "=42\r\n",   "washing ", "tube "};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < length) {
        text += words[random() % (sizeof words / sizeof words[0])];
    }
    text.resize(length);
    return text;
}

std::string SampleNoise(std::size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::string noise(length, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random() & 0xFF);
    }
    return noise;
}

#ifdef _WIN32

bool MakePipe(FileHandle& read_end, FileHandle& write_end) {
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    if (!CreatePipe(&r, &w, nullptr, 0)) {
        return false;
    }
    read_end = reinterpret_cast<FileHandle>(r);
    write_end = reinterpret_cast<FileHandle>(w);
    return true;
}

void SetReadOnly(const std::string& path, bool read_only) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    attributes = read_only ? (attributes | FILE_ATTRIBUTE_READONLY)
                           : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    SetFileAttributesA(path.c_str(), attributes);
}

bool SetModifiedTime(const std::string& path, std::int64_t unix_seconds) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::uint64_t ticks = static_cast<std::uint64_t>(unix_seconds + 11644473600LL) * 10000000u;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    BOOL done = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return done != FALSE;
}

void SetTimeZone(const char* tz) {
    _putenv_s("TZ", tz);
    _tzset();
}

bool NarrowFromUtf8(const std::string& utf8, std::string& narrow) {
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
    if (units <= 0) {
        return false;
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], units);
    BOOL lossy = FALSE;
    UINT code_page = GetACP();
    BOOL* lossy_out = code_page == CP_UTF8 ? nullptr : &lossy;
    DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int bytes =
        WideCharToMultiByte(CP_ACP, flags, wide.c_str(), -1, nullptr, 0, nullptr, lossy_out);
    if (bytes <= 0 || lossy) {
        return false;
    }
    narrow.assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.c_str(), -1, &narrow[0], bytes, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(bytes - 1));
    return true;
}

#else

bool MakePipe(FileHandle& read_end, FileHandle& write_end) {
    int ends[2];
    if (pipe(ends) != 0) {
        return false;
    }
    read_end = ends[0];
    write_end = ends[1];
    return true;
}

void SetReadOnly(const std::string& path, bool read_only) {
    chmod(path.c_str(), read_only ? 0444 : 0644);
}

bool SetModifiedTime(const std::string& path, std::int64_t unix_seconds) {
    struct timeval times[2];
    times[0].tv_sec = static_cast<time_t>(unix_seconds);
    times[0].tv_usec = 0;
    times[1] = times[0];
    return utimes(path.c_str(), times) == 0;
}

void SetTimeZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

bool NarrowFromUtf8(const std::string& utf8, std::string& narrow) {
    narrow = utf8;
    return true;
}

#endif

bool MakeSparseFile(const std::string& path, std::uint64_t size) {
    FileHandle file = FileCreateForWrite(path.c_str());
    if (file == kNoFile) {
        return false;
    }
    bool done = FileSeek(file, size) && FileTruncateHere(file);
    FileClose(file);
    return done;
}

std::uint16_t Get16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
}

std::uint32_t Get32(const std::string& bytes, std::size_t at) {
    return Get16(bytes, at) | (static_cast<std::uint32_t>(Get16(bytes, at + 2)) << 16);
}

std::uint64_t Get64(const std::string& bytes, std::size_t at) {
    return Get32(bytes, at) | (static_cast<std::uint64_t>(Get32(bytes, at + 4)) << 32);
}

namespace {

// The bytes of an archive's output, from memory or from a file.
class ArchiveBytes {
public:
    virtual ~ArchiveBytes() = default;
    virtual std::uint64_t Size() const = 0;
    /* Up to count bytes from position at (fewer at the end). */
    virtual std::string Read(std::uint64_t at, std::size_t count) const = 0;
};

class MemoryBytes : public ArchiveBytes {
public:
    explicit MemoryBytes(const std::string& bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::string Read(std::uint64_t at, std::size_t count) const override {
        return at >= bytes_.size() ? std::string() : bytes_.substr(at, count);
    }

private:
    const std::string& bytes_;
};

class FileBytes : public ArchiveBytes {
public:
    FileBytes(const std::string& path, std::uint64_t from) : from_(from) {
        file_.open(path, std::ios::binary);
        file_.seekg(0, std::ios::end);
        std::uint64_t length = static_cast<std::uint64_t>(file_.tellg());
        size_ = length > from ? length - from : 0;
    }
    std::uint64_t Size() const override { return size_; }
    std::string Read(std::uint64_t at, std::size_t count) const override {
        std::string bytes(count, '\0');
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(from_ + at));
        file_.read(&bytes[0], static_cast<std::streamsize>(count));
        bytes.resize(static_cast<std::size_t>(file_.gcount()));
        return bytes;
    }

private:
    mutable std::ifstream file_;
    std::uint64_t from_;
    std::uint64_t size_ = 0;
};

// The values of a Zip64 extra field (tag 1) within extra, in the order of
// the fields that hold 0xFFFFFFFF; false when a needed value is missing.
bool Zip64Values(const std::string& extra, std::vector<std::uint64_t*> wanted) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        std::uint16_t tag = Get16(extra, at);
        std::uint16_t size = Get16(extra, at + 2);
        if (tag == 1) {
            if (size < 8 * wanted.size() || at + 4 + size > extra.size()) {
                return false;
            }
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                *wanted[i] = Get64(extra, at + 4 + 8 * i);
            }
            return true;
        }
        at += 4 + size;
    }
    return wanted.empty();
}

ParsedArchive Parse(const ArchiveBytes& output, std::uint64_t base, bool with_data) {
    ParsedArchive archive;
    if (output.Size() < 22) {
        archive.error = "shorter than an end record";
        return archive;
    }
    std::uint64_t end = output.Size() - 22;
    std::string record = output.Read(end, 22);
    if (Get32(record, 0) != 0x06054B50) {
        archive.error = "no end record at the end";
        return archive;
    }
    archive.end_record_at = end;
    archive.entry_count = Get16(record, 10);
    if (Get16(record, 8) != archive.entry_count || Get16(record, 4) != 0 || Get16(record, 6) != 0 ||
        Get16(record, 20) != 0) {
        archive.error = "end record fields";
        return archive;
    }
    archive.directory_size = Get32(record, 12);
    archive.directory_offset = Get32(record, 16);
    std::uint64_t directory_end = end;
    if (end >= 20 + 56) {
        std::string locator = output.Read(end - 20, 20);
        if (Get32(locator, 0) == 0x07064B50) {
            archive.zip64_end = true;
            std::uint64_t record_at = Get64(locator, 8);
            if (Get32(locator, 4) != 0 || Get32(locator, 16) != 1 || record_at < base ||
                record_at - base != end - 20 - 56) {
                archive.error = "Zip64 end locator";
                return archive;
            }
            std::string zip64 = output.Read(end - 20 - 56, 56);
            if (Get32(zip64, 0) != 0x06064B50 || Get64(zip64, 4) != 44 || Get16(zip64, 14) != 45 ||
                Get32(zip64, 16) != 0 || Get32(zip64, 20) != 0 ||
                Get64(zip64, 24) != Get64(zip64, 32)) {
                archive.error = "Zip64 end record fields";
                return archive;
            }
            archive.zip64_made_by = Get16(zip64, 12);
            archive.classic_entry_count = archive.entry_count;
            archive.classic_directory_size = static_cast<std::uint32_t>(archive.directory_size);
            archive.classic_directory_offset = static_cast<std::uint32_t>(archive.directory_offset);
            archive.entry_count = Get64(zip64, 32);
            archive.directory_size = Get64(zip64, 40);
            archive.directory_offset = Get64(zip64, 48);
            directory_end = end - 20 - 56;
        }
    }
    if (archive.directory_offset < base ||
        archive.directory_offset - base + archive.directory_size != directory_end) {
        archive.error = "central directory does not end at the end records";
        return archive;
    }
    std::string directory = output.Read(archive.directory_offset - base,
                                        static_cast<std::size_t>(archive.directory_size));
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < archive.entry_count; ++i) {
        if (at + 46 > directory.size() || Get32(directory, at) != 0x02014B50) {
            archive.error = "central header " + std::to_string(i);
            return archive;
        }
        ParsedEntry e;
        e.made_by = Get16(directory, at + 4);
        e.needed = Get16(directory, at + 6);
        e.flags = Get16(directory, at + 8);
        e.method = Get16(directory, at + 10);
        e.dos_date_time =
            Get16(directory, at + 12) | (std::uint32_t{Get16(directory, at + 14)} << 16);
        e.crc = Get32(directory, at + 16);
        e.compressed = Get32(directory, at + 20);
        e.uncompressed = Get32(directory, at + 24);
        std::uint16_t name_length = Get16(directory, at + 28);
        std::uint16_t extra_length = Get16(directory, at + 30);
        if (Get16(directory, at + 32) != 0 || Get16(directory, at + 34) != 0 ||
            Get16(directory, at + 36) != 0) {
            archive.error = "comment, disk or internal attributes set";
            return archive;
        }
        e.external = Get32(directory, at + 38);
        e.offset = Get32(directory, at + 42);
        e.name = directory.substr(at + 46, name_length);
        e.central_extra = directory.substr(at + 46 + name_length, extra_length);
        at += 46 + name_length + extra_length;
        std::vector<std::uint64_t*> wide;
        for (std::uint64_t* value : {&e.uncompressed, &e.compressed, &e.offset}) {
            if (*value == 0xFFFFFFFFu) {
                wide.push_back(value);
            }
        }
        if (!Zip64Values(e.central_extra, wide)) {
            archive.error = "Zip64 field of " + e.name;
            return archive;
        }
        e.central_zip64 = !wide.empty();

        if (e.offset < base) {
            archive.error = "local header before the output of " + e.name;
            return archive;
        }
        std::uint64_t local = e.offset - base;
        std::string head = output.Read(local, 30);
        if (head.size() < 30 || Get32(head, 0) != 0x04034B50) {
            archive.error = "local header of " + e.name;
            return archive;
        }
        e.local_needed = Get16(head, 4);
        e.local_flags = Get16(head, 6);
        e.local_method = Get16(head, 8);
        e.local_crc = Get32(head, 14);
        e.local_compressed = Get32(head, 18);
        e.local_uncompressed = Get32(head, 22);
        std::uint16_t local_name = Get16(head, 26);
        std::uint16_t local_extra = Get16(head, 28);
        if (output.Read(local + 30, local_name) != e.name) {
            archive.error = "local name of " + e.name;
            return archive;
        }
        e.local_extra = output.Read(local + 30 + local_name, local_extra);
        if (e.local_compressed == 0xFFFFFFFFu && e.local_uncompressed == 0xFFFFFFFFu &&
            Zip64Values(e.local_extra, {&e.local_uncompressed, &e.local_compressed})) {
            e.local_zip64 = true;
        }
        std::uint64_t data = local + 30 + local_name + local_extra;
        if (with_data) {
            e.data = output.Read(data, static_cast<std::size_t>(e.compressed));
        }
        std::uint64_t after = data + e.compressed;
        std::string descriptor = output.Read(after, e.local_zip64 ? 24 : 16);
        if (descriptor.size() >= 16 && Get32(descriptor, 0) == 0x08074B50) {
            e.has_descriptor = true;
            e.descriptor_crc = Get32(descriptor, 4);
            if (e.local_zip64 && descriptor.size() == 24) {
                e.descriptor_compressed = Get64(descriptor, 8);
                e.descriptor_uncompressed = Get64(descriptor, 16);
            } else {
                e.descriptor_compressed = Get32(descriptor, 8);
                e.descriptor_uncompressed = Get32(descriptor, 12);
            }
        }
        archive.entries.push_back(e);
    }
    if (at != directory.size()) {
        archive.error = "central directory size";
    }
    return archive;
}

} // namespace

ParsedArchive ParseArchive(const std::string& output, std::uint64_t base) {
    return Parse(MemoryBytes(output), base, true);
}

ParsedArchive ParseArchiveFile(const std::string& path, std::uint64_t base) {
    return Parse(FileBytes(path, base), base, false);
}

ReaderCase::ReaderCase() {
#ifdef _WIN32
    const char* keep = std::getenv("GLEANWELL_ZIP_KEEP");
    if (keep != nullptr && keep[0] != '\0') {
        keep_ = true;
        folder_ = (fs::path(keep) / CurrentTestName()).string();
        fs::remove_all(folder_);
    }
#endif
    if (!keep_) {
        folder_ = (fs::temp_directory_path() / UniqueName("gleanwell-readers-")).string();
    }
    fs::create_directories(folder_);
}

ReaderCase::~ReaderCase() {
    if (!keep_) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

std::string ReaderCase::ArchivePath() const {
    return (fs::path(folder_) / "archive.zip").string();
}

void ReaderCase::Expect(const std::string& name, const std::string& bytes) {
    WriteBytes((fs::path(folder_) / "expect" / fs::path(name)).string(), bytes);
}

void ReaderCase::ExpectNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += name + "\n";
    }
    WriteBytes((fs::path(folder_) / "names.txt").string(), text);
}

void ReaderCase::SkipReader(const std::string& tool, const std::string& reason) {
    std::ofstream out((fs::path(folder_) / "skip.txt").string(), std::ios::app);
    out << tool << " " << reason << "\n";
}

int ReaderCase::Check(std::string& report) const {
#ifdef _WIN32
    report = keep_ ? "kept for the host-side readers" : "no readers under Windows";
    return 0;
#else
    std::string command =
        std::string("python3 '") + GLEANWELL_CHECK_ARCHIVES + "' '" + folder_ + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        report = "cannot run " + command;
        return 1;
    }
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        report.append(chunk, got);
    }
    int status = pclose(pipe);
    if (!WIFEXITED(status)) {
        return 1;
    }
    return WEXITSTATUS(status);
#endif
}
