#include "release/bill_of_materials.h"

#include <gtest/gtest.h>

#include <string>

#include "support/sha1.h"

namespace quorl {
namespace {

std::string hex(const Sha1Digest& digest) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t byte : digest) {
        out += DIGITS[byte >> 4];
        out += DIGITS[byte & 0xF];
    }
    return out;
}

// The FIPS 180 examples, and lengths on both sides of the padding's block
// boundary (55, 56 and 64 bytes), against the digests of `sha1sum`.
TEST(Sha1Test, MatchesKnownDigestsAcrossBlockBoundaries) {
    EXPECT_EQ(hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hex(sha1(std::string(55, 'a'))), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(hex(sha1(std::string(64, 'a'))), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
    EXPECT_EQ(hex(sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(BillOfMaterialsFileNameTest, EveryGroupNameGivesOnePlainFileInTheDirectory) {
    EXPECT_EQ(bill_of_materials_file_name("full-runtime"), "full-runtime.cdx.json");
    EXPECT_EQ(bill_of_materials_file_name("../etc/passwd"), "%2E.%2Fetc%2Fpasswd.cdx.json");
    EXPECT_EQ(bill_of_materials_file_name(".."), "%2E..cdx.json");
    EXPECT_EQ(bill_of_materials_file_name("."), "%2E.cdx.json");
    EXPECT_EQ(bill_of_materials_file_name(""), "%.cdx.json");
    EXPECT_EQ(bill_of_materials_file_name("a%2Fb"), "a%252Fb.cdx.json");
    EXPECT_EQ(bill_of_materials_file_name("~x y"), "%7Ex%20y.cdx.json");
    const std::string long_name = bill_of_materials_file_name(std::string(300, 'n'));
    EXPECT_LE(long_name.size(), 255u);
    EXPECT_NE(long_name, bill_of_materials_file_name(std::string(301, 'n')));
}

}  // namespace
}  // namespace quorl
