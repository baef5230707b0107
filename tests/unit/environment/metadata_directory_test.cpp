#include "environment/metadata_directory.h"

#include <gtest/gtest.h>

#include "support/text.h"

namespace quorl {
namespace {

// The kind is settled by a last-byte check and an exact comparison before
// the one that ignores case: each name must get what that comparison alone
// gives.
TEST(MetadataDirectoryTest, KindAgreesWithTheSuffixIgnoringCase) {
    const char* const names[] = {
        "numpy",
        "six.py",
        "foo-1.0.dist-info",
        "Foo-1.0.DIST-INFO",
        "foo.Dist-Info",
        "foo.egg-info",
        "FOO.EGG-INFO",
        "foo.egg-infO",
        ".dist-info",
        "dist-info",
        "foo.dist-inf",
        "foo.dist_info",
        "foo.egg-info.txt",
        "o",
        "",
        "foo.pth",
        "x.dist-infoo",
        "README.DIST-INFO.txt",
    };
    for (const std::string_view name : names) {
        std::optional<MetadataKind> expected;
        if (text::ends_with_ignoring_case(name, ".dist-info")) {
            expected = MetadataKind::DistInfo;
        } else if (text::ends_with_ignoring_case(name, ".egg-info")) {
            expected = MetadataKind::EggInfo;
        }
        EXPECT_EQ(metadata_kind(name), expected) << name;
    }
}

}  // namespace
}  // namespace quorl
