#include "Tokens.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <vector>

#include "Ids.h"

namespace KRHalyardServer {
namespace {

constexpr std::size_t kSignatureHexLength = 64;
// At most 18 digits, so an expiry never overflows 64 bits.
constexpr std::size_t kMaxExpiryDigits = 18;

std::vector<std::string> SplitDots(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == '.') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

bool ReadExpiry(const std::string& digits, int64_t* value) {
    if (digits.empty() || digits.size() > kMaxExpiryDigits) {
        return false;
    }
    int64_t result = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

TokenCheck CheckSigned(const Signer& signer, const std::string& signed_text,
                       const std::string& signature, int64_t expiry_s, int64_t now_s) {
    if (signature.size() != kSignatureHexLength) {
        return TokenCheck::kMalformed;
    }
    if (!signer.Verify(signed_text, signature)) {
        return TokenCheck::kForged;
    }
    return expiry_s > now_s ? TokenCheck::kValid : TokenCheck::kExpired;
}

std::string ProofText(const Proof& proof) {
    return "proof." + proof.identity + "." + proof.match_id + "." + proof.hopper_id + "." +
           std::to_string(proof.expiry_s);
}

}  // namespace

std::string Signer::Sign(const std::string& text) const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

bool Signer::Verify(const std::string& text, const std::string& hex_signature) const {
    const std::string expected = Sign(text);
    return expected.size() == hex_signature.size() &&
           CRYPTO_memcmp(expected.data(), hex_signature.data(), expected.size()) == 0;
}

std::string MintToken(const Signer& signer, const std::string& identity, int64_t expiry_s) {
    const std::string text = identity + "." + std::to_string(expiry_s);
    return text + "." + signer.Sign(text);
}

TokenCheck CheckToken(const Signer& signer, const std::string& token, int64_t now_s,
                      std::string* identity) {
    const std::vector<std::string> parts = SplitDots(token);
    int64_t expiry_s = 0;
    if (parts.size() != 3 || !IsUuid(parts[0]) || !ReadExpiry(parts[1], &expiry_s)) {
        return TokenCheck::kMalformed;
    }
    const TokenCheck check =
        CheckSigned(signer, parts[0] + "." + parts[1], parts[2], expiry_s, now_s);
    if (check == TokenCheck::kValid) {
        *identity = parts[0];
    }
    return check;
}

TokenCheck CheckedTokens::Check(const Signer& signer, const std::string& token, int64_t now_s,
                                std::string* identity) {
    const auto found = passed_.find(token);
    if (found != passed_.end()) {
        if (found->second.expiry_s <= now_s) {
            passed_.erase(found);
            return TokenCheck::kExpired;
        }
        *identity = found->second.identity;
        return TokenCheck::kValid;
    }
    const TokenCheck check = CheckToken(signer, token, now_s, identity);
    if (check == TokenCheck::kValid) {
        if (passed_.size() >= capacity_) {
            passed_.clear();  // rarely: every client then pays one HMAC again
        }
        int64_t expiry_s = 0;
        const std::size_t first = token.find('.');
        ReadExpiry(token.substr(first + 1, token.rfind('.') - first - 1), &expiry_s);
        passed_.emplace(token, Entry{*identity, expiry_s});
    }
    return check;
}

std::string MintProof(const Signer& signer, const Proof& proof) {
    return proof.identity + "." + proof.match_id + "." + proof.hopper_id + "." +
           std::to_string(proof.expiry_s) + "." + signer.Sign(ProofText(proof));
}

TokenCheck CheckProof(const Signer& signer, const std::string& text, int64_t now_s, Proof* proof) {
    const std::vector<std::string> parts = SplitDots(text);
    Proof read;
    if (parts.size() != 5 || !IsUuid(parts[0]) || !IsUuid(parts[1]) || !IsUuid(parts[2]) ||
        !ReadExpiry(parts[3], &read.expiry_s)) {
        return TokenCheck::kMalformed;
    }
    read.identity = parts[0];
    read.match_id = parts[1];
    read.hopper_id = parts[2];
    const TokenCheck check = CheckSigned(signer, ProofText(read), parts[4], read.expiry_s, now_s);
    if (check == TokenCheck::kValid || check == TokenCheck::kExpired) {
        *proof = read;
    }
    return check;
}

}  // namespace KRHalyardServer
