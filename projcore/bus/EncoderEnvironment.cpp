// SVT-AV1 prints its whole configuration unless SVT_LOG says otherwise. avkit
// sets it when it is loaded, but the engine loads avkit on its first call,
// when other threads may be reading the environment and a setenv beside them
// can crash them. The engine is loaded at the program's start, before any
// thread: set it here, keeping a level the user set, and avkit's own setenv
// finds it there and changes nothing.
#include <cstdlib>

__attribute__((constructor)) static void QuietSvtAv1BeforeThreads() { setenv("SVT_LOG", "1", 0); }
