// The consistency checks of a command, run alongside the work that does not
// depend on them.
//
// With --strict a warning must stop the command before it prints or writes
// anything, so the check runs at once and fails there. Otherwise nothing
// waits for it: it runs on a worker thread while the caller goes on
// (printing the groups, pinning the release), and its warnings are written
// when it has ended, by finish() or, on any other way out, by the
// destructor, so they still come before the error that ends a failing run.
// The check only reads what it is given, which the caller must not change
// meanwhile, and writes nothing itself (ConsistencyCheck gathers its
// warnings).
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "checks/consistency_check.h"
#include "support/worker_thread.h"

namespace quorl {

class ConcurrentCheck {
public:
    // `check_all` makes `check`'s checks. With `strict` it runs now, and a
    // warning throws as ConsistencyCheck::enforce does, saying `nothing_done`.
    ConcurrentCheck(ConsistencyCheck& check, bool strict, std::string_view nothing_done,
                    const std::function<void()>& check_all);
    ~ConcurrentCheck();
    ConcurrentCheck(const ConcurrentCheck&) = delete;
    ConcurrentCheck& operator=(const ConcurrentCheck&) = delete;

    // Waits for the check, rethrows what it threw, and writes its warnings.
    void finish();

private:
    ConsistencyCheck& check_;
    bool finished_ = false;
    std::optional<WorkerThread> worker_;  // last: joined before the rest goes
};

}  // namespace quorl
