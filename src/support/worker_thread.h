// One task run on a thread of its own, for work that may overlap with what
// the calling thread does meanwhile.
//
// The thread starts with the interrupt signals blocked, so that their
// handler always runs on the main thread, which stops the run; the task must
// therefore not wait on anything outside the process (a FIFO, a child).
// It is joined on every way out of its owner. When no thread can be had,
// started() is false and the owner does the work itself.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <thread>

namespace quorl {

class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> task);
    ~WorkerThread() { wait(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool started() const { return thread_.has_value(); }
    // Waits for the task to end; rethrows, once, what it threw.
    void join();
    // Waits for the task to end, and throws nothing: for tasks that throw
    // nothing, and for ways out where a failure is on its way already.
    void wait();

private:
    std::exception_ptr failure_;  // written by the task before it ends
    std::optional<std::thread> thread_;
};

}  // namespace quorl
