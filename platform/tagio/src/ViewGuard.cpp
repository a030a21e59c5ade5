// A mapped view faults (SIGBUS) when its file is cut short under it, say by
// a recorder still at work on the file being read. A read through a guarded
// call then ends that call with an error instead of the process: the signal
// handler jumps back to where the call began when the faulting address lies
// in the view of the reader the calling thread is guarding. Any other SIGBUS
// goes to whatever handled it before.
#include <csetjmp>
#include <csignal>
#include <mutex>

#include "FileHandles.h"

namespace {

struct Guard {
    const TagioFileReadAble* reader = nullptr;
    sigjmp_buf back;
};

// Set only while a guarded call runs on this thread. Initial-exec: a read
// costs no call (a walk makes one guarded call per tag), and the handler
// reads it without a lookup that could allocate.
__attribute__((tls_model("initial-exec"))) thread_local Guard* tGuard = nullptr;
struct sigaction gPrevious {};

bool InView(const TagioFileReadAble* h, const void* address) {
    const tagio::Mapping* v = h->view.get();
    const auto* at = static_cast<const uint8_t*>(address);
    return v && at >= v->base && at < v->base + v->length;
}

void OnBusError(int sig, siginfo_t* info, void* context) {
    Guard* g = tGuard;
    if (g && InView(g->reader, info->si_addr)) siglongjmp(g->back, 1);
    if (gPrevious.sa_flags & SA_SIGINFO) {
        if (gPrevious.sa_sigaction) {
            gPrevious.sa_sigaction(sig, info, context);
            return;
        }
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(sig);
        return;
    }
    // Returning runs the faulting instruction again, now to the default end.
    ::signal(SIGBUS, SIG_DFL);
}

void Install() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // Not blocked while handled: the jump back leaves the thread's mask as it was.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &gPrevious);
}

}  // namespace

extern "C" TAGIO_API int FileReadAble_Guarded(TagioFileReadAble* h, int (*body)(void*), void* user) {
    if (!h || !body) return -1;
    static std::once_flag installed;
    std::call_once(installed, Install);
    Guard guard;
    guard.reader = h;
    Guard* const outer = tGuard;
    if (sigsetjmp(guard.back, 0)) {
        tGuard = outer;
        // The handler asks for SIGBUS not to be blocked while it runs, but a
        // layer between it and the kernel (a sanitizer's) may block it all
        // the same, and the jump back restores no mask: left blocked, the
        // next fault would end the process.
        sigset_t bus;
        sigemptyset(&bus);
        sigaddset(&bus, SIGBUS);
        pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
        // Nothing from this view is trusted again: later views read the file.
        h->view.reset();
        h->viewUnmapped = true;
        return -1;
    }
    tGuard = &guard;
    int result;
    try {
        result = body(user);
    } catch (...) {
        tGuard = outer;   // never left pointing at a frame that is gone
        throw;
    }
    tGuard = outer;
    return result;
}
