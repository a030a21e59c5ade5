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
// Repairs a damaged FLV recording into new files; runs on the caller's thread.
inline constexpr int32_t kProjectRepairFlv = 210021009;     // p1: FlvRepairRequest*, p2 sizeof
// Loads the coding libraries (FFmpeg and its codecs) on a thread of their
// own and returns at once, so that a conversion about to begin finds them
// there; the engine otherwise loads them on first use. A host that reads or
// examines files first sends it before.
inline constexpr int32_t kProjectPrepareCoding = 210021010;

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

// Commands of the sequence manager (records in Records.h).
inline constexpr int32_t kSeqImport = 210170101;            // TImportedFiles*
inline constexpr int32_t kSeqSelect = 210170102;            // TSeqSelection*, p2 12
inline constexpr int32_t kSeqInsert = 210170103;            // TSeqInsertItem*
inline constexpr int32_t kSeqRemoveToTrash = 210170104;     // TSeqItem*
inline constexpr int32_t kSeqRemoveAll = 210170105;
inline constexpr int32_t kSeqExchange = 210170106;          // TSeqExchange*
inline constexpr int32_t kSeqMerge = 210170107;             // TSeqMerge*
inline constexpr int32_t kSeqSort = 210170108;              // TSeqSort*
inline constexpr int32_t kSeqSetProperty = 210170109;       // TSeqProperty*
inline constexpr int32_t kSeqGetProperty = 210170110;       // TSeqProperty*, p2 sizeof
inline constexpr int32_t kSeqGetMediaInfo = 210170111;      // TSeqClipQuery* (value: MediaFileInfo*), p2 sizeof
inline constexpr int32_t kSeqGetCount = 210170112;          // int32_t*
inline constexpr int32_t kSeqGetClipCount = 210170113;      // int32_t* in: sequence
inline constexpr int32_t kSeqMove = 210170114;              // TSeqMove*
inline constexpr int32_t kSeqDeleteList = 210170115;        // TSeqClipArr*, p2 count
inline constexpr int32_t kSeqSetImageTime = 210170116;      // TSeqClipQuery* (value: ms)
inline constexpr int32_t kSeqGetPlayLength = 210170117;     // int32_t* in: sequence
inline constexpr int32_t kSeqGetSequence = 210170118;       // void** slot, p2 sequence index
inline constexpr int32_t kSeqAddFiles = 210170119;          // TAddFilesToSeq*
inline constexpr int32_t kSeqGetClipPlayLength = 210170120; // int32_t* in: sequence, p2 clip
inline constexpr int32_t kSeqGetClipPath = 210170121;       // TSeqClipQuery* (value: const char**)

// Notifications of the sequence manager.
inline constexpr int32_t kNotifySeqSelected = 110170101;     // TSeqSelection*
inline constexpr int32_t kNotifySeqDeselected = 110170102;   // TSeqSelection*
inline constexpr int32_t kNotifySeqImported = 110170103;     // TImportDone*
inline constexpr int32_t kNotifySeqInserted = 110170104;     // TSeqItem*
inline constexpr int32_t kNotifySeqTrashed = 110170105;      // TSeqItem*
inline constexpr int32_t kNotifySeqAllRemoved = 110170106;
inline constexpr int32_t kNotifySeqExchanged = 110170107;    // TSeqExchange*
inline constexpr int32_t kNotifySeqMerged = 110170108;       // TSeqMerge*
inline constexpr int32_t kNotifySeqSorted = 110170109;       // TSeqSorted*
inline constexpr int32_t kNotifySeqPropertySet = 110170110;  // TSeqProperty*
inline constexpr int32_t kNotifySeqPropertyRead = 110170111; // TSeqProperty*
inline constexpr int32_t kNotifySeqRemovedAll = 110170113;   // TSeqItem* per sequence
inline constexpr int32_t kNotifySeqAddFailed = 110170114;    // TAddFailure*
inline constexpr int32_t kNotifySeqRemoved = 110170116;      // TSeqItem*
inline constexpr int32_t kNotifySeqImportProgress = 110170117;  // TImportProgress*
inline constexpr int32_t kNotifySeqFilesAdded = 110170118;   // TFilesAdded*

// Commands of the imported list and the trash (the same numbers for both).
inline constexpr int32_t kResList = 210020101;
inline constexpr int32_t kResRemove = 210020102;   // p2 index
inline constexpr int32_t kResRestore = 210020103;  // p2 index (the trash only)
inline constexpr int32_t kResClear = 210020104;
// Their notifications (p2 of the list-wide ones: 0 imported list, 1 trash).
inline constexpr int32_t kNotifyResListStart = 110020101;
inline constexpr int32_t kNotifyResEntry = 110020102;      // ResourceInfo*
inline constexpr int32_t kNotifyResListEnd = 110020103;
inline constexpr int32_t kNotifyResAdded = 110020105;      // ResourceInfo*
inline constexpr int32_t kNotifyResRemoving = 110020106;   // ResourceInfo*
inline constexpr int32_t kNotifyResRestoring = 110020107;  // ResourceInfo*
inline constexpr int32_t kNotifyResClearing = 110020108;

// Commands of a player message manager (the resource preview, 210581105,
// and the clip preview inside the clip edit manager).
inline constexpr int32_t kPlayerOpen = 210581501;          // PlayerOpenRequest*, p2 sizeof
inline constexpr int32_t kPlayerSetSurface = 210581502;    // CDrawSurface*
inline constexpr int32_t kPlayerSetArea = 210581503;       // Rect* (the preview area)
inline constexpr int32_t kPlayerPlay = 210581504;
inline constexpr int32_t kPlayerClose = 210581505;         // close the source (the project sends it when it closes)
inline constexpr int32_t kPlayerPause = 210581506;
inline constexpr int32_t kPlayerStop = 210581507;          // stop, back at the start
inline constexpr int32_t kPlayerRedraw = 210581508;
inline constexpr int32_t kPlayerStepForward = 210581509;
inline constexpr int32_t kPlayerStepBack = 210581510;
inline constexpr int32_t kPlayerGetDuration = 210581511;   // int32_t* out, ms
inline constexpr int32_t kPlayerGetPosition = 210581512;   // int32_t* out, ms
inline constexpr int32_t kPlayerSetMode = 210581513;       // p2: 0 plain, 1 crop editing, 2 watermark editing, 3 effects
inline constexpr int32_t kPlayerSeek = 210581514;          // p2: ms
inline constexpr int32_t kPlayerSnapshot = 210581515;      // const char* path (.png, .jpg, .bmp)
inline constexpr int32_t kPlayerAddListener = 210581516;   // CBaseListener*
inline constexpr int32_t kPlayerRemoveListener = 210581517;
inline constexpr int32_t kPlayerThrottledSeek = 210581519; // p2: ms

// Notifications of a player message manager.
inline constexpr int32_t kNotifyPlayerOpenFailed = 110581201;  // PlayerOpenFailure*, p2 sizeof
inline constexpr int32_t kNotifyPlayerEnded = 110581202;
inline constexpr int32_t kNotifyPlayerPlaying = 110581203;     // p2: the clip's duration, ms
inline constexpr int32_t kNotifyPlayerPaused = 110581204;
inline constexpr int32_t kNotifyPlayerStopped = 110581205;
inline constexpr int32_t kNotifyPlayerSteppedForward = 110581206;
inline constexpr int32_t kNotifyPlayerSteppedBack = 110581207;
inline constexpr int32_t kNotifyPlayerOpened = 110581208;      // p1: the path, p2 its length
inline constexpr int32_t kNotifyPlayerSeeked = 110581209;      // p2: ms
inline constexpr int32_t kNotifyPlayerClosed = 110581210;
inline constexpr int32_t kNotifyPlayerSnapshotFailed = 110581211;  // p1: the path that could not be written

// Commands of the clip edit manager on the selected clip's effects, trim and
// crop (the watermark commands are 210581001 - 210581032 below).
inline constexpr int32_t kEditBrightness = 210581101;      // p2 value
inline constexpr int32_t kEditContrast = 210581102;        // p2 value
inline constexpr int32_t kEditVolume = 210581103;          // p2 percent
inline constexpr int32_t kEditFlip = 210581104;            // p2 0, 1 or 2
inline constexpr int32_t kEditEffectName = 210581105;      // p1 const char*
inline constexpr int32_t kEditDeinterlace = 210581106;     // p2 0 or not
inline constexpr int32_t kEditEffectsToAll = 210581107;
inline constexpr int32_t kEditEffectsTo = 210581108;       // EditTarget*, p2 sizeof
inline constexpr int32_t kEditRenderEffect = 210581109;    // EditEffectPicture*, p2 sizeof (needs no clip)
inline constexpr int32_t kEditTrimStart = 210581201;       // p2 ms
inline constexpr int32_t kEditTrimEnd = 210581202;         // p2 ms
inline constexpr int32_t kEditCropMargins = 210581203;     // Rect*, p2 16 (crop editing only)
inline constexpr int32_t kEditCropMouseMove = 210581204;   // EditPoint*, p2 sizeof (crop editing only)
inline constexpr int32_t kEditCropMouseDown = 210581205;   // crop editing only
inline constexpr int32_t kEditCropMouseUp = 210581206;
inline constexpr int32_t kEditCropTrimToAll = 210581207;
inline constexpr int32_t kEditTrimCropTo = 210581208;      // EditTarget*, p2 sizeof
inline constexpr int32_t kEditTrimStartLater = 210581209;
inline constexpr int32_t kEditTrimStartEarlier = 210581210;
inline constexpr int32_t kEditTrimEndLater = 210581211;
inline constexpr int32_t kEditTrimEndEarlier = 210581212;
inline constexpr int32_t kEditImageDuration = 210581213;   // p2 ms (picture clips)
inline constexpr int32_t kEditGetMediaInfo = 210581301;    // MediaFileInfo*, p2 sizeof
inline constexpr int32_t kEditGetCrop = 210581302;         // Rect*, p2 16
inline constexpr int32_t kEditGetTrim = 210581303;         // EditTrim*, p2 12
inline constexpr int32_t kEditGetEffects = 210581304;      // EditEffects*, p2 sizeof
inline constexpr int32_t kEditGetCroppedSize = 210581305;  // Rect*, p2 16

// Notifications of the clip edit manager.
inline constexpr int32_t kNotifyEditClip = 110581101;      // TSeqSelection* of the clip now edited
inline constexpr int32_t kNotifyEditNone = 110581102;      // no clip is edited
inline constexpr int32_t kNotifyEditChanging = 110581104;  // the editing target is about to change

// Notifications of a clip's trim (p1: uint32_t* of the new value, milliseconds).
inline constexpr int32_t kNotifyTrimStart = 110020301;
inline constexpr int32_t kNotifyTrimEnd = 110020302;
inline constexpr int32_t kNotifyTrimDuration = 110020303;
// Notifications of a clip's crop: the margins (p1: Rect*, p2 16), and the
// crop frame's handle under the mouse (p2: 0 none, 1 left edge, 2 top-left,
// 3 top, 4 top-right, 5 right, 6 bottom-left, 7 bottom, 8 bottom-right, 9 move).
inline constexpr int32_t kNotifyCropMargins = 110020401;
inline constexpr int32_t kNotifyCropHandle = 110020402;

// Notifications of a clip's effect settings (p2: the value now stored; for the
// effect name p1 points to the name, "" when the clip has no effect).
inline constexpr int32_t kNotifyBrightness = 110020201;
inline constexpr int32_t kNotifyContrast = 110020202;
inline constexpr int32_t kNotifyVolume = 110020203;
inline constexpr int32_t kNotifyEffectName = 110020204;
inline constexpr int32_t kNotifyFlip = 110020205;
inline constexpr int32_t kNotifyDeinterlace = 110020206;

// ---- Watermarks -------------------------------------------------------------
// Commands of the clip edit manager on the selected clip's watermarks; the
// records are in Records.h (p2 = sizeof the record unless said otherwise).
inline constexpr int32_t kWaterMarkAddImage = 210581001;      // WaterMarkString (path)
inline constexpr int32_t kWaterMarkAddText = 210581002;       // WaterMarkString (text)
inline constexpr int32_t kWaterMarkSetImageFile = 210581003;  // WaterMarkString (path)
inline constexpr int32_t kWaterMarkGetImageFile = 210581004;  // WaterMarkPathBuffer
inline constexpr int32_t kWaterMarkSetText = 210581005;       // WaterMarkString (text)
inline constexpr int32_t kWaterMarkGetText = 210581006;       // WaterMarkTextBuffer
inline constexpr int32_t kWaterMarkSetPosition = 210581007;   // WaterMarkPosition
inline constexpr int32_t kWaterMarkGetPosition = 210581008;
inline constexpr int32_t kWaterMarkSetTiming = 210581009;     // WaterMarkTiming
inline constexpr int32_t kWaterMarkGetTiming = 210581010;
inline constexpr int32_t kWaterMarkSetSize = 210581011;       // WaterMarkSize
inline constexpr int32_t kWaterMarkGetSize = 210581012;
inline constexpr int32_t kWaterMarkSetTransparency = 210581013;  // WaterMarkTransparency
inline constexpr int32_t kWaterMarkGetTransparency = 210581014;
inline constexpr int32_t kWaterMarkSetTextStyle = 210581015;  // WaterMarkTextStyle
inline constexpr int32_t kWaterMarkGetTextStyle = 210581016;
inline constexpr int32_t kWaterMarkRemove = 210581017;        // p1 0, p2 index
inline constexpr int32_t kWaterMarkClear = 210581018;
inline constexpr int32_t kWaterMarkSelect = 210581019;        // p2 index
inline constexpr int32_t kWaterMarkMove = 210581020;          // p2 target index
inline constexpr int32_t kWaterMarkMouseMove = 210581021;
inline constexpr int32_t kWaterMarkMouseDown = 210581022;
inline constexpr int32_t kWaterMarkMouseUp = 210581023;
inline constexpr int32_t kWaterMarkApplyToAll = 210581024;
inline constexpr int32_t kWaterMarkApplyTo = 210581025;
inline constexpr int32_t kWaterMarkGetType = 210581026;       // uint32_t* in: index, out: type or 0xFFFFFFFF
inline constexpr int32_t kWaterMarkGetCount = 210581027;      // uint32_t*
inline constexpr int32_t kWaterMarkStartLater = 210581028;
inline constexpr int32_t kWaterMarkStartEarlier = 210581029;
inline constexpr int32_t kWaterMarkEndLater = 210581030;
inline constexpr int32_t kWaterMarkEndEarlier = 210581031;
inline constexpr int32_t kWaterMarkDeselect = 210581032;

// Notifications of a clip's watermark manager (four-digit identifiers).
inline constexpr int32_t kNotifyWaterMarkAdded = 4353;     // p2 index
inline constexpr int32_t kNotifyWaterMarkRemoving = 4354;  // p2 index, sent before it goes
inline constexpr int32_t kNotifyWaterMarksCleared = 4355;
inline constexpr int32_t kNotifyWaterMarkSelected = 4356;  // p2 index
inline constexpr int32_t kNotifyWaterMarkStart = 4357;     // p2 StartTime, ms
inline constexpr int32_t kNotifyWaterMarkEnd = 4358;       // p2 EndTime, ms
inline constexpr int32_t kNotifyWaterMarkFadeIn = 4359;    // p2 FadeIn, whole seconds
inline constexpr int32_t kNotifyWaterMarkFadeOut = 4360;   // p2 FadeOut, whole seconds
inline constexpr int32_t kNotifyWaterMarkPlace = 4361;     // p1 WaterMarkPlace*, p2 16
inline constexpr int32_t kNotifyWaterMarkHandle = 4362;    // p2 handle under the pointer (as 110020402)
inline constexpr int32_t kNotifyWaterMarkDeselected = 4365;
inline constexpr int32_t kNotifyWaterMarkMoved = 4366;     // p1 WaterMarkMove*, p2 8
// ---- end of watermarks ------------------------------------------------------

// ---- conversion manager (the address 210581106 gives) ---------------------
// Commands marked "idle" are ignored while a batch runs.
inline constexpr int32_t kConvSetTaskFolder = 210581601;    // PvxTaskFolder*
inline constexpr int32_t kConvSetSettings = 210581602;      // OutputSettings* (idle)
inline constexpr int32_t kConvSetMaxParallel = 210581603;   // p2: jobs at once, 1 ... 10 (idle)
inline constexpr int32_t kConvSetPreviewSurface = 210581604;  // CDrawSurface* or null (idle)
inline constexpr int32_t kConvSetPreviewRect = 210581605;   // Rect* (idle)
inline constexpr int32_t kConvSetPreviewTask = 210581606;   // PvxPreviewTask*, p2 sizeof
inline constexpr int32_t kConvTaskAction = 210581607;       // PvxTaskAction*
inline constexpr int32_t kConvAddTask = 210581608;          // the sequence (from kSeqGetSequence)
inline constexpr int32_t kConvGetProgress = 210581609;      // PvxTaskProgress*
inline constexpr int32_t kConvSetExistingPolicy = 210581610;  // p2: 0 new name, 1 overwrite, 2 skip
inline constexpr int32_t kConvEstimateSize = 210581611;     // PvxSizeEstimate*
inline constexpr int32_t kConvStopBatch = 210581612;
inline constexpr int32_t kConvStartBatch = 210581613;

// Notifications of the conversion manager (raised on its worker thread too).
inline constexpr int32_t kNotifyConvTaskAdded = 110581301;   // PvxTaskAdded*, p2 sizeof
inline constexpr int32_t kNotifyConvTaskState = 110581302;   // PvxTaskState*, p2 8
inline constexpr int32_t kNotifyConvProgress = 110581303;    // PvxProgress*, p2 12
inline constexpr int32_t kNotifyConvError = 110581304;       // p1: text (may be null), p2: code
inline constexpr int32_t kNotifyConvBatchEnded = 110581305;
// A finished task's output under the name it was given (which may differ
// from the one asked for when another file took that name meanwhile); sent
// before the task's change to "finished".
inline constexpr int32_t kNotifyConvTaskOutput = 110581306;  // PvxTaskOutput*, p2 sizeof
// ---- end of conversion manager ---------------------------------------------

}  // namespace msg
