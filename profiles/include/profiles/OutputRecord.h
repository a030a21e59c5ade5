#pragma once

// Turning a profile and the user's choices into the output settings record
// the conversion engine receives. Pure functions: no dialog, no settings file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "profiles/ExportFormat.h"
#include "projcore/Records.h"

namespace profiles {

// What the user picked in the output settings for one profile. List choices
// are positions among the list's own entries.
struct ProfileChoices {
    static constexpr int kOriginal = -1;   // the source's size or frame rate
    static constexpr int kCustom = -2;     // the custom values below

    bool includeVideo = true;
    bool includeAudio = true;
    int size = kOriginal;
    int customWidth = 640, customHeight = 480;   // kept within 20 ... 3000
    int videoBitRateKbps = 0;
    int frameRate = kOriginal;
    double customFrameRate = 25;
    int sampleRate = 0;
    int audioBitRate = 0;
    int channel = 0;
    bool letterbox = false;   // else the picture is stretched to the output size
};

// The choices the output settings show when the profile is picked: the
// default entries of each list (DefSize, DefFPS, DefSampleRate, DefABtr,
// DefChannel), else the first entry, "original" first when offered.
ProfileChoices DefaultChoices(const TXMLExportFormatType& profile);

enum class RecordResult {
    kOk,
    kNoStream,    // neither video nor audio would be written
    kBadChoice,   // a list position the profile does not have
};

// Fills `record` from the profile and the choices. A profile that copies
// the clips' streams (IsBindProfile) takes the files as they are: only the
// two texts and the two codecs are written and the rest of the record keeps
// its values. Fields of a stream the output does not have are left alone.
// Nothing is written unless the result is kOk.
RecordResult BuildOutputSettings(const TXMLExportFormatType& profile, const ProfileChoices& choices,
                                 OutputSettings& record);

// Whether the profile copies the clips' pictures and sound without
// re-encoding: the FLV join ("flvbind") and the "mp4remux", "movremux" and
// "mkvremux" outputs.
bool IsBindProfile(const TXMLExportFormatType& profile);

// At most maxBytes of UTF-8 text, never ending inside a character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// Up to four characters, the first in the lowest byte; 0 for an empty text.
uint32_t PackFourCC(std::string_view text);

// "a/b" as a / b; 0 for an empty text, for a text that is not two numbers
// around "/", or for a ratio that is not above 0.
double AspectRatioOf(std::string_view dar);

}  // namespace profiles
