#pragma once

// The texts the repair window and the main window's repair actions look up
// by key at run time. A test checks that both language files hold them.

#include "app/LangKeys.h"

namespace repairkey {

inline constexpr TLangKey kChooseTitle{"frmRepair", "str_choose_title"};
inline constexpr TLangKey kFlvFilter{"frmRepair", "str_flv_filter"};
inline constexpr TLangKey kSelectFolder{"frmRepair", "str_sel_folder"};
inline constexpr TLangKey kFolderFailed{"frmRepair", "err_folder"};
inline constexpr TLangKey kRepairing{"frmRepair", "str_repairing"};      // %1 name, %2 index, %3 count
inline constexpr TLangKey kStopping{"frmRepair", "str_stopping"};
inline constexpr TLangKey kDone{"frmRepair", "str_done"};                // %1 repaired, %2 count
inline constexpr TLangKey kStopped{"frmRepair", "str_stopped"};          // %1 repaired, %2 count
inline constexpr TLangKey kFilesWritten{"frmRepair", "str_files_written"};  // %1 files
inline constexpr TLangKey kNotRepaired{"frmRepair", "str_not_repaired"};    // %1 the engine's reason
inline constexpr TLangKey kNotRun{"frmRepair", "str_not_run"};
inline constexpr TLangKey kStoppedInFile{"frmRepair", "str_stopped_in_file"};  // %1 whole files kept
inline constexpr TLangKey kNoFix{"frmRepair", "str_no_fix"};
inline constexpr TLangKey kRepairedFile{"frmRepair", "str_repaired_file"};
inline constexpr TLangKey kOutputDetail{"frmRepair", "str_output_detail"};  // %1 name, %2 s, %3 pictures, %4 blocks
inline constexpr TLangKey kOutputFailed{"frmRepair", "str_output_failed"};  // %1 output number
inline constexpr TLangKey kOutputNumber{"frmRepair", "str_output_number"};  // %1 output number
inline constexpr TLangKey kDroppedTags{"frmRepair", "str_dropped_tags"};    // %1 tags, %2 bytes
inline constexpr TLangKey kSkippedBytes{"frmRepair", "str_skipped_bytes"};  // %1 bytes
inline constexpr TLangKey kClosedStep{"frmRepair", "str_closed_step"};      // %1 ms
inline constexpr TLangKey kHeldSteps{"frmRepair", "str_held_steps"};        // %1 steps, %2 ms
inline constexpr TLangKey kNewOutput{"frmRepair", "str_new_output"};
inline constexpr TLangKey kNotFlvClip{"frmMain", "err_repair_not_flv"};

// The names of the kinds of fix, by their number (1 ... 10).
inline constexpr TLangKey kFixNames[] = {
    {"frmRepair", "fix_1"}, {"frmRepair", "fix_2"}, {"frmRepair", "fix_3"}, {"frmRepair", "fix_4"},
    {"frmRepair", "fix_5"}, {"frmRepair", "fix_6"}, {"frmRepair", "fix_7"}, {"frmRepair", "fix_8"},
    {"frmRepair", "fix_9"}, {"frmRepair", "fix_10"},
};

inline constexpr TLangKey kAll[] = {
    kChooseTitle, kFlvFilter, kSelectFolder, kFolderFailed, kRepairing, kStopping, kDone, kStopped,
    kFilesWritten, kNotRepaired, kNotRun, kStoppedInFile, kNoFix, kRepairedFile, kOutputDetail, kOutputFailed, kOutputNumber,
    kDroppedTags, kSkippedBytes, kClosedStep, kHeldSteps, kNewOutput, kNotFlvClip,
    kFixNames[0], kFixNames[1], kFixNames[2], kFixNames[3], kFixNames[4], kFixNames[5], kFixNames[6],
    kFixNames[7], kFixNames[8], kFixNames[9],
};

}  // namespace repairkey
