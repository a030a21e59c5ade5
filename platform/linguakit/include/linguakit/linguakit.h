#pragma once

// Language tables for the desktop program. A language folder holds one XML
// file per language:
//
//   <language name="English">
//     <unit name="frmMain">
//       <item name="btnNew" Caption="New" Hint="Create a new project"/>
//     </unit>
//   </language>
//
// A language holds named units (one per window, plus "index" for the fonts),
// a unit holds named items, an item holds text attributes ("Caption", "Hint",
// "Resource", "FontName", "FontSize", "Value"). Every name and text is UTF-8.
// Handles stay valid until linguakit_release; texts returned by
// linguakiti_query_attr are owned by the library.

#if defined(LINGUAKIT_BUILDING)
#define LINGUAKIT_API __attribute__((visibility("default")))
#else
#define LINGUAKIT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct linguakit_lib* linguakit_handle;
typedef struct linguakit_unit* linguakit_unit_handle;
typedef struct linguakit_item* linguakit_item_handle;

// Called after the current language changed: (context, library, new index).
typedef void (*linguakit_callback)(void* context, linguakit_handle lib, int lang_index);

// Reads every language file of the folder. Returns 0 when the folder cannot be
// read or holds no valid language file. Language 0 is current afterwards.
LINGUAKIT_API linguakit_handle linguakit_init(const char* folder);
LINGUAKIT_API void linguakit_release(linguakit_handle lib);

LINGUAKIT_API int linguakit_get_lang_count(linguakit_handle lib);
// The language's name, or 0 for an index out of range.
LINGUAKIT_API const char* linguakit_get_lang_name(linguakit_handle lib, int index);
LINGUAKIT_API int linguakit_get_lang(linguakit_handle lib);
// Makes a language current and then calls every registered callback.
// Returns 1 on success, 0 for an index out of range (nothing changes).
LINGUAKIT_API int linguakit_set_lang(linguakit_handle lib, int index);

// A unit of the current language, or 0 when it has none of that name.
LINGUAKIT_API linguakit_unit_handle linguakit_lock_lu(linguakit_handle lib, const char* unit);
LINGUAKIT_API void linguakit_unlock_lu(linguakit_handle lib, linguakit_unit_handle unit);
// An item of the unit, or 0 when missing.
LINGUAKIT_API linguakit_item_handle linguakitu_lock_item(linguakit_unit_handle unit, const char* item);
LINGUAKIT_API void linguakitu_unlock_item(linguakit_item_handle item);
// The attribute's text, or 0 when the item lacks it.
LINGUAKIT_API const char* linguakiti_query_attr(linguakit_item_handle item, const char* attr);

// Returns 1 on success; registering the same (callback, context) twice keeps
// one registration. Unregistering an unknown pair returns 0.
LINGUAKIT_API int linguakit_register_callback(linguakit_handle lib, linguakit_callback cb, void* context);
LINGUAKIT_API int linguakit_unregister_callback(linguakit_handle lib, linguakit_callback cb, void* context);

#ifdef __cplusplus
}
#endif
