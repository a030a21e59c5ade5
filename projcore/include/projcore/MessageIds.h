#pragma once

// Message identifiers: nine decimal digits D MMMMM G NN. D is 2 for a command
// or request and 1 for a notification; MMMMM is the module (10021 project
// manager, 10170 sequence manager, 10020 clip settings and resources, 10581
// shell-facing managers). A number means something only to its receiver.

#include <cstdint>

namespace msg {

// Commands of the project manager (the address GetProjectMgr returns).
inline constexpr int32_t kProjectNew = 210021001;
inline constexpr int32_t kProjectClose = 210021002;      // p1: int32_t* result (1 closed, -1 cancelled)
inline constexpr int32_t kProjectOpen = 210021003;
inline constexpr int32_t kProjectSave = 210021004;
inline constexpr int32_t kProjectSaveAs = 210021005;
inline constexpr int32_t kProjectGetListener = 210021006;  // p1: CBaseListener** (null without a project)
inline constexpr int32_t kProjectGetPath = 210021007;      // p1: char buffer, p2: its size
inline constexpr int32_t kProjectExamineMedia = 210021008;  // p1: MediaFileInfo*

// Questions the project manager asks the host; the host answers through p1.
inline constexpr int32_t kAskSavePath = 210581401;     // p1: zeroed char[p2]; "" = cancelled
inline constexpr int32_t kAskOpenPath = 210581402;     // p1: zeroed char[p2]; "" = cancelled
inline constexpr int32_t kAskSaveAsPath = 210581403;   // p1: zeroed char[p2]; "" = cancelled
inline constexpr int32_t kAskSaveChanges = 210581404;  // p1: int32_t* preset 0, see SaveChangesAnswer

// Notifications of the project manager to the host.
inline constexpr int32_t kNotifyNothingToSave = 110581001;
inline constexpr int32_t kNotifySaveFailed = 110581002;   // p1: "No Project" (p2 10) or null (p2 0)
inline constexpr int32_t kNotifyOpenFailed = 110581003;
inline constexpr int32_t kNotifyNewFailed = 110581004;
inline constexpr int32_t kNotifyNewDone = 110581005;
inline constexpr int32_t kNotifySaved = 110581006;
inline constexpr int32_t kNotifyClosed = 110581007;
inline constexpr int32_t kNotifyOpened = 110581008;

// Notification of the project while a project file loads (p1: LoadProgress*).
inline constexpr int32_t kNotifyLoadProgress = 110581401;

// Commands of the project's listener: each writes one CBaseListener* through p1.
inline constexpr int32_t kGetSequenceManager = 210581101;
inline constexpr int32_t kGetTrashManager = 210581102;
inline constexpr int32_t kGetImportedManager = 210581103;
inline constexpr int32_t kGetClipEditManager = 210581104;
inline constexpr int32_t kGetPlayerManager = 210581105;
inline constexpr int32_t kGetConversionManager = 210581106;

// Player command the project sends when it closes: stop the preview.
inline constexpr int32_t kPlayerStop = 210581505;

// Notifications of a clip's trim (p1: uint32_t* of the new value, milliseconds).
inline constexpr int32_t kNotifyTrimStart = 110020301;
inline constexpr int32_t kNotifyTrimEnd = 110020302;
inline constexpr int32_t kNotifyTrimDuration = 110020303;
// Notifications of a clip's crop: the margins (p1: Rect*, p2 16), and the
// crop frame's handle under the mouse (p2: 0 none, 1 left edge, 2 top-left,
// 3 top, 4 top-right, 5 right, 6 bottom-left, 7 bottom, 8 bottom-right, 9 move).
inline constexpr int32_t kNotifyCropMargins = 110020401;
inline constexpr int32_t kNotifyCropHandle = 110020402;

}  // namespace msg
