#pragma once

// Marks the functions and classes the engine library exports; everything else
// stays hidden (the library is built with -fvisibility=hidden).
#if defined(PROJCORE_BUILDING)
#define PROJCORE_API __attribute__((visibility("default")))
#else
#define PROJCORE_API
#endif
