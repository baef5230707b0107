#include "support/worker_thread.h"

#include <system_error>
#include <utility>

#include "support/signals.h"

namespace quorl {

WorkerThread::WorkerThread(std::function<void()> task) {
    try {
        const signals::BlockInterrupts blocked;  // inherited by the thread
        thread_.emplace([this, task = std::move(task)] {
            try {
                task();
            } catch (...) {
                failure_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: started() says so.
    }
}

void WorkerThread::wait() {
    if (thread_ && thread_->joinable()) thread_->join();
}

void WorkerThread::join() {
    wait();
    if (std::exception_ptr failure = std::exchange(failure_, nullptr)) std::rethrow_exception(failure);
}

}  // namespace quorl
