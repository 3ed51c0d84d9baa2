#pragma once

#include <cstddef>

namespace KRTaskSystem {

// Copies at most N - 1 characters of name into dest, always terminated; a
// null name gives "". Task and manager names are fixed 50-byte fields.
template <std::size_t N>
inline void CopyBoundedName(char (&dest)[N], const char* name) {
    std::size_t length = 0;
    if (name != nullptr) {
        while (length + 1 < N && name[length] != '\0') {
            dest[length] = name[length];
            ++length;
        }
    }
    dest[length] = '\0';
}

// Size of the buffers into which task and manager log text is formatted;
// longer text is cut to one less than this.
constexpr std::size_t kLogBufferSize = 1024;

}  // namespace KRTaskSystem
