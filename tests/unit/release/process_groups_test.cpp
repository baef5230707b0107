#include <gtest/gtest.h>

#include "release/package_extras_manager.h"
#include "support/errors.h"

namespace quorl {
namespace {

// Both checks come before any file is read: the paths do not exist.
TEST(ProcessGroupsTest, NeedsExactlyOneRequirementsFileBeforeReadingAnything) {
    EXPECT_THROW(PackageExtrasManager::process_groups({}), AssertionError);
    EXPECT_THROW(PackageExtrasManager::process_groups({GroupInput("/missing/a.txt", "a", {"x"}),
                                                       GroupInput("/missing/b.txt", "b", {"y"})}),
                 AssertionError);
    EXPECT_THROW(PackageExtrasManager::process_groups({GroupInput("/missing/a.txt", "a", {"x"}),
                                                       GroupInput("/missing/a.txt", "b", {"y"})}),
                 OsError);
}

}  // namespace
}  // namespace quorl
