#pragma once

#include <cstddef>
#include <string>

namespace halyard {

// The most a scenario may be, so that a wrong path (a device, a log that
// keeps growing) is refused instead of read until memory runs out.
constexpr size_t kMaxScenarioBytes = 64u << 20;
// "larger than 64 MiB", for a text past kMaxScenarioBytes.
std::string TooLargeReason();

// Whole-file reads and writes of scenario texts: 0, or on failure -1 after
// refusing in the name of function (see LastError.h). A read refuses a file
// past kMaxScenarioBytes without reading the rest.
int ReadScenarioFile(const char* function, const char* path, std::string* text);
int WriteScenarioFile(const char* function, const char* path, const std::string& text);

}  // namespace halyard
