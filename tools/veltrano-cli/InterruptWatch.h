#pragma once

// Ctrl-C and termination requests as an ordinary call on a thread of our
// own. Block() must run before any other thread starts, so that every thread
// inherits the blocked signals and only the watcher receives them.

#include <functional>

namespace InterruptWatch {

void Block();
// Calls onSignal (on the watcher thread) for every SIGINT, SIGTERM or SIGHUP.
void Start(std::function<void()> onSignal);

}  // namespace InterruptWatch
