#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace KRHalyardServer {

// HMAC-SHA256 with the service's secret: every instance that holds the
// secret checks what another minted, without shared state.
class Signer {
public:
    explicit Signer(std::string secret) : secret_(std::move(secret)) {}

    // Lower-case hex of the HMAC of text.
    std::string Sign(const std::string& text) const;
    // Constant-time comparison of hex_signature with the signature of text.
    bool Verify(const std::string& text, const std::string& hex_signature) const;

private:
    std::string secret_;
};

// Who may act: "<identity>.<expiry>.<signature>", the identity a lower-case
// UUID, the expiry in Unix seconds, the signature that of
// "<identity>.<expiry>".
std::string MintToken(const Signer& signer, const std::string& identity, int64_t expiry_s);

enum class TokenCheck { kValid, kMalformed, kExpired, kForged };

TokenCheck CheckToken(const Signer& signer, const std::string& token, int64_t now_s,
                      std::string* identity);

// Tokens that passed, so a client's stream of requests costs one HMAC. A
// token is checked against the clock at every use.
class CheckedTokens {
public:
    explicit CheckedTokens(std::size_t capacity) : capacity_(capacity) {}

    TokenCheck Check(const Signer& signer, const std::string& token, int64_t now_s,
                     std::string* identity);

private:
    struct Entry {
        std::string identity;
        int64_t expiry_s;
    };
    std::size_t capacity_;
    std::unordered_map<std::string, Entry> passed_;
};

// A signed statement that an identity was matched: what a game server checks.
struct Proof {
    std::string identity;
    std::string match_id;
    std::string hopper_id;
    int64_t expiry_s = 0;
};

// "<identity>.<match>.<hopper>.<expiry>.<signature>", signed with a prefix
// that no token text has, so a token never passes as a proof.
std::string MintProof(const Signer& signer, const Proof& proof);

// kValid fills proof; kExpired fills it too.
TokenCheck CheckProof(const Signer& signer, const std::string& text, int64_t now_s, Proof* proof);

}  // namespace KRHalyardServer
