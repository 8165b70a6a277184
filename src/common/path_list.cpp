#include "common/path_list.h"

#include <functional>
#include <new>
#include <string_view>

#include "common/wide_text_error.h"

void AppendUnique(TextList& list, const WideText& text) {
    // Null and records without a wide form each have one flag; every other
    // value is looked up by the hash of its wide form.
    bool* held = nullptr;
    if (text.IsNull()) {
        held = &list.holdsNull_;
    } else if (text.Wide() == nullptr) {
        held = &list.holdsNoWideForm_;
    }
    size_t hash = 0;
    if (held != nullptr) {
        if (*held) {
            return;
        }
    } else {
        hash = std::hash<std::wstring_view>{}(std::wstring_view(text.Wide(), text.Length()));
        const auto candidates = list.indexByHash_.equal_range(hash);
        for (auto it = candidates.first; it != candidates.second; ++it) {
            if (list.items_[it->second] == text) {
                return;
            }
        }
    }
    try {
        list.items_.push_back(text);
    } catch (const std::bad_alloc&) {
        WideTextError::RaiseOutOfMemory();
    }
    if (held != nullptr) {
        *held = true;
        return;
    }
    try {
        list.indexByHash_.emplace(hash, list.items_.size() - 1);
    } catch (const std::bad_alloc&) {
        list.items_.pop_back();
        WideTextError::RaiseOutOfMemory();
    }
}
