#include "records/RecordJson.h"

#include "halyard.h"

namespace KRMatchmakingSystem {

void AssignSerializedJson(const hy_json* value, String* out) {
    char* text = hy_json_serialize(value, 0);
    out->Assign(text);
    hy_free(text);
}

int32_t ReadTextArray(const hy_json* array, std::forward_list<String>* list) {
    const int32_t size = hy_json_get_size(array);
    if (size > kMaxRecordListElements) {
        return size;
    }
    for (int32_t i = 0; i < size; ++i) {
        list->emplace_front(hy_json_get_string(hy_json_get_value(array, i)));
    }
    return size;
}

bool IsIdList(const std::forward_list<String>& list, int32_t count) {
    for (const String& id : list) {
        if (!IsBackendId(id)) {
            return false;
        }
    }
    return ListHasCount(list, count);
}

}  // namespace KRMatchmakingSystem
