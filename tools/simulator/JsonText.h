#pragma once

// Quoting text for the JSON the simulator writes (summary, event lines).

#include <string>

namespace KRSimulator {

// text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace KRSimulator
