#pragma once

#include <string>

namespace halyard {

// Reads the player's identity from a service token
// "<identity>.<expiry>.<signature>". Only the service can check the
// signature and the expiry; the client needs the identity at once (the
// matchmaker asks for it before any request). False, with *reason, for a
// text that is not a token: three parts joined by '.', a lower-case UUID,
// decimal seconds and 64 hexadecimal digits.
bool ReadTokenIdentity(const std::string& text, std::string* identity, std::string* reason);

}  // namespace halyard
