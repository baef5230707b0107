#include "environment/environment_read_ahead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "environment/distribution_reader.h"
#include "test_support.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

// A venv whose site-packages holds enough dist-info entries for the prefetch
// thread, one past the read bound (a warning), an egg-info entry and one that
// a directory earlier on the search path shadows (a warning naming both).
fs::path make_venv(const test::TemporaryDirectory& root, const std::string& name) {
    const std::string site = name + "/lib/python3.11/site-packages/";
    root.write(name + "/pyvenv.cfg", "home = /usr/bin\nversion = 3.11.2\n");
    for (std::size_t i = 0; i < 2 * MetadataPrefetch::MIN_FILES; ++i) {
        const std::string n = std::to_string(i);
        root.write(site + "p" + n + "-1.0.dist-info/METADATA", "Name: p" + n + "\nRequires-Dist: q" + n + "\n\nbody");
    }
    std::string huge;
    while (huge.size() < (5u << 20)) huge += "Classifier: " + std::string(100, 'c') + "\n";
    root.write(site + "huge-1.0.dist-info/METADATA", "Name: huge\n" + huge);
    root.write(site + "old-1.0-py3.11.egg-info/PKG-INFO", "Name: old\nVersion: 1.0\n");
    root.write(site + "old-1.0-py3.11.egg-info/requires.txt", "six\n[test]\npytest\n");
    root.write("other/p7-2.0.dist-info/METADATA", "Name: P7\nVersion: 2.0\n\n");
    return root / (name + "/lib/python3.11/site-packages");
}

using Seen = std::tuple<std::string, std::string, std::string, std::string, std::vector<std::string>>;

// What a listing gives, and what it says on standard error.
std::pair<std::vector<Seen>, std::string> list(const std::vector<std::string>& search_path) {
    testing::internal::CaptureStderr();
    std::vector<Seen> seen;
    for (const Distribution& d : InstalledDistributionReader(search_path, {}).list_distributions()) {
        seen.emplace_back(d.name, d.key, d.location, d.version, d.requirement_lines);
    }
    return {seen, testing::internal::GetCapturedStderr()};
}

// Whatever was read ahead, and whether it hit, the listing is the one a plain
// read of the directories as they are at listing time gives.
TEST(EnvironmentReadAheadTest, ListingAgreesWithThePlainReadWhetherTheGuessHitsMissesOrIsStale) {
    enum class Case { Hit, HitThroughSymlink, GuessElsewhere, ChangedBetween };
    for (const Case c : {Case::Hit, Case::HitThroughSymlink, Case::GuessElsewhere, Case::ChangedBetween}) {
        SCOPED_TRACE(static_cast<int>(c));
        const test::TemporaryDirectory root;
        const fs::path site = make_venv(root, "venv");
        fs::path guessed_interpreter = root / "venv/bin/python";
        if (c == Case::GuessElsewhere) {
            make_venv(root, "venv2");
            guessed_interpreter = root / "venv2/bin/python";
        }
        fs::path listed_site = site;
        if (c == Case::HitThroughSymlink) {
            fs::create_directory_symlink(site, root / "link");
            listed_site = root / "link";
        }
        const std::vector<std::string> search_path = {(root / "other").string(), (root / "missing").string(),
                                                      listed_site.string()};
        std::pair<std::vector<Seen>, std::string> ahead;
        {
            const EnvironmentReadAhead read_ahead;
            EnvironmentReadAhead::start(guessed_interpreter);
            // Waits for the guessed directory's listing without taking it.
            EXPECT_EQ(EnvironmentReadAhead::take_if_same(MetadataDirectory(root.path().string()), 0, 0), nullptr);
            if (c == Case::ChangedBetween) {
                fs::remove_all(site / "p3-1.0.dist-info");
                root.write(site.string() + "/new-1.0.dist-info/METADATA", "Name: new\n\n");
            }
            ahead = list(search_path);
        }
        const std::pair<std::vector<Seen>, std::string> plain = list(search_path);
        EXPECT_EQ(ahead.first, plain.first);
        EXPECT_EQ(ahead.second, plain.second);
        EXPECT_EQ(plain.first.size(), 2 * MetadataPrefetch::MIN_FILES + 2);
        EXPECT_NE(plain.second.find("is shadowed by P7"), std::string::npos) << plain.second;
    }
}

TEST(EnvironmentReadAheadTest, GuessesTheSitePackagesOfTheVersionAVenvRecords) {
    const test::TemporaryDirectory root;
    root.write("a/pyvenv.cfg", "home = /usr/bin\nversion = 3.12.1\n");
    root.write("b/pyvenv.cfg", "implementation = CPython\nversion_info = 3.13.0.final.0\n");
    root.write("c/pyvenv.cfg", "home = /usr/bin\n");
    EXPECT_EQ(likely_site_packages(root / "a/bin/python"), root / "a/lib/python3.12/site-packages");
    EXPECT_EQ(likely_site_packages(root / "b/bin/python3"), root / "b/lib/python3.13/site-packages");
    EXPECT_EQ(likely_site_packages(root / "c/bin/python"), std::nullopt);
    EXPECT_EQ(likely_site_packages(root / "none/bin/python"), std::nullopt);
}

}  // namespace
}  // namespace quorl
