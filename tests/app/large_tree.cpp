#include "large_tree.h"

#include <cstdint>
#include <cstdio>
#include <random>

#include <windows.h>

#include "common/scratch_folder.h"

namespace testing_support {

namespace {

constexpr size_t kPoolSize = 4u << 20;

// Accented names only where the system code page is the Western one, so
// that each byte stands for the character meant.
bool Western() {
    return GetACP() == 1252;
}

std::uint32_t Mix(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

std::string Format(const char* pattern, unsigned number) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, number);
    return text;
}

std::string TopName(unsigned i) {
    static const char* const kWestern[] = {"Batch %02u & Co", "R\xE9sultats %02u",
                                           "M\xFC"
                                           "ller %02u%%",
                                           "plain %02u"};
    static const char* const kAscii[] = {"Batch %02u & Co", "Results %02u", "Mueller %02u%%",
                                         "plain %02u"};
    return Format((Western() ? kWestern : kAscii)[i % 4], i);
}

std::string SubName(unsigned j) {
    static const char* const kWestern[] = {"Run %u", "run %u & more", "Stufe \xFC%u",
                                           "100%% run %u"};
    static const char* const kAscii[] = {"Run %u", "run %u & more", "Stage u%u", "100%% run %u"};
    return Format((Western() ? kWestern : kAscii)[j % 4], j);
}

std::string FileName(unsigned k) {
    static const char* const kWestern[] = {"trace %04u.txt", "Probe \xE9%04u.log", "a&b %04u.csv",
                                           "%%TEMP%% %04u.dat",
                                           "gr\xFC\xDF"
                                           "e %04u.txt"};
    static const char* const kAscii[] = {"trace %04u.txt", "Probe e%04u.log", "a&b %04u.csv",
                                         "%%TEMP%% %04u.dat", "gruesse %04u.txt"};
    return Format((Western() ? kWestern : kAscii)[k % 5], k);
}

// Instrument-log words in a fixed random order: about two bits of
// information per character, so files deflate to roughly a quarter.
std::string TextPool() {
    static const char* const kWords[] = {
        "inlet ",  "valve ",  "pump ",     "pressure ", "flow ", "0.125 ", "41.5 ",   "bar ",
        "ml/min ", "sample ", "vial ",     "plate ",    "rack ", "tube ",  "status ", "ok ",
        "ERROR ",  "retry ",  "gradient ", "start ",    "stop ", "wash ",  "prime ",  "door ",
        "open ",   "closed ", "12 ",       "7 ",        "2026 ", "A1 ",    "H12 ",    "\r\n"};
    std::mt19937 random(20261209);
    std::string pool;
    pool.reserve(kPoolSize + 16);
    while (pool.size() < kPoolSize) {
        pool += kWords[random() % (sizeof kWords / sizeof kWords[0])];
        if (random() % 5 == 0) {
            pool += std::to_string(random() % 100000) + " ";
        }
    }
    pool.resize(kPoolSize);
    return pool;
}

// Beside the tree, so that a run over the tree does not meet it.
std::string MarkerPath(const std::string& root) {
    return root + "-complete.txt";
}

std::string Description(const std::vector<TreeFile>& files) {
    std::uint64_t bytes = 0;
    for (const TreeFile& file : files) {
        bytes += file.size;
    }
    return "tree 1: " + std::to_string(files.size()) + " files, " + std::to_string(bytes) +
           " bytes, code page " + std::to_string(GetACP()) + "\r\n";
}

} // namespace

std::vector<TreeFile> PlanTree(const std::string& root, const TreeShape& shape) {
    std::vector<TreeFile> files;
    std::uint32_t serial = 0;
    for (unsigned i = 0; i < shape.topFolders; ++i) {
        const std::string top = root + "\\" + TopName(i);
        for (unsigned j = 0; j < shape.subFolders; ++j) {
            const std::string sub = top + "\\" + SubName(j);
            for (unsigned k = 0; k < shape.filesPerFolder; ++k) {
                files.push_back(
                    {sub + "\\" + FileName(k), shape.minSize + Mix(++serial) % shape.sizeSpread});
            }
        }
    }
    return files;
}

bool MakeTree(const std::string& root, const std::vector<TreeFile>& files, bool& made) {
    made = false;
    const std::string description = Description(files);
    if (ReadWholeFile(MarkerPath(root)) == description) {
        return true;
    }
    RemoveTree(root);
    const std::string pool = TextPool();
    std::uint32_t serial = 0;
    std::string folder;
    for (const TreeFile& file : files) {
        const std::string parent = file.path.substr(0, file.path.rfind('\\'));
        if (parent != folder) {
            MakeFolders(parent);
            folder = parent;
        }
        std::string bytes = file.path + "\r\n";
        const size_t offset = Mix(++serial * 7919u) % (pool.size() - file.size);
        bytes.append(pool, offset, file.size);
        bytes.resize(file.size);
        if (!WriteWholeFile(file.path, bytes)) {
            return false;
        }
    }
    made = WriteWholeFile(MarkerPath(root), description);
    return made;
}

} // namespace testing_support
