#include "checks/consistency_check.h"

#include <gtest/gtest.h>

#include "model/package.h"
#include "support/errors.h"

namespace quorl {
namespace {

InstalledDistribution installed(std::string key, std::string version, std::vector<UnmetRequirement> unmet = {}) {
    return {std::move(key), std::move(version), std::move(unmet)};
}

VersionsMap pins(std::initializer_list<std::pair<const char*, const char*>> entries) {
    VersionsMap versions;
    for (const auto& [name, version] : entries) versions.set(name, version);
    return versions;
}

class ConsistencyCheckTest : public testing::Test {
protected:
    // The warnings of checking `reached` in order, one per line, as enforce writes them.
    std::string warnings_of(ConsistencyCheck& check, std::initializer_list<const char*> reached) {
        testing::internal::CaptureStderr();
        for (const char* name : reached) check.check_reached(name);
        check.enforce(false, "nothing done");
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(ConsistencyCheckTest, ComparesPinsAsVersionsAndChecksEachDistributionOnce) {
    const InstalledRequirements environment = {installed("py-yaml", "6.0"), installed("numpy", "1.20.0"),
                                               installed("setuptools", "68.0"), installed("six", "weird-build"),
                                               installed("extra-only", "1.0")};
    ConsistencyCheck check(environment);
    check.compare_with_pins(
        [] {
            return pins({{"py-yaml", "6.0.0"}, {"numpy", "1.26"}, {"six", "weird-build"}});
        },
        "pins.txt");
    // 6.0 is 6.0.0; setuptools is never pinned; a name is checked once, however spelt.
    EXPECT_EQ(warnings_of(check, {"py.yaml", "numpy", "NumPy", "setuptools", "six", "extra-only", "absent"}),
              "WARNING: numpy is installed at 1.20.0, but pins.txt pins 1.26\n"
              "WARNING: extra-only 1.0 is installed, but pins.txt does not pin it\n");
    EXPECT_EQ(check.warning_count(), 2u);
    EXPECT_THROW(check.enforce(true, "nothing written"), QuorlError);
    EXPECT_NO_THROW(check.enforce(false, "nothing written"));
}

TEST_F(ConsistencyCheckTest, NamesUnmetAndMissingRequirementsAsWritten) {
    const InstalledRequirements environment = {
        installed("app", "1.0", {{"Lib >= 2", 1}, {"gone", UnmetRequirement::NOT_INSTALLED}}), installed("lib", "1.5")};
    ConsistencyCheck check(environment);
    EXPECT_EQ(warnings_of(check, {"app", "app"}),
              "WARNING: app 1.0 requires Lib >= 2, but lib 1.5 is installed\n"
              "WARNING: app 1.0 requires gone, which is not installed\n");
}

TEST_F(ConsistencyCheckTest, UnreadablePinsAreOneWarningAndReadOnlyWhenNeeded) {
    const InstalledRequirements environment = {installed("a", "1.0"), installed("b", "1.0")};
    int reads = 0;
    ConsistencyCheck check(environment);
    check.compare_with_pins(
        [&reads]() -> VersionsMap {
            ++reads;
            throw OsError("cannot open 'pins.txt'");
        },
        "pins.txt");
    EXPECT_EQ(warnings_of(check, {"not-installed"}), "");
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(warnings_of(check, {"a", "b"}),
              "WARNING: Installed versions are not compared with pins: cannot open 'pins.txt'\n");
    EXPECT_EQ(reads, 1);
}

// The dependency map hands packages over, found by the hash they carry; the
// look-up by name must come to the same warnings for every spelling.
TEST_F(ConsistencyCheckTest, PackagesAreFoundAsTheirNamesAre) {
    const InstalledRequirements environment = {installed("app", "1.0", {{"lib>=2", 1}}), installed("lib", "1.5"),
                                               installed("py-yaml", "5.0")};
    const VersionsMap pinned = pins({{"app", "1.0"}, {"lib", "1.5"}, {"py-yaml", "6.0"}});
    for (const char* name : {"app", "lib", "py-yaml", "Py_Yaml", "APP", "app[extra]", "lib[a,b]", "absent"}) {
        ConsistencyCheck by_name(environment), by_package(environment);
        by_name.compare_with_pins(pinned, "pins.txt");
        by_package.compare_with_pins(pinned, "pins.txt");
        const Package package = Package::from_string(name);
        testing::internal::CaptureStderr();
        by_name.check_reached(package.name());
        const std::string expected = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        by_package.check_reached(package);
        by_package.check_reached(package);  // once only
        EXPECT_EQ(testing::internal::GetCapturedStderr(), expected) << name;
        EXPECT_EQ(by_package.warning_count(), by_name.warning_count()) << name;
    }
}

}  // namespace
}  // namespace quorl
