#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "environment/distribution_reader.h"
#include "environment/installed_requirements.h"
#include "model/dependency_map.h"
#include "pep/canonical_name.h"
#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

// Installed distributions: name and requirement lines.
using Installed = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Distributions held in memory; counts the lookups by name.
class FakeReader : public DistributionReader {
public:
    explicit FakeReader(Installed distributions, std::string python_version = "3.11") {
        for (auto& [name, lines] : distributions) {
            distributions_.push_back(
                {name, canonical_name(name), "/site/" + name + ".dist-info", std::move(lines), ""});
        }
        markers_.set(MarkerVariable::PythonVersion, python_version);
        markers_.set(MarkerVariable::SysPlatform, "linux");
    }

    std::vector<Distribution> list_distributions() const override {
        if (failure_) failure_();
        return distributions_;
    }
    std::optional<Distribution> find_distribution(std::string_view name) const override {
        ++lookups;
        for (const Distribution& d : distributions_) {
            if (d.key == canonical_name(name)) return d;
        }
        return std::nullopt;
    }
    const MarkerValues& marker_values() const override { return markers_; }

    void fail_with(std::function<void()> failure) { failure_ = std::move(failure); }
    void set_version(const std::string& key, std::string version) {
        for (Distribution& d : distributions_) {
            if (d.key == key) d.version = std::move(version);
        }
    }

    mutable int lookups = 0;

private:
    std::vector<Distribution> distributions_;
    MarkerValues markers_;
    std::function<void()> failure_;
};

Package p(const char* text) { return Package::from_string(text); }

using test::texts;

using Texts = std::vector<std::string>;
using ExtrasTexts = std::vector<std::pair<std::string, Texts>>;

// In the extras map's order.
ExtrasTexts texts(const DependencyMap::ExtrasMap& extras) {
    ExtrasTexts out;
    for (const auto& [key, list] : extras) out.emplace_back(key.to_string(), texts(list));
    return out;
}

TEST(InstalledDependencyMapTest, DirectRequirementsWithUninstalledOnesAsEmptyKeys) {
    const FakeReader reader(Installed{
        {"a", {"b>=1"}}, {"b", {}}, {"c", {"B", "d ; python_version >= '3.8'", "old ; python_version < '3.8'"}}});
    testing::internal::CaptureStderr();
    const DependencyMap map = DependencyMap::from_installed(reader, false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(texts(map.packages()), (Texts{"a", "b", "c", "d"}));
    EXPECT_EQ(texts(map.roots()), (Texts{"a", "c"}));
    EXPECT_EQ(texts(map.get(p("c"))), (Texts{"b", "d"}));
    EXPECT_EQ(reader.lookups, 0);
}

// Reading only what the roots reach answers for them as the whole map does,
// and looks up nothing else; a root only the whole map answers for (not
// installed, or with an extra it does not declare) has everything read.
TEST(InstalledDependencyMapTest, ReadsWhatTheRootsReachWithTheWholeMapsAnswers) {
    FakeReader reader(Installed{{"app", {"lib[fast]", "gone", "x ; extra == 'test'"}},
                                {"lib", {"base", "speed ; extra == 'fast'"}},
                                {"base", {}},
                                {"speed", {}},
                                {"x", {}},
                                {"unrelated", {"lib[slow]", "app", "missing"}}});
    int listings = 0;
    reader.fail_with([&listings] { ++listings; });
    const DependencyMap whole = DependencyMap::from_installed(reader, true);
    const std::vector<std::pair<std::vector<Package>, int>> cases = {
        {{p("app[test]")}, 0}, {{p("Lib"), p("base")}, 0}, {{p("missing")}, 1}, {{p("lib[slow]")}, 1}};
    for (const auto& [roots, read_everything] : cases) {
        listings = 0;
        const DependencyMap reached = DependencyMap::from_installed(reader, true, nullptr, &roots);
        EXPECT_EQ(listings, read_everything) << texts(roots)[0];
        EXPECT_EQ(reached.first_occurrence_by_depth_of(roots, {}), whole.first_occurrence_by_depth_of(roots, {}));
        for (const Package& root : roots) EXPECT_EQ(reached.contains(root), whole.contains(root));
    }
    reader.lookups = 0;
    const std::vector<Package> app = {p("app")};
    DependencyMap::from_installed(reader, true, nullptr, &app);
    EXPECT_EQ(reader.lookups, 6);  // app, lib, gone, x, base, speed
}

// What the consistency checks receive: versions, and the requirements that
// hold without an extra and are not met, judged as an environment check
// judges them (pre-releases admitted; a URL requirement admits any version).
TEST(InstalledDependencyMapTest, HandsOutVersionsAndTheUnmetRequirements) {
    FakeReader reader(Installed{{"A_pp",
                                 {"Lib (>=1,<2)", "pre>=1", "gone", "win>=9 ; sys_platform == 'win32'",
                                  "t>=9 ; extra == 'test'", "u @ https://example.invalid/u.whl"}},
                                {"lib", {}},
                                {"pre", {}},
                                {"t", {}},
                                {"u", {}},
                                {"win", {}}});
    for (const auto& [name, version] :
         {std::pair{"lib", "2.0"}, {"pre", "1.1rc1"}, {"t", "1"}, {"u", "0"}, {"win", "1"}}) {
        reader.set_version(name, version);
    }
    InstalledRequirements installed;
    DependencyMap::from_installed(reader, true, &installed);
    ASSERT_EQ(installed.size(), 6u);
    EXPECT_EQ(installed[0].key, "a-pp");
    EXPECT_EQ(installed[1].version, "2.0");
    ASSERT_EQ(installed[0].unmet.size(), 2u);
    EXPECT_EQ(installed[0].unmet[0].line, "Lib (>=1,<2)");
    EXPECT_EQ(installed[0].unmet[0].target, 1u);
    EXPECT_EQ(installed[0].unmet[1].line, "gone");
    EXPECT_EQ(installed[0].unmet[1].target, UnmetRequirement::NOT_INSTALLED);
}

// Verdicts are kept per installed distribution and specifier text: texts
// seen again, more texts than are kept, short and long ones, and two
// distributions judged by the same texts must not borrow each other's.
TEST(InstalledDependencyMapTest, KeptVerdictsStayWithTheirDistributionAndText) {
    std::vector<std::pair<std::string, bool>> specifiers;  // text, whether 2.0 satisfies it
    for (int n = 0; n < 20; ++n)
        specifiers.emplace_back(">=" + std::to_string(n % 4) + ".0" + std::string(n / 4, '0'), n % 4 <= 2);
    specifiers.emplace_back(">=1.0,<3.0.0.0.0", true);
    specifiers.emplace_back("!=2.0.0.0.0.0.0", false);
    Installed distributions{{"new", {}}, {"old", {}}};
    for (std::size_t i = 0; i < 2 * specifiers.size(); ++i) {
        const std::string& text = specifiers[(i * 7) % specifiers.size()].first;
        distributions.push_back({"r" + std::to_string(i), {"new" + text, "old" + text}});
    }
    FakeReader reader(distributions);
    reader.set_version("new", "2.0");
    reader.set_version("old", "0.5");
    InstalledRequirements installed;
    DependencyMap::from_installed(reader, false, &installed);
    for (const InstalledDistribution& distribution : installed) {
        if (distribution.key == "new" || distribution.key == "old") continue;
        const std::size_t i = std::stoul(distribution.key.substr(1));
        const bool admits_new = specifiers[(i * 7) % specifiers.size()].second;
        const std::string text = specifiers[(i * 7) % specifiers.size()].first;
        std::vector<std::string> unmet;
        for (const UnmetRequirement& requirement : distribution.unmet) unmet.push_back(requirement.line);
        std::vector<std::string> expected;
        if (!admits_new) expected.push_back("new" + text);
        if (text.rfind(">=0", 0) != 0 && text.rfind("!=", 0) != 0) expected.push_back("old" + text);
        EXPECT_EQ(unmet, expected) << distribution.key;
    }
}

TEST(InstalledDependencyMapTest, ExtrasFromMarkersJoinTheirExtraWhenTheMarkerHolds) {
    const Installed installed = {
        {"scipy",
         {"numpy", "pytest ; extra == 'test'", "mypy ; extra == 'develop'", "pytest ; extra == \"develop\"",
          "typing-extensions ; python_version < '3.8'", "legacy ; extra == \"old\" and python_version < \"3.8\"",
          "PyYAML ; 'yaml' == extra", "Foo_Bar[Fast] ; extra == 'yaml'"}},
        {"numpy", {}},
        {"pytest", {}},
        {"mypy", {}},
        {"pyyaml", {"libyaml"}},
        {"libyaml", {}},
    };
    const FakeReader reader(installed);
    EXPECT_EQ(texts(DependencyMap::fetch_extras_for_installed_package(p("scipy"), reader)),
              (ExtrasTexts{{"scipy[test]", {"pytest"}},
                           {"scipy[develop]", {"mypy", "pytest"}},
                           {"scipy[old]", {}},
                           {"scipy[yaml]", {"pyyaml", "foo-bar[Fast]"}}}));
    // On an old Python the compound marker holds for its extra.
    EXPECT_EQ(texts(DependencyMap::fetch_extras_for_installed_package(p("scipy"), FakeReader(installed, "3.7")))[2],
              (std::pair<std::string, Texts>{"scipy[old]", {"legacy"}}));

    reader.lookups = 0;
    testing::internal::CaptureStderr();
    const DependencyMap map = DependencyMap::from_installed(reader, true);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(texts(map.get(p("scipy"))), (Texts{"numpy"}));
    EXPECT_EQ(texts(map.get(p("scipy[test]"))), (Texts{"numpy", "pytest"}));
    EXPECT_EQ(texts(map.get(p("scipy[develop]"))), (Texts{"mypy", "numpy", "pytest"}));
    // The extra's PyYAML is the installed pyyaml, with its own dependencies.
    EXPECT_EQ(texts(map.get(p("scipy[yaml]"))), (Texts{"foo-bar[Fast]", "numpy", "pyyaml"}));
    EXPECT_EQ(texts(map.get(p("pyyaml"))), (Texts{"libyaml"}));
    EXPECT_FALSE(map.contains(p("PyYAML")));
    // foo-bar is not installed: its base becomes an empty key, its variant a key,
    // and it is reported once; nothing is looked up for it.
    EXPECT_TRUE(map.contains(p("foo-bar")));
    EXPECT_TRUE(map.contains(p("foo-bar[Fast]")));
    EXPECT_EQ(warnings, "") << "foo-bar only enters through an extra";
    EXPECT_EQ(reader.lookups, 0);
}

TEST(InstalledDependencyMapTest, RequirementsWithExtrasKeepWhatTheirExtrasPullIn) {
    const FakeReader reader(Installed{
        {"app", {"b[x,y]", "zz[q]"}},
        {"b", {"base-dep", "c ; extra == 'x'"}},
        {"base-dep", {}},
        {"c", {"c-dep"}},
        {"c-dep", {}},
    });
    testing::internal::CaptureStderr();
    const DependencyMap map = DependencyMap::from_installed(reader, true);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(texts(map.get(p("app"))), (Texts{"b[x,y]", "zz[q]"}));
    EXPECT_EQ(texts(map.get(p("b[x]"))), (Texts{"base-dep", "c"}));
    EXPECT_EQ(texts(map.get(p("b[y]"))), (Texts{"base-dep"}));  // y is not declared by b
    EXPECT_EQ(texts(map.get(p("b[x,y]"))), (Texts{"base-dep", "c"}));
    EXPECT_TRUE(map.contains(p("zz")));
    EXPECT_TRUE(map.get(p("zz[q]")).empty());
    EXPECT_EQ(texts(map.roots()), (Texts{"app"}));
    // Everything app reaches, through the extras as well.
    Texts reached = texts(map.extract_from_roots({p("app")}).packages());
    std::sort(reached.begin(), reached.end());
    EXPECT_EQ(reached, (Texts{"app", "b", "b[x,y]", "b[x]", "b[y]", "base-dep", "c", "c-dep", "zz", "zz[q]"}));
    EXPECT_EQ(warnings, "WARNING: Package zz not found when fetching extras.\n");

    // Without extras the variants still carry their base package's dependencies.
    testing::internal::CaptureStderr();
    const DependencyMap plain = DependencyMap::from_installed(reader, false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(texts(plain.get(p("b[x,y]"))), (Texts{"base-dep"}));
}

// Past a few dozen extras their lists are found through an index rather
// than a scan: the lists must be the same either way.
TEST(InstalledDependencyMapTest, ManyExtrasKeepTheirFirstMentionOrderAndLists) {
    std::vector<std::string> lines;
    ExtrasTexts expected;
    for (int i = 0; i < 40; ++i) {
        const std::string extra = "e" + std::to_string(i);
        lines.push_back("a" + std::to_string(i) + " ; extra == '" + extra + "'");
        expected.push_back({"pkg[" + extra + "]", {"a" + std::to_string(i), "b" + std::to_string(i)}});
    }
    for (int i = 39; i >= 0; --i) lines.push_back("b" + std::to_string(i) + " ; extra == 'e" + std::to_string(i) + "'");
    EXPECT_EQ(texts(DependencyMap::fetch_extras_for_installed_package(p("pkg"), FakeReader(Installed{{"pkg", lines}}))),
              expected);
}

// The environment's sets are put in text order once, at the end, by the
// texts' leading bytes first: names alike in their first sixteen bytes, or
// one a prefix of another, must still come in byte order.
TEST(InstalledDependencyMapTest, SetsComeInTextOrderWhateverTheirCommonPrefixes) {
    Texts names = {"long-shared-prefix-b",
                   "long-shared-prefix",
                   "long-shared-prefix-a",
                   "long-shared-prefi",
                   "long-shared-prefix[x]",
                   "long-shared-prefix-a[x,y]",
                   "a",
                   "a-1",
                   "z",
                   "long-shared-prefix-0"};
    const FakeReader reader(Installed{{"root", names}, {"long-shared-prefix", {"z", "a", "long-shared-prefix-b"}}});
    testing::internal::CaptureStderr();
    const DependencyMap map = DependencyMap::from_installed(reader, true);
    testing::internal::GetCapturedStderr();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(texts(map.get(p("root"))), names);
    EXPECT_EQ(texts(map.get(p("long-shared-prefix[x]"))), (Texts{"a", "long-shared-prefix-b", "z"}));
}

TEST(InstalledDependencyMapTest, MissingPackagesAreWarnedAboutAndHaveNoExtras) {
    const FakeReader reader(Installed{{"a", {"ghost"}}});
    testing::internal::CaptureStderr();
    const DependencyMap map = DependencyMap::from_installed(reader, true);
    const DependencyMap::ExtrasMap extras = DependencyMap::fetch_extras_for_installed_package(p("Nope"), reader);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: Package ghost not found when fetching extras.\n"
              "WARNING: Package Nope not found when fetching extras.\n");
    EXPECT_TRUE(extras.empty());
    EXPECT_EQ(texts(map.packages()), (Texts{"a", "ghost"}));
}

TEST(InstalledDependencyMapTest, ReaderFailures) {
    FakeReader reader(Installed{{"a", {}}});
    reader.fail_with([] { throw PipDepTreeProcessingException(); });
    testing::internal::CaptureStderr();
    EXPECT_THROW(DependencyMap::from_installed(reader, false), PipDepTreeProcessingException);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: An error happened computing dependency tree\n");

    reader.fail_with([] { throw OsError("disk on fire"); });
    testing::internal::CaptureStderr();
    EXPECT_THROW(DependencyMap::from_installed(reader, false), OsError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(InstalledDependencyMapTest, LineThatDoesNotParseIsSkippedWithOneWarning) {
    const FakeReader reader(Installed{{"Broken", {"ok", "bad >= ; extra == 'x'", "more ; extra == 'x'"}}});
    testing::internal::CaptureStderr();
    const DependencyMap map = DependencyMap::from_installed(reader, true);
    DependencyMap::fetch_extras_for_installed_package(p("broken"), reader);  // read again: no second warning
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: Invalid requirement 'bad >= ; extra == 'x'' of distribution Broken "
              "(/site/Broken.dist-info): Expected a valid version after '>=' at position 7; the line is skipped\n"
              "WARNING: Package ok not found when fetching extras.\n");
    EXPECT_EQ(texts(map.get(p("broken[x]"))), (Texts{"more", "ok"}));
}

}  // namespace
}  // namespace quorl
