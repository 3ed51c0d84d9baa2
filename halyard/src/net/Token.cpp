#include "Token.h"

#include <cctype>

#include "../Uuid.h"

namespace halyard {
namespace {

constexpr size_t kSignatureLength = 64;  // hex of an HMAC-SHA256

// The library compares identities byte for byte, so only the lower-case form
// is an identity: the text must read back as it was written.
bool IsLowerCaseUuid(const std::string& text) {
    hy_uuid uuid{};
    return ParseUuid(text.c_str(), &uuid) && FormatUuid(uuid) == text;
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

bool ReadTokenIdentity(const std::string& text, std::string* identity, std::string* reason) {
    const size_t first = text.find('.');
    const size_t second = first == std::string::npos ? first : text.find('.', first + 1);
    if (second == std::string::npos || text.find('.', second + 1) != std::string::npos) {
        *reason = "a token is <identity>.<expiry>.<signature>";
        return false;
    }
    std::string read = text.substr(0, first);
    const std::string expiry = text.substr(first + 1, second - first - 1);
    const std::string signature = text.substr(second + 1);
    if (!IsLowerCaseUuid(read)) {
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
    *identity = std::move(read);
    return true;
}

}  // namespace halyard
