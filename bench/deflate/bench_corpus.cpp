#include "bench_corpus.h"

#include "zip/zip_entry_name.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

std::vector<BenchFile> LoadCorpus(const std::string& root) {
    std::vector<fs::path> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_regular_file(ec) && !IsStoredName(it->path().filename().string().c_str())) {
            paths.push_back(it->path());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<BenchFile> files;
    for (const auto& path : paths) {
        BenchFile file;
        const fs::path relative = fs::relative(path, root, ec);
        file.group = std::distance(relative.begin(), relative.end()) > 1
                         ? relative.begin()->string()
                         : std::string(".");
        std::ifstream in(path, std::ios::binary);
        file.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<std::string> CorpusGroups(const std::vector<BenchFile>& files) {
    std::vector<std::string> groups;
    for (const auto& file : files) {
        if (std::find(groups.begin(), groups.end(), file.group) == groups.end()) {
            groups.push_back(file.group);
        }
    }
    return groups;
}

const char* const kSizeClassNames[kSizeClasses] = {"under 512", "512-4K", "4K-64K", "over 64K"};

int SizeClass(std::size_t size) {
    return size < 512 ? 0 : (size < 4096 ? 1 : (size < 65536 ? 2 : 3));
}
