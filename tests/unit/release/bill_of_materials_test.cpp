#include "release/bill_of_materials.h"

#include <gtest/gtest.h>

#include <string>

namespace quorl {
namespace {

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
