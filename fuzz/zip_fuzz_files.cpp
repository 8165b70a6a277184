// POSIX scratch space for the zip writer's fuzz target (native builds only).
#include "zip_fuzz_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string& RootPath() {
    static std::string root;
    return root;
}

void RemoveRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(RootPath(), ignored);
}

} // namespace

const std::string& ScratchRoot() {
    std::string& root = RootPath();
    if (root.empty()) {
        // A memory file system where there is one: the target makes and
        // removes files for every input, and a disk's inode work would
        // take most of the time.
        const char* tmp = std::getenv("TMPDIR");
        std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        if (access("/dev/shm", W_OK) == 0) {
            folder = "/dev/shm";
        }
        // libFuzzer leaves on a finding or an interrupt without running exit
        // handlers: folders of processes that are gone are removed here.
        const std::string stem = "gleanwell-zip-fuzz-";
        std::error_code ignored;
        for (const auto& item : std::filesystem::directory_iterator(folder, ignored)) {
            std::string name = item.path().filename().string();
            if (name.compare(0, stem.size(), stem) != 0) {
                continue;
            }
            long pid = std::strtol(name.c_str() + stem.size(), nullptr, 10);
            if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                std::filesystem::remove_all(item.path(), ignored);
            }
        }
        root = folder + "/" + stem + std::to_string(getpid());
        std::filesystem::remove_all(root, ignored);
        if (!std::filesystem::create_directory(root, ignored)) {
            std::perror("zip_writer_fuzz: scratch folder");
            std::abort();
        }
        std::atexit(RemoveRoot);
    }
    return root;
}

void ClearScratch() {
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(ScratchRoot(), ignored)) {
        std::filesystem::permissions(item.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(item.path(), ignored);
    }
}

bool WriteScratchFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0) {
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    close(fd);
    return done == bytes.size();
}

bool ReadScratchFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::uint8_t chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            close(fd);
            return got == 0;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

std::size_t MakeLargePipe(int& read_end, int& write_end, std::size_t capacity) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return 0;
    }
    read_end = ends[0];
    write_end = ends[1];
    fcntl(write_end, F_SETPIPE_SZ, static_cast<int>(capacity));
    int reached = fcntl(write_end, F_GETPIPE_SZ);
    if (reached <= 0) {
        close(read_end);
        close(write_end);
        return 0;
    }
    return static_cast<std::size_t>(reached);
}

void DrainPipe(int read_end, std::vector<std::uint8_t>& bytes) {
    int flags = fcntl(read_end, F_GETFL);
    fcntl(read_end, F_SETFL, flags | O_NONBLOCK);
    std::uint8_t chunk[65536];
    for (;;) {
        ssize_t got = read(read_end, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    fcntl(read_end, F_SETFL, flags);
}
