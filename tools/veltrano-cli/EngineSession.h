#pragma once

// The engine as the desktop program drives it: the project manager from
// GetProjectMgr, a project made or opened by its commands, the sequence and
// conversion managers from the project, everything by DirectSendMessage.

#include <string>
#include <vector>

#include "EngineHost.h"

class EngineSession {
public:
    EngineSession() = default;
    ~EngineSession();   // closes the project without saving and frees the engine
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // Each returns false with a message for the user.
    bool Start(std::string* error);
    bool OpenProject(const std::string& path, std::string* error);
    bool NewProject(std::string* error);
    // One new sequence holding the files, in order. Every file must be taken.
    bool ImportSequence(const std::vector<std::string>& paths, const std::string& seqName, const std::string& destName,
                        std::string* error);

    // False when the engine could not read the file (the record stays zero).
    bool Examine(const std::string& path, MediaFileInfo& info);
    // Repairs one FLV recording (the request's outputs and result filled in).
    // The coding libraries load beside the files' examination (a conversion follows).
    void PrepareCoding() { Send(manager_, msg::kProjectPrepareCoding); }
    void RepairFlv(FlvRepairRequest& request) {
        Send(manager_, msg::kProjectRepairFlv, reinterpret_cast<intptr_t>(&request), sizeof request);
    }

    int SequenceCount();
    std::string SequenceProperty(int sequence, int property);   // 0 destination name, 8 sequence name
    void SetSequenceProperty(TSeqProperty& property);
    void* Sequence(int sequence);   // the engine's object, for the conversion manager
    CBaseListener* ConversionManager();

    EngineHost& Host() { return host_; }
    void Send(CBaseListener* to, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { DirectSendMessage(to, id, p1, p2); }

private:
    bool AcquireManagers(std::string* error);

    EngineHost host_;
    CBaseListener* manager_ = nullptr;
    CBaseListener* project_ = nullptr;
    CBaseListener* sequences_ = nullptr;
    CBaseListener* conversion_ = nullptr;
};

// A reader cache or examination code as words for the user.
// codecs: the file's, named in the reason for an unsupported one (-1: none).
std::string DescribeOpenCode(int32_t code, int32_t videoCodec = -1, int32_t audioFormat = -1);
// A codec's number as people know it: the FourCC codecs' names or letters, else the FLV number.
std::string CodecName(int32_t codec, bool video);
