#pragma once

// The texts the main window, the sequence list and the resource browser
// look up by key at run time (beyond the ones in app/LangKeys.h), with the
// language unit that holds each. A test checks both language files hold them.

#include "app/LangKeys.h"

namespace mainkey {

inline constexpr TLangKey kSequence{"frmMain", "str_sequence"};
inline constexpr TLangKey kMerge{"frmMain", "str_merge"};
inline constexpr TLangKey kLoadFile{"frmMain", "str_loadfile"};
inline constexpr TLangKey kInvalidFlv{"frmMain", "invalid_flv_file"};
inline constexpr TLangKey kInvalidPicture{"frmMain", "err_invalid_picture"};
inline constexpr TLangKey kNotSupportedFlv{"frmMain", "err_not_support_flv"};
inline constexpr TLangKey kOpenFile{"frmMain", "err_open_file"};
inline constexpr TLangKey kNoCodec{"frmMain", "str_no_codec"};
inline constexpr TLangKey kImportTitle{"frmMain", "str_import_title"};
inline constexpr TLangKey kFlvFilter{"frmMain", "str_flv_filter"};
inline constexpr TLangKey kErrHelp{"frmMain", "err_help"};
inline constexpr TLangKey kAboutTitle{"frmMain", "str_about_title"};
inline constexpr TLangKey kAboutText{"frmMain", "str_about_text"};

// The sequence list's column texts.
inline constexpr TLangKey kColSequence{"fmeTreeList", "str_col_sequence"};
inline constexpr TLangKey kColMovie{"fmeTreeList", "str_col_movie"};
inline constexpr TLangKey kColStillImage{"fmeTreeList", "str_col_stillimage"};
inline constexpr TLangKey kColVideo{"fmeTreeList", "str_col_video"};
inline constexpr TLangKey kColAudio{"fmeTreeList", "str_col_audio"};

// The resource browser.
inline constexpr TLangKey kGroupPc{"fmeResourceList", "str_pc"};
inline constexpr TLangKey kGroupDownloads{"fmeResourceList", "str_downloaded_flv"};
inline constexpr TLangKey kGroupCache{"fmeResourceList", "str_ie_cache"};
inline constexpr TLangKey kGroupImported{"fmeResourceList", "str_imported"};
inline constexpr TLangKey kGroupTrash{"fmeResourceList", "str_trash"};
inline constexpr TLangKey kHintGroupPc{"fmeResourceList", "hint_group_pc"};
inline constexpr TLangKey kHintGroupDownloads{"fmeResourceList", "hint_group_downloadedflv"};
inline constexpr TLangKey kHintGroupCache{"fmeResourceList", "hint_group_ie"};
inline constexpr TLangKey kHintGroupImported{"fmeResourceList", "hint_group_imported"};
inline constexpr TLangKey kHintGroupTrash{"fmeResourceList", "hint_group_trash"};
inline constexpr TLangKey kDesktop{"fmeLocalResource", "str_desktop"};
inline constexpr TLangKey kDocuments{"fmeLocalResource", "str_doc"};
inline constexpr TLangKey kHome{"fmeLocalResource", "str_home"};
inline constexpr TLangKey kReading{"fmeLocalResource", "str_reading"};
inline constexpr TLangKey kSearching{"fmeLocalResource", "str_searching"};
inline constexpr TLangKey kHintDrag{"fmeLocalResource", "hint_drag"};

inline constexpr TLangKey kAll[] = {
    kSequence, kMerge, kLoadFile, kInvalidFlv, kInvalidPicture, kNotSupportedFlv, kOpenFile, kNoCodec, kImportTitle, kFlvFilter,
    kErrHelp, kAboutTitle, kAboutText, kColSequence, kColMovie, kColStillImage, kColVideo,
    kColAudio, kGroupPc, kGroupDownloads, kGroupCache, kGroupImported, kGroupTrash, kHintGroupPc,
    kHintGroupDownloads, kHintGroupCache, kHintGroupImported, kHintGroupTrash, kDesktop, kDocuments, kHome,
    kReading, kSearching, kHintDrag,
};

}  // namespace mainkey
