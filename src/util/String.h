#pragma once

#include <cstddef>

namespace KRMatchmakingSystem {

// The library's owned text: one pointer to a heap copy, null meaning empty.
// Reading an empty String yields ""; assigning null or "" empties it.
class String {
public:
    String() = default;
    explicit String(const char* text) { Assign(text); }
    String(const String& other) { Assign(other.text_); }
    String(String&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }
    ~String() { Clear(); }

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text) {
        Assign(text);
        return *this;
    }

    void Assign(const char* text);
    void Clear();

    const char* c_str() const { return text_ ? text_ : ""; }
    bool empty() const { return text_ == nullptr; }
    std::size_t size() const;

    // Byte-for-byte comparison; null and "" are equal.
    bool Equals(const char* text) const;
    bool operator==(const String& other) const { return Equals(other.text_); }
    bool operator!=(const String& other) const { return !Equals(other.text_); }

private:
    char* text_ = nullptr;
};

}  // namespace KRMatchmakingSystem
