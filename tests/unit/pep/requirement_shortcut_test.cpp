#include "pep/requirement_shortcut.h"

#include <gtest/gtest.h>

#include "support/errors.h"

namespace quorl {
namespace {

struct ShortcutCase {
    const char* line;
    bool common;  // the shortcut must read it (else it must leave it to the general parser)
};

// Whatever the shortcut reads, the general parser reads alike; what it leaves
// alone includes every line the general parser rejects.
TEST(RequirementShortcutTest, AgreesWithTheGeneralParser) {
    const std::vector<ShortcutCase> cases = {
        {"numpy", true},
        {"Pkg_Lib7841>=3.0", true},
        {"pkg.9982.core[test]>=2.0", true},
        {"a[x,y]==1.2.3", true},
        {"name (>=1.0)", true},
        {"name ( >= 1.0 )", true},
        {"name>= 1.0", true},
        {"name ~=1.4", true},
        {"name<2;python_version<'3.8'", true},
        {"zz_Mixed.Name-9984 ; extra == \"test\"", true},
        {"pkg-9995>=1.0 ; python_version >= \"3.8\" and sys_platform != 'win32'", true},
        {"x>=000000000000000001", true},
        {"name!=1.0", true},
        {"name<=2", true},
        {"name>1", true},
        {"name (==1)", true},
        // Left to the general parser: other shapes, and every error.
        {"  numpy", false},
        {"name [x]>=1", false},
        {"a[x, y]", false},
        {"a[]", false},
        {"name ()", false},
        {"name>=1.0,<2", false},
        {"name (>=1.0,)", false},
        {"name ~=1", false},
        {"name==1.0.*", false},
        {"name>=1.0rc1", false},
        {"name==1.0+local", false},
        {"name===1.0", false},
        {"name>=v1.0", false},
        {"name>=1.", false},
        {"name>=1..0", false},
        {"name>=99999999999999999999", false},
        {"name>=", false},
        {"name=1.0", false},
        {"name~1.0", false},
        {"name!1.0", false},
        {"name=>1.0", false},
        {"name-", false},
        {"name>=1.0)", false},
        {"name (>=1.0", false},
        {"name>=1.0\n", false},
        {"name>=1.0\x1c", false},
        {"name @ https://h/x.whl", false},
        {"name ; pyton_version < '3'", false},
        {"name ; python_version < '3' extra", false},
        {"sys-platform (==\"darwin\") ; extra == 'objc'", false},
    };
    for (const ShortcutCase& c : cases) {
        const std::optional<Requirement> common = parse_common_requirement(c.line);
        EXPECT_EQ(common.has_value(), c.common) << c.line;
        if (!common) continue;
        const Requirement full = parse_requirement_in_full(c.line);
        EXPECT_EQ(common->name, full.name) << c.line;
        EXPECT_EQ(common->extras, full.extras) << c.line;
        EXPECT_EQ(common->specifier, full.specifier) << c.line;
        EXPECT_EQ(common->url, full.url) << c.line;
        ASSERT_EQ(common->marker.has_value(), full.marker.has_value()) << c.line;
        if (full.marker) {
            EXPECT_EQ(common->marker->to_string(), full.marker->to_string()) << c.line;
            EXPECT_EQ(common->marker->extra_names(), full.marker->extra_names()) << c.line;
        }
    }
}

}  // namespace
}  // namespace quorl
