#include "support/signals.h"

#include <signal.h>

#include <array>
#include <csignal>

#include "support/errors.h"

namespace quorl::signals {
namespace {

constexpr std::array<int, 3> INTERRUPTS = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t pending = 0;
volatile sig_atomic_t running_child = 0;

void on_interrupt(int signal_number, siginfo_t* info, void*) {
    if (pending == 0) pending = signal_number;
    // The terminal sends SIGINT (Ctrl-C) and SIGHUP to the whole foreground
    // process group, the child included: passing it on would deliver it
    // twice.
    const bool from_terminal = info != nullptr && info->si_code == SI_KERNEL;
    if (running_child > 0 && !from_terminal) ::kill(static_cast<pid_t>(running_child), signal_number);
}

sigset_t interrupt_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : INTERRUPTS) sigaddset(&set, signal_number);
    return set;
}

}  // namespace

void install_interrupt_handlers() {
    for (const int signal_number : INTERRUPTS) {
        struct sigaction previous {};
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_sigaction = on_interrupt;
        // No SA_RESTART: a blocking wait (a lock, a FIFO, a full pipe) must
        // return so the run can end.
        action.sa_flags = SA_SIGINFO;
        sigfillset(&action.sa_mask);
        ::sigaction(signal_number, &action, nullptr);
    }
}

int pending_interrupt() { return pending; }

void throw_if_interrupted() {
    if (pending != 0) throw Interrupted(pending);
}

BlockInterrupts::BlockInterrupts() {
    const sigset_t set = interrupt_set();
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
}

BlockInterrupts::~BlockInterrupts() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

void set_running_child(pid_t pid) { running_child = pid; }

}  // namespace quorl::signals
