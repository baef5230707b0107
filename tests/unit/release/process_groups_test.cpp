#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "release/package_extras_manager.h"
#include "support/errors.h"
#include "support/files.h"

namespace quorl {
namespace {

// Both checks come before any file is read: the paths do not exist.
TEST(ProcessGroupsTest, NeedsExactlyOneRequirementsFileBeforeReadingAnything) {
    EXPECT_THROW(PackageExtrasManager::process_groups({}), AssertionError);
    EXPECT_THROW(PackageExtrasManager::process_groups(
                     {GroupInput("/missing/a.txt", "a", {"x"}), GroupInput("/missing/b.txt", "b", {"y"})}),
                 AssertionError);
    EXPECT_THROW(PackageExtrasManager::process_groups(
                     {GroupInput("/missing/a.txt", "a", {"x"}), GroupInput("/missing/a.txt", "b", {"y"})}),
                 OsError);
}

void write_script(const std::filesystem::path& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// The whole flow no command runs at once, against a stand-in venv: its
// pip-compile pins "a" (and an entry the cleaning removes), its pip records
// the install, and its interpreter answers the environment query with no
// site-packages but pip's metadata, so every release group is empty.
TEST(ProcessGroupsTest, ReleaseFlowResolvesInstallsAndPinsTheReleaseGroups) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorl-flow-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    std::filesystem::create_directories(dir / "venv/bin");
    std::filesystem::create_directories(dir / "setup");
    write_script(dir / "venv/bin/python", "if [ \"$1\" = -m ]; then echo \"$@\" >> \"" + (dir / "pip.log").string() +
                                              "\"; exit 0; fi\n"
                                              "PYTHONPATH=\"" +
                                              (dir / "pip").string() + "\" exec python3 -S \"$@\"\n");
    std::filesystem::create_directories(dir / "pip/pip-23.0.dist-info");
    std::ofstream(dir / "pip/pip-23.0.dist-info/METADATA") << "Name: pip\nVersion: 23.0\n";
    write_script(dir / "venv/bin/pip-compile",
                 "while [ $# -gt 0 ]; do [ \"$1\" = --output-file ] && out=$2; shift; done\n"
                 "printf 'a==1\\nsklearn==0.0\\n' > \"$out\"\n");
    std::ofstream(dir / "in.txt") << "a\n";
    const char* saved = std::getenv("VIRTUAL_ENV");
    const std::string previous = saved ? saved : "";
    ::setenv("VIRTUAL_ENV", (dir / "venv").c_str(), 1);

    const PinnedGroups groups = PackageExtrasManager::generate_extras_to_setup(dir / "in.txt", dir / "setup",
                                                                               "pins.txt", dir / "exclude.txt", {}, {});

    saved ? ::setenv("VIRTUAL_ENV", previous.c_str(), 1) : ::unsetenv("VIRTUAL_ENV");
    EXPECT_EQ(files::read(dir / "setup/pins.txt"), "a==1\n");
    EXPECT_EQ(files::read(dir / "pip.log"), "-m pip install -r " + (dir / "setup/pins.txt").string() + "\n");
    std::vector<std::string> names;
    for (const auto& [name, pinned] : groups) {
        names.push_back(name);
        EXPECT_EQ(pinned, name == "a" ? std::vector<std::string>{"a==1"} : std::vector<std::string>{});
    }
    EXPECT_EQ(names, (std::vector<std::string>{"full-runtime", "corvaneth-quorl-tessaly-all", "data-science",
                                               "full-glimwork-internal", "external-runtime", "a"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorl
