#include "cli/release_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace quorl::cli {
namespace {

TEST(ReleaseJsonTest, LayoutKeepsOrderAndHasNoFinalLineBreak) {
    PinnedGroups pinned;
    pinned.set("zeta", {"numpy==1.19.2", "pandas==1.1.3"});
    pinned.set("empty", {});
    pinned.set("alpha", {"a==1"});
    EXPECT_EQ(release_json_text(pinned),
              "{\n"
              "  \"zeta\": [\n"
              "    \"numpy==1.19.2\",\n"
              "    \"pandas==1.1.3\"\n"
              "  ],\n"
              "  \"empty\": [],\n"
              "  \"alpha\": [\n"
              "    \"a==1\"\n"
              "  ]\n"
              "}");
    EXPECT_EQ(release_json_text(PinnedGroups{}), "{}");
}

TEST(ReleaseJsonTest, EscapesKeepTheFileAscii) {
    PinnedGroups pinned;
    pinned.set("d\xC3\xA9j\xC3\xA0/\"q\"\\", {std::string("\b\f\n\r\t\x01") + "\x7f", "\xF0\x9F\x90\x8D"});
    pinned.set("bad\xFF", {"\xC3"});
    EXPECT_EQ(release_json_text(pinned),
              "{\n"
              "  \"d\\u00e9j\\u00e0/\\\"q\\\"\\\\\": [\n"
              "    \"\\b\\f\\n\\r\\t\\u0001\\u007f\",\n"
              "    \"\\ud83d\\udc0d\"\n"
              "  ],\n"
              "  \"bad\\ufffd\": [\n"
              "    \"\\ufffd\"\n"
              "  ]\n"
              "}");
}

// The text is written without a JSON document; it must be exactly what a
// 2-space, ASCII-only dump of the same document gives, for plain and escaped
// strings alike.
TEST(ReleaseJsonTest, SameTextAsADocumentDump) {
    const std::vector<std::string> texts = {"a==1",        "",     "x y/z~",      "tab\there",        "q\"",
                                            "back\\slash", "\x7f", "caf\xC3\xA9", "\xF0\x9F\x90\x8D", "bad\xFF",
                                            "nul\x01"};
    PinnedGroups pinned;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        pinned.set(texts[i], std::vector<std::string>(texts.begin(), texts.begin() + static_cast<long>(i)));
    }
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (const auto& [name, lines] : pinned) document[name] = lines;
    EXPECT_EQ(release_json_text(pinned), document.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace));
}

}  // namespace
}  // namespace quorl::cli
