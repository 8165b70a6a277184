#pragma once
// Ordered lists of texts without repeats: the run's source paths (PathList)
// and its outcome lines (ReportLines). AppendUnique is the only way in, so
// elements stay in the order of their first appending and no two are equal.

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "common/wide_text.h"

class TextList {
public:
    /* Returns the number of elements. */
    size_t Count() const noexcept { return items_.size(); }

    /* Returns the element at `index` (less than Count()). */
    const WideText& operator[](size_t index) const noexcept { return items_[index]; }

    /* Iterate in the order of first appending. */
    std::vector<WideText>::const_iterator begin() const noexcept { return items_.begin(); }
    std::vector<WideText>::const_iterator end() const noexcept { return items_.end(); }

private:
    friend void AppendUnique(TextList& list, const WideText& text);

    std::vector<WideText> items_;
    // A run appends one line per file, so a repeat is found through the hash
    // of the wide form rather than a walk of every earlier element. Indices,
    // not pointers, so that growing items_ invalidates nothing. A value
    // stands for its record and never changes its text.
    std::unordered_multimap<size_t, size_t> indexByHash_;
    // The values outside the index: null, and records without a wide form
    // (all equal to each other).
    bool holdsNull_ = false;
    bool holdsNoWideForm_ = false;
};

/* The source paths of one archive run. */
class PathList : public TextList {};

/* The outcome lines of one archive run. */
class ReportLines : public TextList {};

/* Appends a copy of `text` at the end of `list` unless an element matches
   it: one that shares its record (two null values included), or one that has
   a record, as `text` does, and is equal to it by WideText::Compare (exact,
   case-sensitive). Takes time independent of the list's length on average.
   A failed allocation raises WideTextError(E_OUTOFMEMORY) and leaves the
   list unchanged. */
void AppendUnique(TextList& list, const WideText& text);
