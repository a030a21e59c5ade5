#pragma once

// Ctrl-C and termination requests as an ordinary call on a thread of our
// own. Block() must run before any other thread starts, so that every thread
// inherits the blocked signals and only the watcher receives them.

#include <functional>

namespace InterruptWatch {

void Block();
// Calls onSignal (on the watcher thread) for a SIGINT, SIGTERM or SIGHUP;
// a third request while stopping gives up at once (exit status 1).
void Start(std::function<void()> onSignal);

}  // namespace InterruptWatch
