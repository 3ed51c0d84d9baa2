#pragma once

// An output file (--csv, --events, --report, --record-player) that is written
// whole or not at all, and whose path is checked before the run: a missing
// folder or a directory stops the run before any work is done, not after.

#include <cstdio>
#include <string>

namespace KRSimulator {

class OutputFile {
public:
    OutputFile() = default;
    // Removes what an uncommitted file left behind.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens "<path>.partial" beside path, which replaces path only when
    // complete. A device or a pipe (/dev/stdout) is opened as it is and
    // written in place; a device that refuses writes (/dev/full) is refused
    // now. False with *error saying why.
    bool Open(const std::string& path, std::string* error);
    // Writes text and puts the file in place; false with *error saying why,
    // leaving whatever path held before untouched.
    bool Commit(const std::string& text, std::string* error);

private:
    std::string Failure(const std::string& reason) const;
    void Discard();

    std::string path_;
    std::string partial_;  // empty when written in place
    std::FILE* file_ = nullptr;
};

}  // namespace KRSimulator
