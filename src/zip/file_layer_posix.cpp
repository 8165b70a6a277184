// POSIX file layer: native builds, sanitizer runs and benchmarks.
#include "file_layer.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600;

FileTime ToFileTime(const timespec& time) {
    std::int64_t seconds = time.tv_sec + kEpochDifference;
    if (seconds < 0) {
        return 0;
    }
    return static_cast<FileTime>(seconds) * 10000000u + static_cast<FileTime>(time.tv_nsec / 100);
}

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

} // namespace

bool FileIsUsable(FileHandle file) {
    return file >= 0;
}

FileHandle FileCreateForWrite(const char* path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? kNoFile : fd;
}

FileHandle FileOpenForRead(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return kNoFile;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        return kNoFile;
    }
    return fd;
}

std::uint32_t NarrowNameToUtf8(const char* name, char* out, std::uint32_t capacity) {
    std::size_t length = std::strlen(name);
    if (length == 0 || length + 1 > capacity) {
        return 0;
    }
    std::memcpy(out, name, length + 1);
    return static_cast<std::uint32_t>(length);
}

void FileClose(FileHandle file) {
    if (FileIsUsable(file)) {
        close(Descriptor(file));
    }
}

std::uint32_t FileRead(FileHandle file, void* buffer, std::uint32_t size) {
    for (;;) {
        ssize_t got = read(Descriptor(file), buffer, size);
        if (got >= 0) {
            return static_cast<std::uint32_t>(got);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

std::uint32_t FileWrite(FileHandle file, const void* data, std::uint32_t length) {
    // Like WriteFile on a blocking handle: keep going until all is written.
    const char* bytes = static_cast<const char*>(data);
    std::uint32_t done = 0;
    while (done < length) {
        ssize_t put = write(Descriptor(file), bytes + done, length - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            break;
        }
        done += static_cast<std::uint32_t>(put);
    }
    return done;
}

bool FileSeek(FileHandle file, std::uint64_t offset) {
    return lseek(Descriptor(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool FileTell(FileHandle file, std::uint64_t& offset) {
    off_t here = lseek(Descriptor(file), 0, SEEK_CUR);
    if (here < 0) {
        return false;
    }
    offset = static_cast<std::uint64_t>(here);
    return true;
}

bool FileTruncateHere(FileHandle file) {
    off_t here = lseek(Descriptor(file), 0, SEEK_CUR);
    return here >= 0 && ftruncate(Descriptor(file), here) == 0;
}

FileHandle FileDuplicate(FileHandle file) {
    int fd = fcntl(Descriptor(file), F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? kNoFile : fd;
}

bool FileIsDisk(FileHandle file) {
    struct stat status;
    return fstat(Descriptor(file), &status) == 0 &&
           (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode));
}

bool FileGetInformation(FileHandle file, FileInformation& information) {
    struct stat status;
    if (fstat(Descriptor(file), &status) != 0) {
        return false;
    }
    information.attributes = 0;
    if ((status.st_mode & S_IWUSR) == 0) {
        information.attributes |= kAttributeReadOnly;
    }
    if (S_ISDIR(status.st_mode)) {
        information.attributes |= kAttributeDirectory;
    }
    information.size = static_cast<std::uint64_t>(status.st_size);
    information.last_write = ToFileTime(status.st_mtim);
    information.last_access = ToFileTime(status.st_atim);
    // POSIX keeps no creation time; the status-change time is the nearest.
    information.creation = ToFileTime(status.st_ctim);
    return true;
}

bool MapAnonymousMemory(std::uint32_t size, MemoryMapping& mapping) {
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (view == MAP_FAILED) {
        return false;
    }
    mapping.view = view;
    mapping.mapping = 0;
    mapping.size = size;
    return true;
}

void UnmapAnonymousMemory(MemoryMapping& mapping) {
    if (mapping.view != nullptr) {
        munmap(mapping.view, mapping.size);
    }
    mapping = MemoryMapping{};
}

FileTime LocalTimeNow() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    now.tv_sec += local.tm_gmtoff;
    return ToFileTime(now);
}

void InitialiseTimeZone() {
    tzset();
}
