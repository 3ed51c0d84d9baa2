#pragma once

#include <cstddef>
#include <cstdint>
#include <forward_list>
#include <iterator>

#include "util/String.h"

struct hy_json;

namespace KRMatchmakingSystem {

// Backend ids (identity, matchable, hopper, match) are UUID texts of this length.
constexpr std::size_t kBackendIdLength = 36;

// The most elements a record reads from one backend array. A larger array is
// not read: its count is kept while its list stays empty, so the record fails
// validation instead of growing without bound on a hostile body.
constexpr int32_t kMaxRecordListElements = 4096;

// Copies the serialized text of value (empty for null) into out and releases
// the client library's text at once.
void AssignSerializedJson(const hy_json* value, String* out);

// Reads an array of texts newest first into list (a null element gives an
// empty text) and returns the array's size, the count the record keeps. An
// absent or oversized array leaves the list empty.
int32_t ReadTextArray(const hy_json* array, std::forward_list<String>* list);

inline bool IsBackendId(const String& text) {
    return text.size() == kBackendIdLength;
}

// True when list holds exactly count elements.
template <typename T>
bool ListHasCount(const std::forward_list<T>& list, int32_t count) {
    return count >= 0 && std::distance(list.begin(), list.end()) == count;
}

// True when list holds exactly count backend ids and nothing else.
bool IsIdList(const std::forward_list<String>& list, int32_t count);

}  // namespace KRMatchmakingSystem
