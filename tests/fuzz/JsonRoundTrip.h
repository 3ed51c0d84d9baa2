#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "halyard.h"

// The property the JSON text path must keep for any bytes at all: parsing
// never crashes; whatever parses writes out to text that parses back and
// writes out the same again, and so does its clone; reading members of any
// type is safe; and every block the attempt made is released again.
// Returns false when one of these is broken.
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

        // Readers of every kind on whatever shape arrived.
        const int32_t elements = hy_json_get_size(value);
        for (int32_t i = 0; i < elements && i < 8; ++i) {
            const hy_json* element = hy_json_get_value(value, i);
            (void)hy_json_get_string(element);
            (void)hy_json_get_double(element);
            (void)hy_json_get_datetime_item(element, "a");
        }
        (void)hy_json_get_string_item(value, "a");
        (void)hy_json_get_integer_item(value, "a");
        (void)hy_json_get_double_item(value, "a");
        (void)hy_json_get_datetime_item(value, "a");
        (void)hy_json_is_true(hy_json_get_item(value, "a"));

        hy_free(cloneText);
        hy_json_free(clone);
        hy_free(textAgain);
        hy_json_free(again);
        hy_free(text);
        hy_json_free(value);
    }
    return holds && hyl_live_json() == liveBefore;
}
