#pragma once

#include <string>

namespace halyard {

// Whole-file reads and writes of scenario texts. On failure both refuse in
// the name of function (see LastError.h) and return false / -1.
bool ReadScenarioFile(const char* function, const char* path, std::string* text);
int WriteScenarioFile(const char* function, const char* path, const std::string& text);

}  // namespace halyard
