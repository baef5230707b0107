// Ending a run on SIGINT, SIGTERM or SIGHUP without leaving anything behind.
//
// The handler only records the signal and passes it on to the child that is
// running, if any. The run then ends at the next point where work resumes
// (a child has ended, a blocking call was interrupted, a file is about to be
// renamed into place): throw_if_interrupted() raises Interrupted there, which
// unwinds through the destructors that remove temporary files and release
// locks, and `main` exits with 128 + the signal.
#pragma once

#include <signal.h>
#include <sys/types.h>

namespace quorl::signals {

// Installs the handlers. A signal that was ignored when the tool started
// (nohup, a background job) stays ignored, for the tool and its children.
void install_interrupt_handlers();

// The signal that asked the run to stop; 0 while none did.
int pending_interrupt();

// Throws Interrupted when a signal asked the run to stop.
void throw_if_interrupted();

// Blocks the interrupt signals while it lives, so that a child can be
// started and registered, or reaped and unregistered, without a signal
// slipping in between. A signal that comes meanwhile is handled when the
// scope ends.
class BlockInterrupts {
public:
    BlockInterrupts();
    ~BlockInterrupts();
    BlockInterrupts(const BlockInterrupts&) = delete;
    BlockInterrupts& operator=(const BlockInterrupts&) = delete;
    // The mask from before: the one a child must start with.
    const sigset_t& previous_mask() const { return previous_; }

private:
    sigset_t previous_;
};

// The child that receives the signals the tool gets (0: none). Set it only
// inside a BlockInterrupts scope.
void set_running_child(pid_t pid);

}  // namespace quorl::signals
