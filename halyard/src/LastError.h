#pragma once

#include <string>

namespace halyard {

// Records why function refused, for hyl_last_error, and returns -1 so that a
// refusal reads "return Refuse(...)".
int Refuse(const char* function, const std::string& reason);

}  // namespace halyard
