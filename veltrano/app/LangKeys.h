#pragma once

// Every text the program looks up by key at run time, with the language unit
// of the window that looks it up. Code names keys only through this table, so
// a test can check that both language files hold every one of them.

struct TLangKey {
    const char* unit;
    const char* key;
};

namespace langkey {

// The message dialog's buttons.
inline constexpr TLangKey kOk{"frmPrompt", "str_ok"};
inline constexpr TLangKey kCancel{"frmPrompt", "str_cancel"};
inline constexpr TLangKey kYes{"frmPrompt", "str_yes"};
inline constexpr TLangKey kNo{"frmPrompt", "str_no"};
inline constexpr TLangKey kRetry{"frmPrompt", "str_retry"};
inline constexpr TLangKey kAbort{"frmPrompt", "str_abort"};
inline constexpr TLangKey kIgnore{"frmPrompt", "str_ignore"};

// The preferences dialog.
inline constexpr TLangKey kSelectFolder{"frmPreference", "str_sel_folder"};
inline constexpr TLangKey kRenameFile{"frmPreference", "str_rename_file"};
inline constexpr TLangKey kOverwriteFile{"frmPreference", "str_overwrite_file"};
inline constexpr TLangKey kSkipFile{"frmPreference", "str_skip_file"};

// The main window's questions and errors.
inline constexpr TLangKey kAskSaveProject{"frmMain", "ask_save_prj"};
inline constexpr TLangKey kErrSaveProject{"frmMain", "err_save_prj"};
inline constexpr TLangKey kErrOpenProject{"frmMain", "err_open_prj"};
inline constexpr TLangKey kErrCreateProject{"frmMain", "err_create_prj_fail"};
inline constexpr TLangKey kErrNotExist{"frmMain", "err_not_exist"};
inline constexpr TLangKey kErrPathTooLong{"frmMain", "err_path_too_long"};
inline constexpr TLangKey kErrInvalidName{"frmMain", "err_invalid_file_name"};
inline constexpr TLangKey kLoadProject{"frmMain", "str_loadproject"};
inline constexpr TLangKey kOpenProjectTitle{"frmMain", "str_open_prj_title"};
inline constexpr TLangKey kSaveProjectTitle{"frmMain", "str_save_prj_title"};
inline constexpr TLangKey kProjectFilter{"frmMain", "str_prj_filter"};

// Hints shown in the main window's bottom line.
inline constexpr TLangKey kHintNew{"frmMain", "hint_new_prj"};
inline constexpr TLangKey kHintOpen{"frmMain", "hint_open_prj"};
inline constexpr TLangKey kHintSave{"frmMain", "hint_save_prj"};
inline constexpr TLangKey kHintImport{"frmMain", "hint_import"};
inline constexpr TLangKey kHintExport{"frmMain", "hint_export"};
inline constexpr TLangKey kHintMerge{"frmMain", "hint_merge"};
inline constexpr TLangKey kHintDelete{"frmMain", "hint_del"};
inline constexpr TLangKey kHintMoveUp{"frmMain", "hint_move_up"};
inline constexpr TLangKey kHintMoveDown{"frmMain", "hint_move_down"};
inline constexpr TLangKey kHintSupport{"frmMain", "hint_suport"};
inline constexpr TLangKey kHintDestName{"frmMain", "hint_destiname"};
inline constexpr TLangKey kHintTrack{"frmMain", "hint_track"};
inline constexpr TLangKey kHintAlbum{"frmMain", "hint_album"};
inline constexpr TLangKey kHintTitle{"frmMain", "hint_title"};
inline constexpr TLangKey kHintYear{"frmMain", "hint_year"};
inline constexpr TLangKey kHintAuthor{"frmMain", "hint_author"};
inline constexpr TLangKey kHintCopyright{"frmMain", "hint_copyright"};
inline constexpr TLangKey kHintComment{"frmMain", "hint_comment"};
inline constexpr TLangKey kHintMainList{"frmMain", "hint_main_list"};
inline constexpr TLangKey kHintPause{"frmMain", "hint_pause"};
inline constexpr TLangKey kHintPlay{"frmMain", "hint_play"};
inline constexpr TLangKey kHintStop{"frmMain", "hint_stop"};

inline constexpr TLangKey kAll[] = {
    kOk, kCancel, kYes, kNo, kRetry, kAbort, kIgnore, kSelectFolder, kRenameFile, kOverwriteFile, kSkipFile,
    kAskSaveProject, kErrSaveProject, kErrOpenProject, kErrCreateProject, kErrNotExist, kErrPathTooLong,
    kErrInvalidName, kLoadProject, kOpenProjectTitle, kSaveProjectTitle, kProjectFilter,
    kHintNew, kHintOpen, kHintSave, kHintImport, kHintExport, kHintMerge, kHintDelete, kHintMoveUp,
    kHintMoveDown, kHintSupport, kHintDestName, kHintTrack, kHintAlbum, kHintTitle, kHintYear, kHintAuthor,
    kHintCopyright, kHintComment, kHintMainList, kHintPause, kHintPlay, kHintStop,
};

}  // namespace langkey
