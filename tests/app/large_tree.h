#pragma once
// Test support: a large tree of data files for whole runs, made on demand
// below a root and reused while its marker says it is complete. Folder and
// file names carry spaces, "&", "%" and, in the Western code page,
// accented letters; contents are text slices that deflate well enough.

#include <string>
#include <vector>

namespace testing_support {

struct TreeShape {
    unsigned topFolders;
    unsigned subFolders;     // in each top folder
    unsigned filesPerFolder; // in each sub-folder
    unsigned minSize;        // bytes; each file gets minSize + [0, sizeSpread)
    unsigned sizeSpread;
};

struct TreeFile {
    std::string path;
    unsigned size;
};

/* The files of a tree of `shape` below `root`, in the order they are made. */
std::vector<TreeFile> PlanTree(const std::string& root, const TreeShape& shape);

/* Makes the planned `files` below `root` unless a marker left by an earlier
   complete making of the same plan is there. Returns true when the tree is
   complete; `made` says whether it was made now. */
bool MakeTree(const std::string& root, const std::vector<TreeFile>& files, bool& made);

} // namespace testing_support
