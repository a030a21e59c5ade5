#include "model/BaseProject.h"

#include "model/BaseSerialStream.h"

bool CBaseProject::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    stream->BeginGroup("meta");
    stream->PutUChar("VerMajor", verMajor_);
    stream->PutUChar("VerMinor", verMinor_);
    stream->PutString("ProjectFormat", projectFormat_.c_str());
    stream->PutString("Author", author_.c_str());
    stream->PutString("Comment", comment_.c_str());
    stream->EndGroup();
    return true;
}

bool CBaseProject::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    // A file without "meta" keeps the defaults; the reads below then fail
    // harmlessly against the parent group, and it must not be closed.
    if (!stream->OpenGroup("meta")) return true;
    stream->GetUChar("VerMajor", verMajor_);
    stream->GetUChar("VerMinor", verMinor_);
    stream->GetString("ProjectFormat", projectFormat_);
    stream->GetString("Author", author_);
    stream->GetString("Comment", comment_);
    stream->CloseGroup();
    return true;
}
