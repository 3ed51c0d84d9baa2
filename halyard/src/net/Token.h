#pragma once

#include <cstdint>
#include <string>

namespace halyard {

// What a client reads of a service token "<identity>.<expiry>.<signature>".
// Only the service can check the signature; the client needs the identity
// at once (the matchmaker asks for it before any request) and the expiry to
// warn of a token that has run out.
struct Token {
    std::string identity;   // a lower-case 36-character UUID
    int64_t expiresAt = 0;  // Unix seconds
};

// False, with *reason, for a text that is not a token: three parts joined by
// '.', a lower-case UUID, decimal seconds and 64 hexadecimal digits.
bool ReadToken(const std::string& text, Token* out, std::string* reason);

}  // namespace halyard
