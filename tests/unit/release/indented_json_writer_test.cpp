#include "release/indented_json_writer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace quorl {
namespace {

// The writer must give what an indented dump of the same tree gives, byte
// for byte, however deep it starts: nested containers, empty ones, and
// strings that need escapes (quotes, controls, non-ASCII, broken UTF-8).
TEST(IndentedJsonWriterTest, WritesWhatAnIndentedDumpWrites) {
    const std::string awkward = "a\"b\\c\n\x01 caf\xC3\xA9 \xFF";
    nlohmann::ordered_json tree{{"name", "plain"},
                                {"list", {{{"id", awkward}}, {{"license", {{"name", "MIT"}}}}}},
                                {"empty", nlohmann::ordered_json::array()},
                                {"none", nlohmann::ordered_json::object()}};
    for (const std::size_t level : {0, 2}) {
        std::string out;
        IndentedJsonWriter json(out, level);
        json.begin_object();
        json.string_member("name", "plain");
        json.key("list");
        json.begin_array();
        json.begin_object();
        json.string_member("id", awkward);
        json.end_object();
        json.begin_object();
        json.key("license");
        json.begin_object();
        json.string_member("name", "MIT");
        json.end_object();
        json.end_object();
        json.end_array();
        json.key("empty");
        json.begin_array();
        json.end_array();
        json.key("none");
        json.begin_object();
        json.end_object();
        json.end_object();
        std::string expected = tree.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
        for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 1 + 2 * level) {
            expected.insert(at + 1, 2 * level, ' ');
        }
        EXPECT_EQ(out, expected) << "level " << level;
    }
}

// A quote or a backslash is escaped wherever it stands: in the eight-byte
// steps of the scan, in the bytes after them, first and last.
TEST(IndentedJsonWriterTest, EscapesAQuoteOrBackslashAtEveryPlace) {
    for (const char special : {'"', '\\'}) {
        for (std::size_t size = 1; size <= 20; ++size) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string value(size, 'x');
                value[at] = special;
                EXPECT_EQ(json_string(value), nlohmann::json(value).dump()) << size << " " << at;
            }
        }
    }
    EXPECT_EQ(json_string("pkg-lib3606==5.2.0"), "\"pkg-lib3606==5.2.0\"");
}

}  // namespace
}  // namespace quorl
