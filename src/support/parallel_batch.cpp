#include "support/parallel_batch.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <utility>

namespace quorl {
namespace {

bool has_second_processor() { return std::thread::hardware_concurrency() != 1; }

// Starts `run` on a thread that blocks every signal, so that a signal
// meant for the process (an interrupt, a terminal's resize) reaches the
// main thread, which handles it; nothing when no thread can be started.
template <typename Run>
std::thread thread_without_signals(Run run) {
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread thread;
    try {
        thread = std::thread(std::move(run));
    } catch (const std::system_error&) {
        // Out of threads (a process limit): the caller does the work itself.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

}  // namespace

ParallelBatch::~ParallelBatch() {
    try {
        finish();
    } catch (...) {
        // Only a batch abandoned by an exception of the caller ends here.
    }
}

void ParallelBatch::start(std::size_t count, Work work) {
    finish();
    work_ = std::move(work);
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    failure_ = nullptr;
    started_ = true;
    if (count < 2 || !has_second_processor()) return;
    other_ = thread_without_signals([this] { take_items(); });
}

void ParallelBatch::take_items() {
    for (std::size_t item = next_.fetch_add(1, std::memory_order_relaxed); item < count_;
         item = next_.fetch_add(1, std::memory_order_relaxed)) {
        try {
            work_(item);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failure_mutex_);
            if (!failure_ || item < failed_item_) {
                failure_ = std::current_exception();
                failed_item_ = item;
            }
        }
    }
}

void ParallelBatch::finish() {
    if (!started_) return;
    take_items();
    if (other_.joinable()) other_.join();
    started_ = false;
    work_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace quorl
