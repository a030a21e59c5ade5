// The flat C interface over Mp4TitleFile. Nothing may throw across it: Open
// and Save turn a shortage of memory into their failure texts themselves, and
// anything else that escapes is answered with 0 here.
#include <new>

#include "Mp4TitleFile.h"
#include "mp4label/mp4label.h"

extern "C" {

MP4LABEL_API Mp4TitleFile* Mp4Title_Create(void) {
    return new (std::nothrow) Mp4TitleFile();
}

MP4LABEL_API int32_t Mp4Title_Open(Mp4TitleFile* handle, const char* path) {
    if (handle == nullptr) return 0;
    try {
        return handle->Open(path) ? 1 : 0;
    } catch (...) {
        handle->Close();
        return 0;
    }
}

MP4LABEL_API int32_t Mp4Title_Save(Mp4TitleFile* handle) {
    if (handle == nullptr) return 0;
    try {
        return handle->Save() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

MP4LABEL_API int32_t Mp4Title_SetTitle(Mp4TitleFile* handle, const Mp4TitleChar* text) {
    if (handle == nullptr) return 0;
    try {
        handle->SetTitle(text);
        return 1;
    } catch (...) {
        return 0;
    }
}

MP4LABEL_API const Mp4TitleChar* Mp4Title_GetTitle(Mp4TitleFile* handle) {
    return handle != nullptr ? handle->Title() : u"";
}

MP4LABEL_API const char* Mp4Title_GetError(Mp4TitleFile* handle) {
    return handle != nullptr ? handle->Error() : "";
}

MP4LABEL_API void Mp4Title_ClearError(Mp4TitleFile* handle) {
    if (handle != nullptr) handle->ClearError();
}

MP4LABEL_API void Mp4Title_Close(Mp4TitleFile* handle) {
    if (handle != nullptr) handle->Close();
}

MP4LABEL_API void Mp4Title_Destroy(Mp4TitleFile* handle) {
    delete handle;
}

}  // extern "C"
