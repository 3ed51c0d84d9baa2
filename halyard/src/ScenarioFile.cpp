#include "ScenarioFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "LastError.h"

namespace halyard {
namespace {

std::string Reason(const char* path) {
    return std::string(path) + ": " + std::strerror(errno);
}

}  // namespace

std::string TooLargeReason() {
    return "larger than " + std::to_string(kMaxScenarioBytes >> 20) + " MiB";
}

int ReadScenarioFile(const char* function, const char* path, std::string* text) {
    if (path == nullptr) {
        return Refuse(function, "no file name");
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return Refuse(function, Reason(path));
    }
    char buffer[65536];
    size_t got = 0;
    bool tooLarge = false;
    while (!tooLarge && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        tooLarge = got > kMaxScenarioBytes - text->size();
        if (!tooLarge) {
            text->append(buffer, got);
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return Refuse(function, Reason(path));
    }
    return tooLarge ? Refuse(function, std::string(path) + ": " + TooLargeReason()) : 0;
}

int WriteScenarioFile(const char* function, const char* path, const std::string& text) {
    if (path == nullptr) {
        return Refuse(function, "no file name");
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return Refuse(function, Reason(path));
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed ? 0 : Refuse(function, Reason(path));
}

}  // namespace halyard
