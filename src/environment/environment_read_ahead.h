// Reading the likely site-packages directory of the environment while its
// interpreter is still being asked for sys.path.
//
// The query is a child process, and the calling thread only waits for it; in
// a large environment it takes about a third of the time the metadata takes
// to read. So the directory the chosen interpreter most likely has on
// sys.path is listed, and its METADATA files read, on a worker thread
// meanwhile. Once the search path is known, the read is used only for the
// search-path directory it is of (same device and inode) and only when that
// directory still lists the same entries; otherwise it is thrown away and the
// directory is read as it would have been. What a run prints never depends on
// it: the prefetch reports nothing itself (metadata_prefetch.h), and a guess
// that misses costs only the wasted read.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "environment/metadata_directory.h"
#include "environment/metadata_prefetch.h"
#include "support/worker_thread.h"

namespace quorl {

// A directory listed, and its dist-info METADATA being read, ahead of time.
struct ReadAheadDirectory {
    explicit ReadAheadDirectory(const std::string& path) : directory(path) {}

    MetadataDirectory directory;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<MetadataEntry> listed;           // in listing order, to recognise an unchanged directory
    std::vector<MetadataEntry> entries;          // in name order, the order they are read in
    std::unique_ptr<MetadataPrefetch> prefetch;  // of the dist-info entries among `entries`, in order
};

// While one lives, the first query of the interpreter (interpreter_facts.h)
// starts the read ahead, and the first listing of the environment may use it.
// A command that lists the environment holds one for its whole run; other
// commands never read ahead. Its destructor stops the threads and waits for
// them, on every way out. Used from the main thread only.
class EnvironmentReadAhead {
public:
    EnvironmentReadAhead();
    ~EnvironmentReadAhead();
    EnvironmentReadAhead(const EnvironmentReadAhead&) = delete;
    EnvironmentReadAhead& operator=(const EnvironmentReadAhead&) = delete;

    // Starts reading the likely site-packages directory of `interpreter`
    // when a read-ahead lives and has not started. Never throws: without a
    // thread or a guess, nothing is read ahead.
    static void start(const std::filesystem::path& interpreter);

    // What was read ahead, when it is of `directory` (same device and inode)
    // and that directory still lists what it listed then; handed out once.
    // A directory of that identity that lists something else ends the read
    // ahead; another directory leaves it for a later one. Waits for the
    // guessed directory's listing first.
    static std::unique_ptr<ReadAheadDirectory> take_if_same(const MetadataDirectory& directory, dev_t device,
                                                            ino_t inode);

    // Ends what was not taken, so that its worker stops reading.
    static void discard();

private:
    void read(const std::filesystem::path& directory);
    void join();

    std::optional<WorkerThread> worker_;
    std::unique_ptr<ReadAheadDirectory> read_;  // the worker's result, the main thread's once joined
    bool started_ = false;
};

// <prefix>/lib/pythonX.Y/site-packages of the venv that `interpreter`
// (<prefix>/bin/python...) belongs to, X.Y from the version its pyvenv.cfg
// records; nothing when the interpreter is not in a venv.
std::optional<std::filesystem::path> likely_site_packages(const std::filesystem::path& interpreter);

}  // namespace quorl
