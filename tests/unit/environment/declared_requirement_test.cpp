#include "environment/declared_requirement.h"

#include <gtest/gtest.h>

#include "pep/canonical_name.h"
#include "pep/requirement.h"
#include "support/errors.h"

namespace quorl {
namespace {

// The reader shares one parse of each marker text and one package per name;
// what it returns must be what parsing each line on its own gives. Lines come
// twice, so that the second reading is served from what the first kept.
TEST(DeclaredRequirementReaderTest, AgreesWithParsingEachLineOnItsOwn) {
    MarkerValues environment;
    environment.set(MarkerVariable::PythonVersion, "3.11");
    environment.set(MarkerVariable::SysPlatform, "linux");
    const Distribution distribution{"dist", "dist", "/site/dist.dist-info", {}, "1"};
    const std::vector<std::string> lines = {
        "Foo_Bar>=1.0",
        "foo-bar",
        "b[x,y]==2",
        "c ; extra == \"test\"",
        "d>=1 ; python_version >= \"3.8\"",
        "e ; sys_platform == 'win32' and extra == 'win'",
        "f ; (extra == 'a' or extra == 'b') and python_version < '3'",
        "g (>=1.0,<2) ; extra == 'slow'",
        "h @ https://example.invalid/h.whl ; extra == 'url'",
    };
    DeclaredRequirementReader reader(environment);
    for (int round = 0; round < 2; ++round) {
        for (const std::string& line : lines) {
            std::string specifier;
            const DeclaredRequirement declared = reader.read(line, distribution, &specifier);
            const Requirement full = parse_requirement(line);
            EXPECT_EQ(declared.dependency, Package::from_canonical_name(canonical_name(full.name), full.extras))
                << line;
            EXPECT_EQ(specifier, full.specifier) << line;
            EXPECT_EQ(declared.direct, !full.marker || full.marker->evaluate(environment, "")) << line;
            const std::vector<std::string> extras =
                full.marker ? full.marker->extra_names() : std::vector<std::string>{};
            ASSERT_EQ(declared.extras_marker != nullptr, !extras.empty()) << line;
            for (std::size_t i = 0; i < extras.size(); ++i) {
                EXPECT_EQ(declared.extras_marker->extras[i].name, extras[i]) << line;
                EXPECT_EQ(declared.extras_marker->extras[i].holds, full.marker->evaluate(environment, extras[i]))
                    << line;
            }
        }
    }
    // A line whose marker does not parse gets the error that names the distribution.
    try {
        reader.read("x ; pyton_version < '3'", distribution, nullptr);
        ADD_FAILURE() << "an invalid marker was accepted";
    } catch (const ValueError& error) {
        EXPECT_EQ(std::string(error.what()).find("Invalid requirement 'x ; pyton_version < '3'' of distribution dist"),
                  0u)
            << error.what();
    }
}

}  // namespace
}  // namespace quorl
