#pragma once

#include <string>
#include <vector>

namespace halyard {

// Reads "http://a:8750,https://b" into its addresses, in order, spaces around
// each and a trailing '/' dropped. False, with *reason, for an empty list or
// an address that is not http:// or https://.
bool ReadBaseUrls(const std::string& text, std::vector<std::string>* out, std::string* reason);

}  // namespace halyard
