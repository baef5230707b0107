#include "resolution/resolved_pins.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

using Pins = std::vector<std::pair<std::string, std::string>>;

const MarkerValues& python_3_11_on_linux() {
    static const MarkerValues markers = [] {
        MarkerValues values;
        values.set(MarkerVariable::PythonVersion, "3.11");
        values.set(MarkerVariable::PythonFullVersion, "3.11.2");
        values.set(MarkerVariable::SysPlatform, "linux");
        return values;
    }();
    return markers;
}

TEST(ResolvedPinsTest, LockFileNamesAreThoseOfTheStandard) {
    for (const char* name : {"pylock.toml", "dir/pylock.release.toml", "pylock.a-b_c.toml"}) {
        EXPECT_TRUE(is_lock_file_name(name)) << name;
    }
    for (const char* name :
         {"pylock..toml", "pylock.a.b.toml", "Pylock.toml", "pylock.toml.txt", "pins.toml", "pylock.toml/x"}) {
        EXPECT_FALSE(is_lock_file_name(name)) << name;
    }
}

// The check compares bare versions, of the pins whose marker holds; the
// environment is asked only when a pin has a marker.
TEST(ResolvedPinsTest, PinnedFileMarkersDecideWhatApplies) {
    test::TemporaryDirectory dir;
    const auto path = dir.write("m.txt", "a==1 ; python_version >= \"3.9\"\na==0.9 ; python_version < \"3.9\"\nb==2\n");
    const ResolvedPins pins = read_resolved_pins(path, python_3_11_on_linux);
    EXPECT_EQ(pins.in_environment().entries(), (Pins{{"a", "1"}, {"b", "2"}}));
    // The release pins the entry that applies, whatever the order.
    EXPECT_EQ(pins.versions.entries(), (Pins{{"a", "1; python_version >= \"3.9\""}, {"b", "2"}}));
    const MarkerSource never = []() -> const MarkerValues& { throw AssertionError("asked"); };
    EXPECT_FALSE(read_resolved_pins(dir.write("plain.txt", "b==2\n"), never).applying);
}

// As `pip lock` and uv write them, and as the standard's example: tool
// tables, sources and unknown keys pass unread.
TEST(ResolvedPinsTest, LockFilesPinTheEntriesThatApply) {
    test::TemporaryDirectory dir;
    const auto path = dir.write("pylock.toml", R"(
lock-version = "1.0"
created-by = "uv"
requires-python = ">=3.9"
future-key = { anything = true }

[[packages]]
name = "attrs"
version = "25.1.0"
index = "https://pypi.org/simple"
sdist = { url = "https://h/attrs-25.1.0.tar.gz", upload-time = 2025-01-25T11:30:10Z, size = 1, hashes = { sha256 = "00" } }
wheels = [{ name = "attrs-25.1.0-py3-none-any.whl", url = "https://h/a.whl", hashes = { sha256 = "00" } }]

[[packages]]
name = "numpy"
version = "1.24.4"
marker = "python_full_version < '3.9'"

[[packages]]
name = "numpy"
version = "2.2.3"
marker = "python_full_version >= '3.9'"
[packages.tool.pdm]
note = "ignored"

[[packages]]
name = "pywin32"
version = "306"
marker = "sys_platform == 'win32'"

[[packages]]
name = "product"
directory = { path = ".", editable = true }

[tool.mousebender]
run-on = 2025-03-06T12:28:57.760769
)");
    const ResolvedPins pins = read_resolved_pins(path, python_3_11_on_linux);
    EXPECT_EQ(pins.versions.entries(), (Pins{{"attrs", "25.1.0"}, {"numpy", "2.2.3"}}));
    EXPECT_FALSE(pins.applying);
}

TEST(ResolvedPinsTest, BadLockFilesAreOneErrorNamingTheFile) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"lock-version = \"1.0\"\n[[packages]\n", "not a valid TOML file"},
        {"[[packages]]\nname = \"a\"\n", "no lock-version"},
        {"lock-version = 1\npackages = []\n", "no lock-version"},
        {"lock-version = \"2.0\"\npackages = []\n", "lock-version 2.0 is not supported"},
        {"lock-version = \"1.0\"\n", "no [[packages]]"},
        {"lock-version = \"1.0\"\n[[packages]]\nversion = \"1\"\n", "packages entry 1 has no name"},
        {"lock-version = \"1.0\"\n[[packages]]\nname = \"a\"\nversion = 1\n", "version is not a string"},
        {"lock-version = \"1.0\"\n[[packages]]\nname = \"a\"\nmarker = \"python_version <\"\n",
         "the marker of package a"},
        {"lock-version = \"1.0\"\n[[packages]]\nname = \"a\"\nversion = \"1\"\n[[packages]]\nname = \"A\"\n"
         "version = \"2\"\n",
         "package A is locked at both 1 and 2"},
    };
    test::TemporaryDirectory dir;
    for (const auto& [content, fragment] : cases) {
        const auto path = dir.write("pylock.bad.toml", content);
        const std::string message =
            test::expect_error_message<ValueError>([&] { read_resolved_pins(path, python_3_11_on_linux); });
        EXPECT_EQ(message.rfind(path.string() + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace quorl
