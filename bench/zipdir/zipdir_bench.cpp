// Zips a folder tree with our writer (every file by name, as the program does)
// and with Info-ZIP's `zip -r -8 -q`, alternating, each run in a child process
// so that wall time and peak memory are the run's own.
//   zipdir_bench DIR WORK_DIR [RUNS]      the benchmark
//   zipdir_bench --ours DIR ARCHIVE       one run of our writer
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "zip_archive.h"

namespace fs = std::filesystem;

namespace {

struct RunFigures {
    double seconds = 0;
    long peak_rss_kib = 0;
    std::uint64_t archive_bytes = 0;
};

// Every regular file under root, in a fixed order, as (entry name, path).
// The name is the path below root as the walk spells it: fs::relative would
// resolve every folder of every path again, a dozen system calls per file
// that the peer's walk does not make.
std::vector<std::pair<std::string, std::string>> ListFiles(const fs::path& root) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file() && !item.is_symlink()) {
            const std::string below = item.path().lexically_relative(root).generic_string();
            files.emplace_back(below, item.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

int ZipWithOurs(const char* root, const char* archive) {
    std::vector<std::pair<std::string, std::string>> files = ListFiles(root);
    ZipHandle* handle = ZipArchive::Create(archive, 0, ZipDataKind::FileName);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot create %s\n", archive);
        return 1;
    }
    int failed = 0;
    for (const auto& [name, path] : files) {
        if (ZipArchive::AddFile(handle, name.c_str(), path.c_str(), 0, ZipDataKind::FileName) !=
            ZipResult::Success) {
            char text[128];
            ZipResultText(1, text, sizeof text);
            std::fprintf(stderr, "%s: %s\n", path.c_str(), text);
            ++failed;
        }
    }
    if (ZipArchive::Close(handle) != ZipResult::Success) {
        ++failed;
    }
    return failed == 0 ? 0 : 1;
}

// Runs argv in directory (null: here), waits, and measures it.
bool RunChild(const std::vector<std::string>& argv, const char* directory, RunFigures& figures) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        if (directory != nullptr && chdir(directory) != 0) {
            _exit(127);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    if (child < 0) {
        return false;
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) {
        return false;
    }
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.peak_rss_kib = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--ours") {
        return ZipWithOurs(argv[2], argv[3]);
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR WORK_DIR [RUNS]\n", argv[0]);
        return 2;
    }
    fs::path root = fs::absolute(argv[1]);
    fs::path work = fs::absolute(argv[2]);
    int runs = argc > 3 ? std::max(3, std::atoi(argv[3])) : 3;
    fs::create_directories(work);
    std::string ours_archive = (work / "ours.zip").string();
    std::string theirs_archive = (work / "infozip8.zip").string();
    std::string self = fs::canonical("/proc/self/exe").string();

    std::printf("tree %s: %zu files\n", root.c_str(), ListFiles(root).size());
    std::vector<double> ours_times, theirs_times;
    long peak_rss = 0;
    std::uint64_t ours_size = 0, theirs_size = 0;
    for (int run = 0; run < runs; ++run) {
        RunFigures ours, theirs;
        fs::remove(ours_archive);
        if (!RunChild({self, "--ours", root.string(), ours_archive}, nullptr, ours)) {
            std::fprintf(stderr, "our writer failed\n");
            return 1;
        }
        fs::remove(theirs_archive);
        if (!RunChild({"zip", "-r", "-8", "-q", theirs_archive, "."}, root.c_str(), theirs)) {
            std::fprintf(stderr, "zip -r -8 -q failed\n");
            return 1;
        }
        ours_size = fs::file_size(ours_archive);
        theirs_size = fs::file_size(theirs_archive);
        ours_times.push_back(ours.seconds);
        theirs_times.push_back(theirs.seconds);
        peak_rss = std::max(peak_rss, ours.peak_rss_kib);
        std::printf("run %d: ours %.3f s %llu bytes %ld KiB | zip -8 %.3f s %llu bytes %ld KiB\n",
                    run + 1, ours.seconds, static_cast<unsigned long long>(ours_size),
                    ours.peak_rss_kib, theirs.seconds, static_cast<unsigned long long>(theirs_size),
                    theirs.peak_rss_kib);
    }
    double time_ratio = Median(ours_times) / Median(theirs_times);
    double size_ratio = static_cast<double>(ours_size) / static_cast<double>(theirs_size);
    std::printf("zipdir-vs-infozip8: time x%.2f, size x%.3f, peak-rss %ld\n", time_ratio,
                size_ratio, peak_rss);
    return 0;
}
