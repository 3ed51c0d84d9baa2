#include <set>

#include "HalyardTest.h"

namespace {

using UuidTest = HalyardTest;

// Text of the id read from text, "<refused>" when it is refused (the id
// must then read as all zeroes).
std::string RoundTrip(const char* text) {
    hy_uuid uuid{};
    uuid.bytes[0] = 0xaa;
    const bool read = hy_uuid_set_from_string(&uuid, text) == 0;
    char* back = hy_uuid_to_string(&uuid);
    std::string copy = back;
    hy_free(back);
    return read ? copy : copy == "00000000-0000-0000-0000-000000000000" ? "<refused>" : copy;
}

TEST_F(UuidTest, TextsRoundTripInLowerCaseAndMalformedOnesAreRefused) {
    EXPECT_EQ(RoundTrip("01234567-89AB-cdef-FEDC-ba9876543210"),
              "01234567-89ab-cdef-fedc-ba9876543210");
    for (const char* text :
         {"01234567-89ab-cdef-fedc-ba987654321",    // 35 characters
          "01234567-89ab-cdef-fedc-ba98765432100",  // 37 characters
          "0123456789ab-cdef-fedc-ba9876543210-",   // dashes misplaced
          "0123456g-89ab-cdef-fedc-ba9876543210", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(RoundTrip(text), "<refused>") << (text ? text : "null");
    }
    EXPECT_EQ(hy_client_create("01234567-89ab-cdef-fedc-ba987654321"), nullptr);
    EXPECT_STREQ(hyl_last_error(), "hy_client_create: the identity id is not 36 characters long");
    EXPECT_STREQ(hy_client_get_identity_id(client_), "5b0e8c1a-7d2f-4e63-9a41-c3f0d2b7e815");
}

TEST_F(UuidTest, ClientsDrawFreshVersionFourIdentities) {
    std::set<std::string> seen;
    for (int i = 0; i < 16; ++i) {
        hy_client* client = hy_client_create(nullptr);
        const std::string identity = hy_client_get_identity_id(client);
        hy_client_free(client);
        EXPECT_EQ(RoundTrip(identity.c_str()), identity);  // well formed and lower case
        // The random kind, in the standard variant.
        EXPECT_TRUE(identity[14] == '4' && std::strchr("89ab", identity[19])) << identity;
        seen.insert(identity);
    }
    EXPECT_EQ(seen.size(), 16u);
}

}  // namespace
