#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "halyard.h"

// What the JSON text path keeps for any bytes: parsing never crashes; what
// parses writes out to text that parses back to the same text, as does its
// clone; reads are safe; every block made is released. False when broken.
inline bool JsonRoundTripHolds(const uint8_t* data, size_t size) {
    const uint32_t liveBefore = hyl_live_json();
    bool holds = true;
    hy_json* value = hy_json_parse(reinterpret_cast<const char*>(data), size);
    if (value != nullptr) {
        char* text = hy_json_serialize(value, 0);
        hy_json* again = text != nullptr ? hy_json_parse(text, std::strlen(text)) : nullptr;
        char* textAgain = hy_json_serialize(again, 0);
        hy_json* clone = hy_json_clone(value);
        char* cloneText = hy_json_serialize(clone, 0);
        holds = text != nullptr && textAgain != nullptr && cloneText != nullptr &&
                std::strcmp(text, textAgain) == 0 && std::strcmp(text, cloneText) == 0;
        (void)hy_json_get_datetime_item(value, "a");
        hy_free(cloneText);
        hy_json_free(clone);
        hy_free(textAgain);
        hy_json_free(again);
        hy_free(text);
        hy_json_free(value);
    }
    return holds && hyl_live_json() == liveBefore;
}
