#include "environment/metadata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/file_descriptor.h"
#include "support/text.h"
#include "test_support.h"

namespace quorl {
namespace {

TEST(MetadataTest, HeadersStopAtTheFirstEmptyLineAndUnfoldContinuations) {
    const std::string text =
        "Metadata-Version: 2.1\r\n"
        "name: Foo_Bar\r\n"
        "Version: 1.0\r\n"
        "Requires-Dist: requests[socks] (>=2.0) ;\r\n"
        "  python_version >= \"3.8\"\r\n"
        "REQUIRES-DIST:  café-lib  \r\n"
        "Name: Second\r\n"
        "   \r\n"  // white space only: continues the previous header
        "Requires-Dist: last\r\n"
        "\r\n"
        "Requires-Dist: in-the-body\n";
    const MetadataHeaders headers = parse_metadata_headers(text);
    EXPECT_EQ(headers.name, "Foo_Bar");
    EXPECT_EQ(headers.requires_dist,
              (std::vector<std::string>{"requests[socks] (>=2.0) ;  python_version >= \"3.8\"", "café-lib", "last"}));
    EXPECT_TRUE(parse_metadata_headers("\nName: x\n").requires_dist.empty());
    EXPECT_FALSE(parse_metadata_headers("\nName: x\n").name.has_value());
}

// Most values are stripped by dropping the one space after the colon; the
// rest take the full strip. Both must give what stripping the value gives.
TEST(MetadataTest, ValuesAreStrippedAsTheFullStripStripsThem) {
    const std::string_view values[] = {
        " x",     "x", "  x", " x ", "\tx",          " x\t",       " \x1fx", " x\x1c",
        " \vx\f", " ", "",    "  ",  " caf\xc3\xa9", " \xc2\xa0x", " a b ",
    };
    for (const std::string_view value : values) {
        const std::string text = "Name:" + std::string(value) + "\nRequires-Dist:" + std::string(value) + "\n";
        const MetadataHeaders headers = parse_metadata_headers(text);
        const std::string expected(text::strip(value));
        EXPECT_EQ(headers.name, expected) << '"' << value << '"';
        EXPECT_EQ(headers.requires_dist, std::vector<std::string>{expected}) << '"' << value << '"';
    }
}

TEST(MetadataTest, EggInfoRequiresBecomeLinesWithMarkers) {
    const std::string requires_txt =
        "six>=1.0\n"
        "\n"
        "# a comment\n"
        "[test]\n"
        "pytest\n"
        "[:python_version < \"3.8\"]\n"
        "importlib-metadata\n"
        "[socks:sys_platform == \"win32\"]\n"
        "win-inet-pton\n"
        "pkg @ https://example.org/pkg.whl\n"
        "[ docs ]\n"
        "sphinx\n";
    EXPECT_EQ(egg_info_requirement_lines(requires_txt),
              (std::vector<std::string>{
                  "six>=1.0",
                  "pytest; extra == \"test\"",
                  "importlib-metadata; python_version < \"3.8\"",
                  "win-inet-pton; (sys_platform == \"win32\") and extra == \"socks\"",
                  "pkg @ https://example.org/pkg.whl ; (sys_platform == \"win32\") and extra == \"socks\"",
                  "sphinx; extra == \"docs\"",
              }));
}

// The first read is 4 KB: an empty line right at its end, or split by it,
// still ends the block there.
TEST(MetadataTest, HeaderBlockEndsAtTheEmptyLineWhereverTheReadsSplitIt) {
    const test::TemporaryDirectory dir;
    for (const std::size_t header_size : {4094u, 4095u, 4096u}) {
        SCOPED_TRACE(header_size);
        std::string header = "Name: x\nSummary: ";
        header += std::string(header_size - header.size() - 1, 's') + "\n";
        const std::string path = dir.write("METADATA", header + "\nRequires-Dist: body\n").string();
        EXPECT_EQ(read_metadata_headers(AT_FDCWD, path.c_str(), path), header);
    }
}

// A FIFO where METADATA or requires.txt belongs would block a plain open()
// for ever: it is skipped like a missing file, even when a writer has put a
// whole header block into it, and so are devices that give nothing or no
// blank line.
TEST(MetadataTest, ReadersSkipFifosDevicesAndDirectories) {
    const test::TemporaryDirectory dir;
    std::filesystem::create_directories(dir / "METADATA");
    const std::string fifo = (dir / "requires.txt").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(read_metadata_headers(AT_FDCWD, fifo.c_str(), fifo).has_value());
    EXPECT_FALSE(read_small_file(AT_FDCWD, fifo.c_str(), fifo).has_value());
    const FileDescriptor writer(::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    ASSERT_EQ(::write(writer.get(), "Name: x\n\n", 9), 9);
    EXPECT_FALSE(read_metadata_headers(AT_FDCWD, fifo.c_str(), fifo).has_value());
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        EXPECT_FALSE(read_metadata_headers(AT_FDCWD, device, device).has_value()) << device;
    }
    const std::string directory = (dir / "METADATA").string();
    EXPECT_FALSE(read_metadata_headers(AT_FDCWD, directory.c_str(), directory).has_value());
}

}  // namespace
}  // namespace quorl
