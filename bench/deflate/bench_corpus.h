// Benchmark input: every regular file under a folder that the zip writer
// would deflate, read into memory and grouped by its top-level folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct BenchFile {
    std::string group; // top-level folder under the root ("." for files at the root)
    std::vector<std::uint8_t> data;
};

/* Reads every regular file under root, sorted by path, leaving out the names
   the zip writer stores as they are: the figures are over deflated files. */
std::vector<BenchFile> LoadCorpus(const std::string& root);

/* The distinct groups of files, in first-seen order. */
std::vector<std::string> CorpusGroups(const std::vector<BenchFile>& files);

// Size classes: under 512 bytes, 512 bytes to 4 KiB, 4 to 64 KiB, over
// 64 KiB. The first two are the small files, where an entry's fixed costs
// weigh most.
constexpr int kSizeClasses = 4;
constexpr int kSmallClasses = 2;
extern const char* const kSizeClassNames[kSizeClasses];

/* The size class (0..3) of a file of size bytes. */
int SizeClass(std::size_t size);
