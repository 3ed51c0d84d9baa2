#include "util/String.h"

#include <cstdlib>
#include <cstring>

namespace KRMatchmakingSystem {

String& String::operator=(const String& other) {
    if (this != &other) {
        Assign(other.text_);
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        Clear();
        text_ = other.text_;
        other.text_ = nullptr;
    }
    return *this;
}

void String::Assign(const char* text) {
    if (text == text_) {
        return;
    }
    char* copy = nullptr;
    if (text != nullptr && text[0] != '\0') {
        const std::size_t length = std::strlen(text);
        copy = static_cast<char*>(std::malloc(length + 1));
        if (copy != nullptr) {
            std::memcpy(copy, text, length + 1);
        }
    }
    // Copy first: text may point into the old value.
    Clear();
    text_ = copy;
}

void String::Clear() {
    std::free(text_);
    text_ = nullptr;
}

std::size_t String::size() const { return text_ ? std::strlen(text_) : 0; }

bool String::Equals(const char* text) const {
    return std::strcmp(c_str(), text ? text : "") == 0;
}

}  // namespace KRMatchmakingSystem
