#pragma once

// What the command line may change in a profile before the conversion: the
// same choices the output settings dialog offers.

#include <optional>
#include <string>

#include "profiles/ExportFormat.h"
#include "projcore/Records.h"

struct StreamOptions {
    std::optional<std::string> size;   // "WxH" or "original"
    std::optional<std::string> fps;    // a number or "original"
    bool noAudio = false;
    bool noVideo = false;
    bool letterbox = false;
    bool keyCuts = false;   // --cut key: copied outputs start clips at the key frame before their trim
};

// The profile's defaults changed by `options`. False with a message when an
// option asks for something the profile does not offer.
bool MakeOutputSettings(const profiles::TXMLExportFormatType& profile, const StreamOptions& options,
                        OutputSettings& record, std::string* error);
