// Independent items of work shared by the calling thread and one other. The
// other thread starts on a batch at once, so the caller can go on with its
// own work meanwhile; when it needs the results it takes the items still
// left itself, and waits only for the item the other thread is on.
//
// Release hosts are often small (two cores): one thread beside the caller's
// is what pays there, and it keeps the rules simple.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quorl {

class ParallelBatch {
public:
    // Called once for each item; items are taken in ascending order, by
    // either thread, so `work` must touch nothing but what belongs to its
    // item (and what no thread writes). It must not log.
    using Work = std::function<void(std::size_t item)>;

    ParallelBatch() = default;
    ~ParallelBatch();  // finishes the batch, dropping any exception
    ParallelBatch(const ParallelBatch&) = delete;
    ParallelBatch& operator=(const ParallelBatch&) = delete;

    // Starts items 0 to count - 1 on the other thread. A batch still running
    // is finished first. With fewer than two items, on a host with one
    // processor, or when no thread can be started, nothing starts: finish()
    // then does all of it.
    void start(std::size_t count, Work work);

    // Takes the items left on the calling thread and waits for the other
    // one. Rethrows the exception of the lowest item that threw, once every
    // item has been tried. Does nothing when no batch was started.
    void finish();

    bool running() const { return started_; }

private:
    void take_items();

    Work work_;
    std::size_t count_ = 0;
    std::atomic<std::size_t> next_{0};
    std::mutex failure_mutex_;
    std::size_t failed_item_ = 0;
    std::exception_ptr failure_;
    std::thread other_;
    bool started_ = false;
};

}  // namespace quorl
