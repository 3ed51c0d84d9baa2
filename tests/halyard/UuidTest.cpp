#include <set>

#include "HalyardTest.h"

namespace {

using UuidTest = HalyardTest;

std::string ToText(const hy_uuid& uuid) {
    char* text = hy_uuid_to_string(&uuid);
    std::string copy = text != nullptr ? text : "<null>";
    hy_free(text);
    return copy;
}

TEST_F(UuidTest, TextRoundTripsAndComesOutLowerCase) {
    hy_uuid uuid{};
    ASSERT_EQ(hy_uuid_set_from_string(&uuid, "01234567-89AB-cdef-FEDC-ba9876543210"), 0);
    EXPECT_EQ(uuid.bytes[5], 0xab);
    EXPECT_EQ(ToText(uuid), "01234567-89ab-cdef-fedc-ba9876543210");
}

TEST_F(UuidTest, MalformedTextsAreRejectedAndLeaveAZeroUuid) {
    for (const char* text :
         {"01234567-89ab-cdef-fedc-ba987654321",    // 35 characters
          "01234567-89ab-cdef-fedc-ba98765432100",  // 37 characters
          "0123456789ab-cdef-fedc-ba9876543210-",   // dashes misplaced
          "0123456g-89ab-cdef-fedc-ba9876543210", static_cast<const char*>(nullptr)}) {
        hy_uuid uuid{};
        uuid.bytes[0] = 0xaa;
        EXPECT_EQ(hy_uuid_set_from_string(&uuid, text), -1) << (text ? text : "null");
        EXPECT_EQ(ToText(uuid), "00000000-0000-0000-0000-000000000000") << (text ? text : "null");
    }
}

TEST_F(UuidTest, ClientKeepsAGivenIdentityAndDrawsFreshVersionFourOnes) {
    hy_client* named = hy_client_create("01234567-89ab-cdef-fedc-ba9876543210");
    EXPECT_STREQ(hy_client_get_identity_id(named), "01234567-89ab-cdef-fedc-ba9876543210");
    hy_client_free(named);
    EXPECT_EQ(hy_client_create("01234567-89ab-cdef-fedc-ba987654321"), nullptr);

    std::set<std::string> seen;
    for (int i = 0; i < 16; ++i) {
        hy_client* client = hy_client_create(nullptr);
        const std::string identity = hy_client_get_identity_id(client);
        hy_client_free(client);
        // Well formed and lower case: it reads back to the same text.
        hy_uuid uuid{};
        EXPECT_EQ(hy_uuid_set_from_string(&uuid, identity.c_str()), 0) << identity;
        EXPECT_EQ(ToText(uuid), identity);
        EXPECT_EQ(uuid.bytes[6] >> 4, 4) << identity;       // random kind
        EXPECT_EQ(uuid.bytes[8] & 0xc0, 0x80) << identity;  // standard variant
        seen.insert(identity);
    }
    EXPECT_EQ(seen.size(), 16u);
}

}  // namespace
