#include "common/path_list.h"

#include <new>

#include "common/wide_text_error.h"

void AppendUnique(TextList& list, const WideText& text) {
    for (const WideText& item : list.items_) {
        if (item.SharesRecordWith(text) || (!item.IsNull() && !text.IsNull() && item == text)) {
            return;
        }
    }
    try {
        list.items_.push_back(text);
    } catch (const std::bad_alloc&) {
        WideTextError::RaiseOutOfMemory();
    }
}
