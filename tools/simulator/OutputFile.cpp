#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace KRSimulator {

namespace fs = std::filesystem;

namespace {

// A write of nothing still reaches the device, so a full one says so now.
bool DeviceTakesWrites(std::FILE* file) {
#ifdef _WIN32
    return _write(_fileno(file), "", 0) == 0;
#else
    return write(fileno(file), "", 0) == 0;
#endif
}

}  // namespace

OutputFile::~OutputFile() {
    Discard();
}

std::string OutputFile::Failure(const std::string& reason) const {
    return "cannot write '" + path_ + "': " + reason;
}

void OutputFile::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!partial_.empty()) {
        std::error_code ignored;
        fs::remove(partial_, ignored);
        partial_.clear();
    }
}

bool OutputFile::Open(const std::string& path, std::string* error) {
    Discard();
    path_ = path;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) {
        *error = Failure("it is a directory");
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        file_ = std::fopen(path.c_str(), "wb");
        if (file_ == nullptr || !DeviceTakesWrites(file_)) {
            *error = Failure(std::strerror(errno));
            Discard();
            return false;
        }
        return true;
    }
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        *error = Failure("the folder '" + folder.string() + "' does not exist");
        return false;
    }
    file_ = std::fopen((path + ".partial").c_str(), "wb");
    if (file_ == nullptr) {
        *error = Failure(std::strerror(errno));
        return false;
    }
    partial_ = path + ".partial";
    return true;
}

bool OutputFile::Commit(const std::string& text, std::string* error) {
    if (file_ == nullptr) {
        *error = Failure("it was not opened");
        return false;
    }
    // The first failure's reason; a full disk may only show at the flush.
    int failure = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        failure = errno;
    }
    if (std::fflush(file_) != 0 && failure == 0) {
        failure = errno;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0 && failure == 0) {
        failure = errno;
    }
    if (failure != 0) {
        *error = Failure(std::strerror(failure));
        Discard();
        return false;
    }
    if (!partial_.empty()) {
        std::error_code ec;
        fs::rename(partial_, path_, ec);
        if (ec) {
            *error = Failure(ec.message());
            Discard();
            return false;
        }
        partial_.clear();
    }
    return true;
}

}  // namespace KRSimulator
