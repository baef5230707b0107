#include "environment/metadata_prefetch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/file_descriptor.h"
#include "test_support.h"

namespace quorl {
namespace {

// Every kind of entry a directory may hold where a METADATA belongs, one
// after the other, with enough of them that the worker thread runs.
std::vector<std::string> make_entries(const test::TemporaryDirectory& dir) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 3 * MetadataPrefetch::MIN_FILES; ++i) {
        const std::string name = "d" + std::to_string(i) + ".dist-info";
        const std::filesystem::path entry = dir / name;
        switch (i % 7) {
            case 0:
                dir.write(name + "/METADATA", "Name: d" + std::to_string(i) + "\nRequires-Dist: x\n\nbody\n");
                break;
            case 1:
                std::filesystem::create_directories(entry);
                break;  // no METADATA
            case 2:
                std::filesystem::create_directories(entry / "METADATA");
                break;
            case 3:
                std::filesystem::create_directories(entry);
                EXPECT_EQ(::mkfifo((entry / "METADATA").c_str(), 0600), 0);
                break;
            case 4:
                std::filesystem::create_symlink(name, entry);
                break;  // a loop: the open fails
            case 5:
                dir.write(name + "/METADATA", "Name: x\nSummary: " + std::string(5000 + i, 's') + "\n\nbody");
                break;
            case 6:
                if (i % 4 == 2) {  // past the bound: cut, and much text held at once
                    std::string lines;
                    while (lines.size() < (5u << 20)) lines += "Classifier: " + std::string(100, 'c') + "\n";
                    dir.write(name + "/METADATA", lines);
                } else {
                    dir.write(name + "/METADATA", "");
                }
                break;
        }
        names.push_back(name);
    }
    return names;
}

// Read on two threads, each file comes out, in order, as a read on the spot
// gives it; leaving early stops the worker.
TEST(MetadataPrefetchTest, GivesEachFileAsAReadOnTheSpotDoes) {
    const test::TemporaryDirectory dir;
    const std::vector<std::string> names = make_entries(dir);
    const std::vector<std::string_view> views(names.begin(), names.end());
    const FileDescriptor directory(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(directory.is_open());
    {
        MetadataPrefetch prefetch(directory.get(), views, "METADATA");
        for (std::size_t i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(names[i]);
            const HeaderRead got = prefetch.take(i);
            const HeaderRead expected = read_header_block(directory.get(), (names[i] + "/METADATA").c_str());
            EXPECT_EQ(got.text, expected.text);
            EXPECT_EQ(got.error, expected.error);
            EXPECT_EQ(got.cut, expected.cut);
        }
    }
    MetadataPrefetch left_early(directory.get(), views, "METADATA");
    EXPECT_EQ(left_early.take(0).text, "Name: d0\nRequires-Dist: x\n");
}

}  // namespace
}  // namespace quorl
