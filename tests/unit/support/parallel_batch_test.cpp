#include "support/parallel_batch.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quorl {
namespace {

// Each item is done exactly once, whoever takes it, and a batch may be
// started again on the same object, even while the caller does other work.
TEST(ParallelBatchTest, DoesEveryItemOnceAcrossBatches) {
    ParallelBatch batch;
    for (const std::size_t count : {0, 1, 2, 1000}) {
        std::vector<int> done(count, 0);
        batch.start(count, [&](std::size_t item) { ++done[item]; });
        batch.finish();
        EXPECT_EQ(std::vector<int>(count, 1), done) << count;
        EXPECT_FALSE(batch.running());
    }
    batch.finish();  // nothing started: nothing happens
}

// The exception of the lowest failing item reaches the caller, as a loop
// over the items would have thrown it, and only after every item was tried.
TEST(ParallelBatchTest, RethrowsTheFirstItemsFailureAfterTheRest) {
    ParallelBatch batch;
    std::vector<int> done(500, 0);
    batch.start(done.size(), [&](std::size_t item) {
        ++done[item];
        if (item % 100 == 37) throw std::runtime_error("item " + std::to_string(item));
    });
    try {
        batch.finish();
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("item 37", error.what());
    }
    EXPECT_EQ(std::vector<int>(done.size(), 1), done);
    // Left running, a batch is finished by its destructor, quietly.
    ParallelBatch abandoned;
    abandoned.start(10, [](std::size_t) { throw std::runtime_error("dropped"); });
}

}  // namespace
}  // namespace quorl
