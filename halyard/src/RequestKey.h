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
// The key of a "request" object read from a scenario for a request of kind,
// normalised like RequestObject (empty texts and zeroes left out). False
// when a member is not an argument of the kind (*member empty) or has the
// wrong type (*member names it), with the reason.
bool ReadRequestKey(hyl_kind kind, const json_t* object, std::string* key, std::string* member,
                    std::string* reason);

}  // namespace halyard
