#include "environment/distribution_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

class DistributionReaderTest : public testing::Test {
protected:
    fs::path write(const std::string& relative, const std::string& content) { return root_.write(relative, content); }
    std::string dir(const std::string& relative) {
        fs::create_directories(root_ / relative);
        return (root_ / relative).string();
    }
    InstalledDistributionReader reader(std::vector<std::string> path) { return {std::move(path), MarkerValues{}}; }

    static std::vector<std::string> keys(const std::vector<Distribution>& distributions) {
        std::vector<std::string> out;
        for (const Distribution& d : distributions) out.push_back(d.key);
        return out;
    }

    test::TemporaryDirectory root_;
};

TEST_F(DistributionReaderTest, ReadsDistInfoAndEggInfoSortedByKey) {
    const std::string site = dir("site");
    write("site/Zope.Interface-5.0.dist-info/METADATA",
          "Metadata-Version: 2.1\nName: zope.interface\nRequires-Dist: setuptools\n\nlong description\n");
    write("site/legacy_pkg-1.0-py3.11.egg-info/PKG-INFO", "Metadata-Version: 1.1\nName: Legacy_Pkg\nVersion: 1.0\n");
    write("site/legacy_pkg-1.0-py3.11.egg-info/requires.txt", "six\n[test]\npytest\n");
    write("site/single_file-2.0.egg-info", "Metadata-Version: 1.0\nName: single-file\n");
    write("site/no_name-3.0.dist-info/METADATA", "Metadata-Version: 2.1\nRequires-Dist: a\n");
    dir("site/broken-1.0.dist-info");  // no METADATA: not a distribution
    write("site/module.py", "");
    write("site/README.DIST-INFO.txt", "");
    const std::vector<Distribution> found =
        reader({site, (root_ / "missing").string(), write("lib.zip", "").string()}).list_distributions();
    ASSERT_EQ(keys(found), (std::vector<std::string>{"legacy-pkg", "no-name", "single-file", "zope-interface"}));
    EXPECT_EQ(found[0].name, "Legacy_Pkg");
    EXPECT_EQ(found[0].requirement_lines, (std::vector<std::string>{"six", "pytest; extra == \"test\""}));
    EXPECT_EQ(found[1].name, "no-name");  // from the file name when Name is missing
    EXPECT_TRUE(found[2].requirement_lines.empty());
    EXPECT_EQ(found[3].name, "zope.interface");
    EXPECT_EQ(found[3].location, site + "/Zope.Interface-5.0.dist-info");
    EXPECT_EQ(found[3].requirement_lines, std::vector<std::string>{"setuptools"});
}

TEST_F(DistributionReaderTest, FirstDistributionAlongThePathWinsAndLaterOnesAreWarnedAbout) {
    const std::string first = dir("first"), second = dir("second");
    write("first/Foo-2.0.dist-info/METADATA", "Name: Foo\nRequires-Dist: new\n\n");
    write("second/foo-1.0.dist-info/METADATA", "Name: foo\nRequires-Dist: old\n\n");
    // Within one directory, byte order of the names decides: "Zeta" before "zeta".
    write("first/zeta-2.0.dist-info/METADATA", "Name: zeta\n");
    write("first/Zeta-1.0.dist-info/METADATA", "Name: Zeta\n");
    testing::internal::CaptureStderr();
    // A directory named twice is read once and does not shadow itself.
    const std::vector<Distribution> found = reader({first, second, first}).list_distributions();
    const std::string warnings = testing::internal::GetCapturedStderr();
    ASSERT_EQ(keys(found), (std::vector<std::string>{"foo", "zeta"}));
    EXPECT_EQ(found[0].requirement_lines, std::vector<std::string>{"new"});
    EXPECT_EQ(found[1].name, "Zeta");
    EXPECT_NE(
        warnings.find("foo at " + second + "/foo-1.0.dist-info is shadowed by Foo at " + first + "/Foo-2.0.dist-info"),
        std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("zeta at " + first + "/zeta-2.0.dist-info is shadowed by Zeta"), std::string::npos);
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 2) << warnings;
}

TEST_F(DistributionReaderTest, ReadsOnlyTheHeaderBlockEvenWhenItSpansChunks) {
    std::string metadata = "Name: big\n";
    std::vector<std::string> expected;
    for (int i = 0; i < 400; ++i) {
        expected.push_back("dependency-number-" + std::to_string(i) + " >=1.0");
        metadata += "Requires-Dist: " + expected.back() + "\n";
    }
    metadata += "\nRequires-Dist: from-the-body\n" + std::string(100000, 'x');
    write("site/big-1.0.dist-info/METADATA", metadata);
    const std::vector<Distribution> found = reader({dir("site")}).list_distributions();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].requirement_lines, expected);
}

TEST_F(DistributionReaderTest, FindsOneDistributionByAnySpellingOfItsName) {
    const std::string first = dir("first"), second = dir("second");
    write("second/My_Pkg-1.0.dist-info/METADATA", "Name: My_Pkg\nRequires-Dist: a ; extra == 'x'\n");
    write("second/other-1.0.dist-info/METADATA", "Name: other\n");
    write("first/my.pkg-2.0.egg-info/PKG-INFO", "Name: my.pkg\n");
    write("first/my.pkg-2.0.egg-info/requires.txt", "b\n");
    write("second/foo-bar-1.0.egg-info/PKG-INFO", "Name: Foo.Bar\n");  // a "-" left in the file name
    // The file name announces mispkg but the metadata names someone else.
    write("first/mispkg-1.0.dist-info/METADATA", "Name: impostor\n");
    const InstalledDistributionReader r = reader({first, second});
    const std::optional<Distribution> found = r.find_distribution("MY-PKG");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, "my.pkg");
    EXPECT_EQ(found->requirement_lines, std::vector<std::string>{"b"});
    EXPECT_EQ(r.find_distribution("other")->location, second + "/other-1.0.dist-info");
    EXPECT_EQ(r.find_distribution("foo_bar")->name, "Foo.Bar");
    EXPECT_FALSE(r.names_disagree());
    EXPECT_FALSE(r.find_distribution("mispkg").has_value());
    EXPECT_TRUE(r.names_disagree());  // only reading every entry tells where impostor is
    EXPECT_FALSE(r.find_distribution("absent").has_value());
}

// The details come from the block read for the graph, only when asked for,
// by find and by list alike; the first of each header counts, empty values
// do not, folded lines join.
TEST_F(DistributionReaderTest, KeepsTheDetailsOfABillOfMaterialsOnlyWhenTold) {
    const std::string site = dir("site");
    write("site/Rich_Pkg-1.0.dist-info/METADATA",
          "Name: Rich_Pkg\nVersion: 1.0\nSummary:\nSummary: Does things\nLicense: MIT\n  and more\n"
          "Classifier: License :: OSI Approved :: MIT License\nClassifier: Programming Language :: Python\n"
          "license-expression: MIT\nHome-page: https://example.org\nProject-URL: Source, https://example.org/src\n"
          "Requires-Dist: a\n\nSummary: from the body\n");
    write("site/Bare_Pkg-2.0.dist-info/METADATA", "Version: 2.0\n");
    const InstalledDistributionReader r = reader({site});
    r.find_distribution("rich-pkg");
    EXPECT_EQ(r.details_of("rich-pkg"), nullptr);
    r.keep_details();
    r.find_distribution("rich-pkg");
    const DistributionDetails* details = r.details_of("rich-pkg");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->name, "Rich_Pkg");
    EXPECT_EQ(details->version, "1.0");
    EXPECT_EQ(details->summary, "Does things");
    EXPECT_EQ(details->license, "MIT  and more");
    EXPECT_EQ(details->license_expression, "MIT");
    EXPECT_EQ(details->license_classifiers, std::vector<std::string>{"License :: OSI Approved :: MIT License"});
    EXPECT_EQ(details->home_page, "https://example.org");
    EXPECT_EQ(details->project_urls, std::vector<std::string>{"Source, https://example.org/src"});
    EXPECT_EQ(r.details_of("bare-pkg"), nullptr);  // not read yet
    r.list_distributions();
    ASSERT_NE(r.details_of("bare-pkg"), nullptr);
    EXPECT_EQ(r.details_of("bare-pkg")->name, "Bare_Pkg");  // no Name: the entry's, as spelt
    EXPECT_FALSE(r.details_of("bare-pkg")->summary.has_value());
    EXPECT_EQ(r.details_of("rich-pkg")->summary, "Does things");
}

TEST_F(DistributionReaderTest, UnreadableMetadataStopsTheListingNamingTheFile) {
    dir("site/loop-1.0.dist-info");
    fs::create_symlink("METADATA", root_ / "site/loop-1.0.dist-info/METADATA");
    EXPECT_EQ(
        test::expect_error_message<PipDepTreeProcessingException>([&] { reader({dir("site")}).list_distributions(); }),
        "Cannot read " + (root_ / "site/loop-1.0.dist-info/METADATA").string() + ": Too many levels of symbolic links");
}

TEST_F(DistributionReaderTest, ADirectoryThatCannotBeListedIsLeftOutWithAWarning) {
    write("site/a-1.0.dist-info/METADATA", "Name: a\n");
    const fs::path loop = root_ / "loop";
    fs::create_symlink("loop", loop);
    testing::internal::CaptureStderr();
    const InstalledDistributionReader installed = reader({loop.string(), (root_ / "missing").string(), dir("site")});
    const std::vector<Distribution> found = installed.list_distributions();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(keys(found), std::vector<std::string>{"a"});
    EXPECT_EQ(err, "WARNING: Cannot list " + loop.string() +
                       ": Too many levels of symbolic links; distributions installed there are left out\n");
    // Looking one distribution up stays quiet: the directories are listed once.
    testing::internal::CaptureStderr();
    EXPECT_TRUE(installed.find_distribution("a").has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace quorl
