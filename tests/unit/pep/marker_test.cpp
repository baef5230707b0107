#include "pep/marker.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

MarkerValues linux_python_3_11() {
    MarkerValues env;
    env.set(MarkerVariable::ImplementationName, "cpython");
    env.set(MarkerVariable::ImplementationVersion, "3.11.2");
    env.set(MarkerVariable::OsName, "posix");
    env.set(MarkerVariable::PlatformMachine, "x86_64");
    env.set(MarkerVariable::PlatformPythonImplementation, "CPython");
    env.set(MarkerVariable::PlatformRelease, "6.1.0-18-amd64");
    env.set(MarkerVariable::PlatformSystem, "Linux");
    env.set(MarkerVariable::PlatformVersion, "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)");
    env.set(MarkerVariable::PythonFullVersion, "3.11.2");
    env.set(MarkerVariable::PythonVersion, "3.11");
    env.set(MarkerVariable::SysPlatform, "linux");
    return env;
}

TEST(MarkerTest, CanonicalTextAsPackagingPrintsIt) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"extra=='test'", "extra == \"test\""},
        {"extra == \"test\" and python_version < \"3.8\"", "extra == \"test\" and python_version < \"3.8\""},
        {"  python_version>='3'  and\tos_name=='nt' ", "python_version >= \"3\" and os_name == \"nt\""},
        {"(python_version < '3.8')", "python_version < \"3.8\""},
        {"(python_version<'3' or os_name=='nt') and extra=='x'",
         "(python_version < \"3\" or os_name == \"nt\") and extra == \"x\""},
        {"'linux' in sys_platform", "\"linux\" in sys_platform"},
        {"sys_platform not   in 'win32 cygwin'", "sys_platform not in \"win32 cygwin\""},
        {"python_full_version === '3.11.2'", "python_full_version === \"3.11.2\""},
        {"platform_version == 'say \"hi\"'", "platform_version == 'say \"hi\"'"},
        {"python_version ~= '3.8'", "python_version ~= \"3.8\""},
        {"os.name == 'posix' and python_implementation == 'CPython'",
         "os_name == \"posix\" and platform_python_implementation == \"CPython\""},
        {"platform.machine=='x86_64'or sys.platform=='linux'",
         "platform_machine == \"x86_64\" or sys_platform == \"linux\""},
        // Doubled parentheses keep one pair: dropping both would change the meaning.
        {"((os_name == 'nt' or os_name == 'posix')) and extra == 'x'",
         "(os_name == \"nt\" or os_name == \"posix\") and extra == \"x\""},
    };
    for (const auto& [input, canonical] : cases) {
        EXPECT_EQ(Marker::parse(input).to_string(), canonical) << input;
    }
}

TEST(MarkerTest, EvaluatesAgainstTheEnvironment) {
    const MarkerValues env = linux_python_3_11();
    struct Case {
        const char* marker;
        const char* extra;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"python_version < '3.8'", "", false},
        {"python_version >= '3.8'", "", true},  // 3.11 >= 3.8 as versions, not as strings
        {"python_version > '3.9'", "", true},
        {"'3.8' < python_version", "", true},
        {"python_full_version == '3.11.*'", "", true},
        {"python_version ~= '3.10'", "", true},
        {"python_full_version === '3.11.2'", "", true},
        {"sys_platform == 'win32'", "", false},
        {"sys_platform != 'win32'", "", true},
        {"'linux' in sys_platform", "", true},
        {"sys_platform not in 'win32 cygwin'", "", true},
        {"platform_release >= '5'", "", true},     // not a version: compared as strings
        {"platform_release ~= '6.1'", "", false},  // defined for versions only
        {"platform_system < 'M'", "", true},
        {"extra == 'test'", "", false},
        {"extra == 'test'", "test", true},
        {"extra == 'Dev_Tools'", "dev-tools", true},  // extras compare by canonical name
        {"extra == \"test\" and python_version < \"3.8\"", "test", false},
        {"python_version < '3' or os_name == 'posix' and extra == 'x'", "", false},  // and binds tighter
        {"python_version < '3' or os_name == 'posix' and extra == 'x'", "x", true},
        {"(python_version < '3' or os_name == 'posix') and extra == 'x'", "", false},
        {"os_name == 'nt' and python_version < '3' or sys_platform == 'linux'", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Marker::parse(c.marker).evaluate(env, c.extra), c.expected) << c.marker << " extra=" << c.extra;
    }
}

TEST(MarkerTest, ExtraNamesComeFromEqualityComparisons) {
    EXPECT_EQ(Marker::parse("extra == \"test\" and python_version < \"3.8\"").extra_names(),
              std::vector<std::string>{"test"});
    EXPECT_EQ(Marker::parse("'a' == extra or (extra == 'b' and extra == 'a')").extra_names(),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(Marker::parse("extra != 'a' and python_version < '3'").extra_names().empty());
}

TEST(MarkerTest, RejectsInvalidMarkersNamingThePosition) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"", "Expected a marker variable or quoted string at position 0"},
        {"pyton_version < '3'", "Expected a marker variable or quoted string at position 0"},
        {"python_version", "Expected marker operator"},
        {"python_version = '3'", "Expected marker operator"},
        {"python_version < '3", "Expected a closing quote for the string at position 17"},
        {"(python_version < '3'", "Expected matching right parenthesis"},
        {"python_version < '3' and", "Expected a marker variable or quoted string at position 24"},
        {"python_version < '3' xor os_name == 'nt'", "Expected end of marker"},
        {"os_name not 'nt'", "Expected 'in' after 'not'"},
        {std::string(101, '(') + "os_name == 'nt'" + std::string(101, ')'), "at most 100 nested parentheses"},
    };
    for (const auto& [input, message] : cases) {
        SCOPED_TRACE(input);
        const std::string error = test::expect_error_message<ValueError>([&] { Marker::parse(input); });
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_NE(error.find("'" + input + "'"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace quorl
