// Reading the metadata files of one directory on two threads.
//
// Reading an environment is bound by system calls (open, fstat, read and
// close of every METADATA: most of its time is the kernel's), parsing the
// header blocks by the processor. A worker thread reads the files in order;
// the calling thread takes the results in order, and whenever the next one
// is not read yet, reads the next file nobody has taken up itself rather than
// wait. Every result is used by the calling thread, in order, and every report
// on it (a failure, a cut at the bound) is made there, so what a run prints
// does not depend on the timing of the threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "environment/metadata.h"
#include "support/worker_thread.h"

namespace quorl {

class MetadataPrefetch {
public:
    // Below this many files a thread costs more than it saves: take() reads
    // every file itself, as it does when no thread can be started.
    static constexpr std::size_t MIN_FILES = 64;

    // Reads the header block of `<name>/<file>` below `directory_fd` for each
    // of `names`, in order. The descriptor and the names must outlive this.
    MetadataPrefetch(int directory_fd, std::vector<std::string_view> names, const char* file);
    // Stops the worker and waits for it, on every way out of the caller.
    ~MetadataPrefetch();
    MetadataPrefetch(const MetadataPrefetch&) = delete;
    MetadataPrefetch& operator=(const MetadataPrefetch&) = delete;

    // The read of names[index]; each index once, in increasing order.
    // Rethrows what the read threw; throws Interrupted when a signal asked
    // the run to stop.
    HeaderRead take(std::size_t index);

private:
    struct Slot {
        HeaderRead read;
        std::exception_ptr failure;
        bool ready = false;
    };

    Slot read_one(std::size_t index, std::string& path) const;
    std::size_t claim();
    void publish(std::size_t index, Slot slot);
    void run();

    const int directory_fd_;
    const std::vector<std::string_view> names_;
    const char* const file_;
    std::vector<Slot> slots_;
    std::string caller_path_;  // the calling thread's path buffer, kept for its capacity

    std::mutex mutex_;
    std::condition_variable filled_;   // the slot the caller waits for is ready
    std::condition_variable drained_;  // the caller took what held the worker back
    std::size_t next_ = 0;             // the first file nobody has taken up
    std::size_t awaited_;              // the slot the caller sleeps on; none: npos
    std::size_t held_bytes_ = 0;       // text in ready slots not yet taken
    bool worker_waits_ = false;
    bool stop_ = false;
    std::optional<WorkerThread> worker_;  // last: stopped before the rest goes
};

}  // namespace quorl
