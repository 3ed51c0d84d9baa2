// Tokens and proofs: who may act, and who was matched.
#include <gtest/gtest.h>

#include "Options.h"
#include "Tokens.h"

namespace server_test {
namespace {

using namespace KRHalyardServer;

const std::string kIdentity = "2c51816f-72ae-4a63-9367-16f3c2df8c2e";
const std::string kMatch = "d7c25574-b675-4f90-9389-5fc86123860b";
const std::string kHopper = "0e6976d1-1655-5da5-8354-3d3a38537aed";

TEST(TokensTest, OnlyAWellFormedUnexpiredTokenSignedWithTheSecretPasses) {
    const Signer signer("the service's secret");
    const std::string token = MintToken(signer, kIdentity, 1000);
    const std::string signature = token.substr(token.rfind('.') + 1);
    std::string flipped = token;
    flipped.back() = flipped.back() == '0' ? '1' : '0';
    std::string upper_identity = token;
    upper_identity[0] = 'C';
    struct Case {
        std::string token;
        int64_t now_s;
        TokenCheck expected;
    };
    const Case cases[] = {
        {token, 999, TokenCheck::kValid},
        {token, 1000, TokenCheck::kExpired},
        {MintToken(Signer("another secret"), kIdentity, 1000), 999, TokenCheck::kForged},
        {flipped, 999, TokenCheck::kForged},
        {kIdentity + ".2000." + signature, 999, TokenCheck::kForged},  // expiry changed
        {upper_identity, 999, TokenCheck::kMalformed},
        {kIdentity + ".1000", 999, TokenCheck::kMalformed},
        {kIdentity + ".1e3." + signature, 999, TokenCheck::kMalformed},
        {kIdentity + ".1000." + signature.substr(1), 999, TokenCheck::kMalformed},
        {"", 999, TokenCheck::kMalformed},
    };
    for (const Case& c : cases) {
        std::string identity;
        EXPECT_EQ(CheckToken(signer, c.token, c.now_s, &identity), c.expected) << c.token;
        EXPECT_EQ(identity, c.expected == TokenCheck::kValid ? kIdentity : "");
    }
    // The recipe a game's backend follows: hex HMAC-SHA256 of "<identity>.<expiry>".
    EXPECT_EQ(Signer("key").Sign("The quick brown fox jumps over the lazy dog"),
              "f7bc83f430538424b13298e6aa6fb143ef4d59a14946175997479dbc2d1a3cd8");
}

TEST(TokensTest, AProofNamesWhoWasMatchedAndATokenNeverPassesAsOne) {
    const Signer signer("the service's secret");
    const std::string text = MintProof(signer, {kIdentity, kMatch, kHopper, 5000});
    Proof proof;
    ASSERT_EQ(CheckProof(signer, text, 4999, &proof), TokenCheck::kValid);
    EXPECT_EQ(proof.identity, kIdentity);
    EXPECT_EQ(proof.match_id, kMatch);
    EXPECT_EQ(proof.hopper_id, kHopper);
    EXPECT_EQ(CheckProof(signer, text, 5000, &proof), TokenCheck::kExpired);
    std::string other_match = text;
    other_match.replace(37, 36, kHopper);
    EXPECT_EQ(CheckProof(signer, other_match, 4999, &proof), TokenCheck::kForged);
    EXPECT_EQ(CheckProof(signer, MintToken(signer, kIdentity, 5000), 4999, &proof),
              TokenCheck::kMalformed);
}

TEST(TokensTest, TheTokenCommandNeverMintsATokenBornExpired) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(
        {"token", "--secret-file", "secret", "--identity", kIdentity, "--ttl", "0.5"}, &line,
        &error))
        << error;
    EXPECT_EQ(line.ttl_s, 1);
}

}  // namespace
}  // namespace server_test
