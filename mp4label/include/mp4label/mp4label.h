// mp4label: reads and sets the title of a PSP-style MP4 file.
//
// A PSP-style file starts with an "ftyp" box of major brand "MSNV" followed by
// a "uuid" box of the "PROF" kind; its title lives in a "USMT" uuid box that is
// a direct child of "moov". Saving rewrites only that box (and the sizes and
// chunk offsets it moves) and replaces the file atomically: a failed save
// leaves the file as it was.
//
// Results are 1 for success and 0 for failure; the last failure is kept as
// text in the handle (Mp4Title_GetError). Pointers handed out stay valid until
// the next call that changes the handle. One thread at a time per handle.
#ifndef MP4LABEL_MP4LABEL_H
#define MP4LABEL_MP4LABEL_H

#include <stdint.h>

#if defined(MP4LABEL_BUILDING)
#define MP4LABEL_API __attribute__((visibility("default")))
#else
#define MP4LABEL_API
#endif

#ifdef __cplusplus
extern "C" {
typedef char16_t Mp4TitleChar;  // one UTF-16 code unit in host byte order
#else
typedef uint_least16_t Mp4TitleChar;
#endif

// Opaque handle.
typedef struct Mp4TitleFile Mp4TitleFile;

// A new handle with no file, no title and no error; 0 when memory runs out.
MP4LABEL_API Mp4TitleFile* Mp4Title_Create(void);

// Opens the file at path (UTF-8) for reading and writing, or for reading only
// when writing is not allowed, and reads its title. A file without a title
// entry leaves the handle's title as it was. Failures: "Failed to open file",
// "Possibly not a valid psp mp4 file" (the file is then closed).
MP4LABEL_API int32_t Mp4Title_Open(Mp4TitleFile* handle, const char* path);

// Writes the handle's title (an empty one when none is set) into the open
// file. Failures: "File is not opened", "Failed in saving to readonly file",
// "Failed in saving file". The file stays open either way.
MP4LABEL_API int32_t Mp4Title_Save(Mp4TitleFile* handle);

// Clears the error and copies the 0-terminated text as the title; 0 removes
// the title. Answers 0 only when memory runs out (the old title stays).
MP4LABEL_API int32_t Mp4Title_SetTitle(Mp4TitleFile* handle, const Mp4TitleChar* text);

// The title, 0-terminated; an empty text when there is none.
MP4LABEL_API const Mp4TitleChar* Mp4Title_GetTitle(Mp4TitleFile* handle);

// The last failure in words; empty when there is none.
MP4LABEL_API const char* Mp4Title_GetError(Mp4TitleFile* handle);

MP4LABEL_API void Mp4Title_ClearError(Mp4TitleFile* handle);

// Closes the file and clears the error and the read-only state; the path of
// the last opened file and the title stay.
MP4LABEL_API void Mp4Title_Close(Mp4TitleFile* handle);

// Closes the file and frees the handle; 0 does nothing.
MP4LABEL_API void Mp4Title_Destroy(Mp4TitleFile* handle);

#ifdef __cplusplus
}
#endif

#endif
