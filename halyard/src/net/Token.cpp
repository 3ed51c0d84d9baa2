#include "Token.h"

#include <cctype>

namespace halyard {
namespace {

constexpr size_t kIdentityLength = 36;
constexpr size_t kSignatureLength = 64;  // hex of an HMAC-SHA256

bool IsLowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// The library compares identities byte for byte, so only the lower-case form
// is an identity.
bool IsLowerCaseUuid(const std::string& text) {
    if (text.size() != kIdentityLength) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !IsLowerHex(text[i])) {
            return false;
        }
    }
    return true;
}

bool IsHex(const std::string& text) {
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadToken(const std::string& text, Token* out, std::string* reason) {
    const size_t first = text.find('.');
    const size_t second = first == std::string::npos ? first : text.find('.', first + 1);
    if (second == std::string::npos || text.find('.', second + 1) != std::string::npos) {
        *reason = "a token is <identity>.<expiry>.<signature>";
        return false;
    }
    const std::string identity = text.substr(0, first);
    const std::string expiry = text.substr(first + 1, second - first - 1);
    const std::string signature = text.substr(second + 1);
    if (!IsLowerCaseUuid(identity)) {
        *reason = "the token's identity is not a lower-case 36-character UUID";
        return false;
    }
    if (expiry.empty() || expiry.size() > 18 ||
        expiry.find_first_not_of("0123456789") != std::string::npos) {
        *reason = "the token's expiry is not a number of seconds";
        return false;
    }
    if (signature.size() != kSignatureLength || !IsHex(signature)) {
        *reason = "the token's signature is not 64 hexadecimal digits";
        return false;
    }
    out->identity = identity;
    out->expiresAt = std::stoll(expiry);
    return true;
}

}  // namespace halyard
