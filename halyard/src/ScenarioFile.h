#pragma once

#include <string>

namespace halyard {

// Whole-file reads and writes of scenario texts: 0, or on failure -1 after
// refusing in the name of function (see LastError.h).
int ReadScenarioFile(const char* function, const char* path, std::string* text);
int WriteScenarioFile(const char* function, const char* path, const std::string& text);

}  // namespace halyard
