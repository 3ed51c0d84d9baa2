#pragma once

#include <jansson.h>

#include <string>

#include "halyard.h"

namespace halyard {

// The arguments of a request as a scenario writes them: one member per
// argument its kind uses, absent when empty or 0; JSON arguments as values.
// A new value owned by the caller.
json_t* RequestObject(const hyl_request& request);

// RequestObject as compact text with sorted keys, so that two requests with
// the same arguments give the same key whatever the member order.
std::string RequestKey(const hyl_request& request);
// The same key for a "request" object read from a scenario.
std::string RequestKey(const json_t* object);

}  // namespace halyard
