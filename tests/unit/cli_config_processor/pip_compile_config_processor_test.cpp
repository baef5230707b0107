#include "cli_config_processor/pip_compile_config_processor.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

using Key = PipCompileSupportedConfig;
using Flag = PipCompilePropertyConfigElement;
using Pair = PipCompileArgumentConfigElement;
using Strings = std::vector<std::string>;

TEST(PipCompileSupportedConfigTest, EveryMemberRendersItsExactOptionString) {
    const std::vector<std::pair<Key, const char*>> members = {
        {Key::QUIET, "-q"},
        {Key::NO_ANNOTATE, "--no-annotate"},
        {Key::NO_HEADER, "--no-header"},
        {Key::NO_EMIT_FIND_LINKS, "--no-emit-find-links"},
        {Key::NO_EMIT_INDEX_URL, "--no-emit-index-url"},
        {Key::NO_EMIT_OPTIONS, "--no-emit-options"},
        {Key::NO_EMIT_TRUSTED_HOST, "--no-emit-trusted-host"},
        {Key::STRIP_EXTRAS, "--strip-extras"},
        {Key::OUTPUT_FILE, "--output-file"},
        {Key::INDEX_URL, "--index-url"},
        {Key::EXTRA_INDEX_URL, "--extra-index-url"},
        {Key::TRUSTED_HOST, "--trusted-host"},
    };
    for (const auto& [key, text] : members) {
        EXPECT_TRUE(key == text) << text;
        EXPECT_EQ(Flag(key).get_value(), Strings{text});
        EXPECT_EQ(Pair(key, "v").get_value(), (Strings{text, "v"}));
    }
}

TEST(CliConfigProcessorTest, RendersFlagsBeforePairsKeepingInputOrder) {
    struct Case {
        const char* what;
        std::vector<PipCompileConfigProcessor::Element> config;
        Strings expected;
    };
    const std::vector<Case> cases = {
        {"empty", {}, {}},
        {"mixed",
         {Flag(Key::QUIET), Pair(Key::OUTPUT_FILE, "out.txt"), Flag(Key::NO_HEADER), Pair(Key::TRUSTED_HOST, "h")},
         {"-q", "--no-header", "--output-file", "out.txt", "--trusted-host", "h"}},
        {"only pairs, duplicate keys kept",
         {Pair(Key::EXTRA_INDEX_URL, "u1"), Pair(Key::EXTRA_INDEX_URL, "u2")},
         {"--extra-index-url", "u1", "--extra-index-url", "u2"}},
        {"pair typed as option sorts among flags",
         {Flag(Key::QUIET), Pair(Key::TRUSTED_HOST, "h"), Pair(Key::OUTPUT_FILE, "o", CliConfigType::OPTION)},
         {"-q", "--output-file", "o", "--trusted-host", "h"}},
        {"flag with a pair key stays a bare flag", {Flag(Key::OUTPUT_FILE)}, {"--output-file"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PipCompileConfigProcessor::process_config(c.config), c.expected) << c.what;
        EXPECT_EQ(PipCompileConfigProcessor().process_config(c.config), c.expected) << c.what;
    }
}

TEST(CliConfigProcessorTest, ElementWithUnknownTypeFailsWholeCallWithoutMessage) {
    Flag odd(Key::QUIET);
    odd.type = static_cast<CliConfigType>(7);
    const std::optional<QuorlError> error = test::expect_error<QuorlError>([&] {
        PipCompileConfigProcessor::process_config({Flag(Key::NO_HEADER), odd});
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_STREQ(error->what(), "");
}

TEST(CliConfigElementTest, ValidatesTypeTextAndKeyMembership) {
    EXPECT_EQ(cli_config_type_from_text("OPTION"), CliConfigType::OPTION);
    EXPECT_EQ(cli_config_type_from_text("ARGUMENT"), CliConfigType::ARGUMENT);
    EXPECT_TRUE(CliConfigType::ARGUMENT == "ARGUMENT");
    EXPECT_EQ(Pair(Key::QUIET, "x").get_type(), CliConfigType::ARGUMENT);
    const auto type_error = test::expect_error<ValidationError>([] { cli_config_type_from_text("option"); });
    EXPECT_EQ(type_error ? type_error->field() : "", "type");
    const auto key_error = test::expect_error<ValidationError>([] { Flag bad(static_cast<Key>(99)); });
    EXPECT_EQ(key_error ? key_error->field() : "", "key");
}

}  // namespace
}  // namespace quorl
