#include "EngineSession.h"

#include <cstring>

#include "projcore/CodecNames.h"

EngineSession::~EngineSession() {
    if (!manager_) return;
    if (project_) {
        int32_t result = 0;
        Send(manager_, msg::kProjectClose, reinterpret_cast<intptr_t>(&result), sizeof result);
    }
    DeleteProjectMgr();
}

bool EngineSession::Start(std::string* error) {
    manager_ = GetProjectMgr(&host_);
    if (!manager_) *error = "the engine could not start";
    return manager_ != nullptr;
}

bool EngineSession::AcquireManagers(std::string* error) {
    project_ = nullptr;
    Send(manager_, msg::kProjectGetListener, reinterpret_cast<intptr_t>(&project_), sizeof project_);
    if (project_) {
        Send(project_, msg::kGetSequenceManager, reinterpret_cast<intptr_t>(&sequences_), sizeof sequences_);
        Send(project_, msg::kGetConversionManager, reinterpret_cast<intptr_t>(&conversion_), sizeof conversion_);
    }
    if (!project_ || !sequences_ || !conversion_) {
        *error = "the engine gave no project to work on";
        return false;
    }
    return true;
}

bool EngineSession::OpenProject(const std::string& path, std::string* error) {
    if (path.size() >= static_cast<size_t>(kPathBufferSize)) {
        *error = "the project path is too long: " + path;
        return false;
    }
    host_.openPath = path;
    host_.lastProjectResult = 0;
    Send(manager_, msg::kProjectOpen);
    if (host_.lastProjectResult != msg::kNotifyOpened) {
        *error = "cannot open the project " + path + ": not a project file the engine can read";
        return false;
    }
    return AcquireManagers(error);
}

bool EngineSession::NewProject(std::string* error) {
    host_.lastProjectResult = 0;
    Send(manager_, msg::kProjectNew);
    if (host_.lastProjectResult != msg::kNotifyNewDone) {
        *error = "the engine could not make a project";
        return false;
    }
    return AcquireManagers(error);
}

bool EngineSession::ImportSequence(const std::vector<std::string>& paths, const std::string& seqName,
                                   const std::string& destName, std::string* error) {
    std::vector<const char*> list;
    for (const std::string& p : paths) list.push_back(p.c_str());
    const int before = SequenceCount();
    host_.addFailures.clear();
    TImportedFiles r{seqName.c_str(), -1, list.data(), static_cast<int32_t>(list.size()), destName.c_str(), 5000};
    Send(sequences_, msg::kSeqImport, reinterpret_cast<intptr_t>(&r), sizeof r);
    if (!host_.addFailures.empty()) {
        const AddFailure& f = host_.addFailures.front();
        *error = "cannot read " + f.path + ": " + DescribeOpenCode(f.code, f.videoCodec, f.audioFormat);
        return false;
    }
    int32_t clips = before;   // in: the new sequence's position; out: its clip count
    if (SequenceCount() == before + 1)
        Send(sequences_, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&clips), sizeof clips);
    else
        clips = -1;
    if (clips != static_cast<int32_t>(paths.size())) {
        *error = "the engine did not take all of these files: ";
        for (size_t i = 0; i < paths.size(); ++i) *error += (i ? ", " : "") + paths[i];
        return false;
    }
    return true;
}

bool EngineSession::Examine(const std::string& path, MediaFileInfo& info) {
    std::memset(&info, 0, sizeof info);
    info.path = path.c_str();
    Send(manager_, msg::kProjectExamineMedia, reinterpret_cast<intptr_t>(&info), sizeof info);
    // An examined file has an FLV version or a picture size; a failure leaves both 0.
    return info.version != 0 || info.imageWidth > 0;
}

int EngineSession::SequenceCount() {
    int32_t n = 0;
    if (sequences_) Send(sequences_, msg::kSeqGetCount, reinterpret_cast<intptr_t>(&n), sizeof n);
    return n;
}

std::string EngineSession::SequenceProperty(int sequence, int property) {
    TSeqProperty r{sequence, property, nullptr};
    Send(sequences_, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&r), sizeof r);
    return r.text ? r.text : "";
}

void EngineSession::SetSequenceProperty(TSeqProperty& property) {
    Send(sequences_, msg::kSeqSetProperty, reinterpret_cast<intptr_t>(&property), sizeof property);
}

void* EngineSession::Sequence(int sequence) {
    void* object = nullptr;
    Send(sequences_, msg::kSeqGetSequence, reinterpret_cast<intptr_t>(&object), sequence);
    return object;
}

CBaseListener* EngineSession::ConversionManager() { return conversion_; }

std::string CodecName(int32_t codec, bool video) {
    const std::string name = video ? codecnames::VideoFourccName(codec) : codecnames::SoundFourccName(codec);
    return name.empty() ? std::to_string(codec) : name;
}

std::string DescribeOpenCode(int32_t code, int32_t videoCodec, int32_t audioFormat) {
    switch (code) {
        case 10070001: {
            // Name the codecs when the file's description says them (a FourCC by its letters).
            std::string codecs;
            if (videoCodec != -1) codecs += "video " + CodecName(videoCodec, true);
            if (audioFormat != -1) codecs += (codecs.empty() ? "" : ", ") + ("sound " + CodecName(audioFormat, false));
            return "its video or sound is in a codec the engine cannot decode" +
                   (codecs.empty() ? std::string() : " (" + codecs + ")");
        }
        case 10070002: return "it does not open as an FLV file";
        default: return "the engine cannot read it (code " + std::to_string(code) + ")";
    }
}
