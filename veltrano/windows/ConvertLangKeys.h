#pragma once

// Every text the output settings, its dialogs, the conversion window and the
// shut-down countdown look up by key at run time, with the language unit
// that holds it. A test checks that both language files hold every one.

#include "app/LangKeys.h"

namespace convkey {

// The output settings and its dialogs.
inline constexpr TLangKey kOriginal{"frmOutputSetting", "str_original"};
inline constexpr TLangKey kCustom{"frmOutputSetting", "str_custom"};
inline constexpr TLangKey kMono{"frmOutputSetting", "str_mono"};
inline constexpr TLangKey kStereo{"frmOutputSetting", "str_stereo"};
inline constexpr TLangKey kPortableDevices{"frmOutputSetting", "str_portable_devices"};
inline constexpr TLangKey kAllInOneFolder{"frmOutputSetting", "str_all_in_one_folder"};
inline constexpr TLangKey kInOriginalFolders{"frmOutputSetting", "str_in_original_folders"};
inline constexpr TLangKey kCutExact{"frmOutputSetting", "str_cut_exact"};
inline constexpr TLangKey kCutKey{"frmOutputSetting", "str_cut_key"};
inline constexpr TLangKey kSelectFolder{"frmOutputSetting", "str_sel_folder"};
inline constexpr TLangKey kInvalidFolder{"frmOutputSetting", "str_invalid_folder"};
inline constexpr TLangKey kInfoAudioVideo{"frmOutputSetting", "info_av"};
inline constexpr TLangKey kErrProfileSave{"frmOutputSetting", "err_save_profile"};
inline constexpr TLangKey kEmptyName{"frmAddProfile", "str_empty_name"};
inline constexpr TLangKey kPathSelectFolder{"frmOutputPath", "str_sel_folder"};
inline constexpr TLangKey kInvalidPath{"frmOutputPath", "str_invalid_path"};

// The conversion window and the shut-down countdown.
inline constexpr TLangKey kConvertOk{"frmConvert", "str_ok"};
inline constexpr TLangKey kDoNothing{"frmConvert", "str_do_nothing"};
inline constexpr TLangKey kOpenOutputFolder{"frmConvert", "str_open_output_folder"};
inline constexpr TLangKey kShutDownComputer{"frmConvert", "str_shut_down_computer"};
inline constexpr TLangKey kAskSkip{"frmConvert", "ask_skip"};
inline constexpr TLangKey kAskStop{"frmConvert", "ask_stop"};
inline constexpr TLangKey kTaskFinish{"frmConvert", "str_task_finish"};
inline constexpr TLangKey kTaskFail{"frmConvert", "str_task_fail"};
inline constexpr TLangKey kTaskInterrupt{"frmConvert", "str_task_interrupt"};
inline constexpr TLangKey kErrCode{"frmConvert", "err_code"};
inline constexpr TLangKey kErrSequenceMissing{"frmConvert", "err_sequence_missing"};
inline constexpr TLangKey kErrSaveLog{"frmConvert", "err_save_log"};
inline constexpr TLangKey kErrOpenFile{"frmConvert", "err_open_file"};
inline constexpr TLangKey kOutputName{"frmConvert", "str_output_name"};
inline constexpr TLangKey kShutdownCountdown{"frmShutDown", "str_shutdown"};
inline constexpr TLangKey kErrShutdown{"frmShutDown", "err_shutdown"};

// The texts of the conversion's error codes that come with a detail (a path,
// most often), looked up as "err_<code>"; the detail replaces their "%s".
inline constexpr TLangKey kCodeTexts[] = {
    {"frmConvert", "err_10580023"}, {"frmConvert", "err_10071007"}, {"frmConvert", "err_10071008"},
    {"frmConvert", "err_10071009"}, {"frmConvert", "err_10071010"}, {"frmConvert", "err_10071011"},
    {"frmConvert", "err_10071012"}, {"frmConvert", "err_10071101"}, {"frmConvert", "err_10071102"},
    {"frmConvert", "err_10071103"}, {"frmConvert", "err_10071199"},
};

inline constexpr TLangKey kAll[] = {
    kOriginal, kCustom, kMono, kStereo, kPortableDevices, kAllInOneFolder, kInOriginalFolders, kCutExact, kCutKey,
    kSelectFolder,
    kInvalidFolder, kInfoAudioVideo, kErrProfileSave, kEmptyName, kPathSelectFolder, kInvalidPath,
    kConvertOk, kDoNothing, kOpenOutputFolder, kShutDownComputer, kAskSkip, kAskStop, kTaskFinish, kTaskFail,
    kTaskInterrupt, kErrCode, kErrSequenceMissing, kErrSaveLog, kErrOpenFile, kOutputName, kShutdownCountdown,
    kErrShutdown,
};

}  // namespace convkey
