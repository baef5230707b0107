#include "checks/concurrent_check.h"

namespace quorl {

ConcurrentCheck::ConcurrentCheck(ConsistencyCheck& check, bool strict, std::string_view nothing_done,
                                 const std::function<void()>& check_all)
    : check_(check) {
    if (!strict) worker_.emplace(check_all);
    if (worker_ && worker_->started()) return;
    worker_.reset();  // no thread to be had: checked here, as with --strict
    check_all();
    check_.enforce(strict, nothing_done);
}

ConcurrentCheck::~ConcurrentCheck() {
    if (finished_) return;
    if (worker_) worker_->wait();  // what it threw gives way to the failure on its way out
    check_.enforce(false, "");
}

void ConcurrentCheck::finish() {
    finished_ = true;
    if (worker_) worker_->join();
    check_.enforce(false, "");
}

}  // namespace quorl
