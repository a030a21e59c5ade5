#pragma once

// Identifiers the shell sends or receives that the engine's public header
// does not name yet (the managers that answer them grow in later steps).

#include <cstdint>

namespace shellmsg {
inline constexpr int32_t kNotifyTaskState = 110581302;   // raised on the conversion worker
inline constexpr int32_t kNotifyTaskProgress = 110581303;
inline constexpr int32_t kNotifyAllTasksEnded = 110581305;
}  // namespace shellmsg
