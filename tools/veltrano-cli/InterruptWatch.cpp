#include "InterruptWatch.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace {

sigset_t Signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

namespace InterruptWatch {

void Block() {
    const sigset_t set = Signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void Start(std::function<void()> onSignal) {
    // The thread waits for the process's whole life; exit ends it.
    std::thread([onSignal = std::move(onSignal)] {
        const sigset_t set = Signals();
        for (int heard = 0;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            if (++heard >= 3) {
                static const char kMsg[] = "\nveltrano-cli: stopped without cleaning up\n";
                (void)!::write(STDERR_FILENO, kMsg, sizeof kMsg - 1);
                ::_exit(1);
            }
            onSignal();
        }
    }).detach();
}

}  // namespace InterruptWatch
