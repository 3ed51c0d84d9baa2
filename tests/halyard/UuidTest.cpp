#include <set>
#include <vector>

#include "HalyardTest.h"

namespace {

using UuidTest = HalyardTest;

std::string ToText(const hy_uuid& uuid) {
    char* text = hy_uuid_to_string(&uuid);
    std::string copy = text != nullptr ? text : "<null>";
    hy_free(text);
    return copy;
}

bool IsLowerUuidText(const std::string& text) {
    if (text.size() != 36) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = text[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

TEST_F(UuidTest, TextRoundTripsAndComesOutLowerCase) {
    hy_uuid uuid{};
    ASSERT_EQ(hy_uuid_set_from_string(&uuid, "01234567-89AB-cdef-FEDC-ba9876543210"), 0);
    EXPECT_EQ(uuid.bytes[0], 0x01);
    EXPECT_EQ(uuid.bytes[4], 0x89);
    EXPECT_EQ(uuid.bytes[5], 0xab);
    EXPECT_EQ(uuid.bytes[15], 0x10);
    EXPECT_EQ(ToText(uuid), "01234567-89ab-cdef-fedc-ba9876543210");

    hy_uuid all{};
    for (uint8_t& byte : all.bytes) {
        byte = 0xff;
    }
    EXPECT_EQ(ToText(all), "ffffffff-ffff-ffff-ffff-ffffffffffff");
    EXPECT_EQ(hy_uuid_to_string(nullptr), nullptr);
}

TEST_F(UuidTest, MalformedTextsAreRejectedAndLeaveAZeroUuid) {
    const std::vector<const char*> rejects = {
        "",
        "01234567-89ab-cdef-fedc-ba987654321",    // 35 characters
        "01234567-89ab-cdef-fedc-ba98765432100",  // 37 characters
        "0123456789ab-cdef-fedc-ba9876543210-",   // dashes misplaced
        "01234567_89ab_cdef_fedc_ba9876543210",
        "0123456g-89ab-cdef-fedc-ba9876543210",
        "01234567-89ab-cdef-fedc-ba987654321 ",
        "{1234567-89ab-cdef-fedc-ba9876543210",
        nullptr,
    };
    for (const char* text : rejects) {
        hy_uuid uuid{};
        for (uint8_t& byte : uuid.bytes) {
            byte = 0xaa;
        }
        EXPECT_EQ(hy_uuid_set_from_string(&uuid, text), -1) << (text ? text : "null");
        EXPECT_EQ(ToText(uuid), "00000000-0000-0000-0000-000000000000") << (text ? text : "null");
    }
    EXPECT_EQ(hy_uuid_set_from_string(nullptr, "01234567-89ab-cdef-fedc-ba9876543210"), -1);
}

TEST_F(UuidTest, ClientKeepsAGivenIdentityAndDrawsFreshOnes) {
    hy_client* named = hy_client_create("01234567-89ab-cdef-fedc-ba9876543210");
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(hy_client_get_identity_id(named), "01234567-89ab-cdef-fedc-ba9876543210");
    hy_client_free(named);

    std::set<std::string> seen;
    for (int i = 0; i < 16; ++i) {
        hy_client* client = hy_client_create(nullptr);
        ASSERT_NE(client, nullptr);
        const std::string identity = hy_client_get_identity_id(client);
        hy_client_free(client);
        EXPECT_TRUE(IsLowerUuidText(identity)) << identity;
        EXPECT_EQ(identity[14], '4') << identity;  // random kind
        EXPECT_NE(std::string("89ab").find(identity[19]), std::string::npos) << identity;
        seen.insert(identity);
    }
    EXPECT_EQ(seen.size(), 16u);

    EXPECT_EQ(hy_client_create(""), nullptr);
    EXPECT_EQ(hy_client_create("01234567-89ab-cdef-fedc-ba987654321"), nullptr);
    EXPECT_EQ(hy_client_get_identity_id(nullptr), nullptr);
}

}  // namespace
