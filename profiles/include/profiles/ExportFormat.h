#pragma once

// One profile: <ExportFormat FormatID= Caption= FileFormat= ...> with its
// optional lists.

#include <string>
#include <string_view>

#include "profiles/ProfileElement.h"
#include "profiles/ProfileLists.h"

namespace profiles {

class TXMLExportFormatType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;

    int FormatID() const { return Integer("FormatID"); }
    void SetFormatID(int v) { SetInteger("FormatID", v); }
    std::string Caption() const { return Text("Caption"); }
    void SetCaption(std::string_view v) { SetText("Caption", v); }
    // Container name for the engine; "flvbind" joins FLV files without re-encoding.
    std::string FileFormat() const { return Text("FileFormat"); }
    void SetFileFormat(std::string_view v) { SetText("FileFormat", v); }
    std::string FileExt() const { return Text("FileExt"); }
    void SetFileExt(std::string_view v) { SetText("FileExt", v); }
    // "WxH"; "0x0" is the source size.
    std::string DefSize() const { return Text("DefSize"); }
    void SetDefSize(std::string_view v) { SetText("DefSize", v); }
    int DefBtr() const { return Integer("DefBtr"); }   // kbit/s
    void SetDefBtr(int v) { SetInteger("DefBtr", v); }
    int DefBtrTor() const { return Integer("DefBtrTor"); }   // kbit/s
    void SetDefBtrTor(int v) { SetInteger("DefBtrTor", v); }
    double DefFPS() const { return Number("DefFPS"); }   // 0: the source rate
    void SetDefFPS(double v) { SetNumber("DefFPS", v); }
    int VideoCodec() const { return Integer("VideoCodec"); }
    void SetVideoCodec(int v) { SetInteger("VideoCodec", v); }
    std::string VideoCodecName() const { return Text("VideoCodecName"); }
    void SetVideoCodecName(std::string_view v) { SetText("VideoCodecName", v); }
    std::string FourCC() const { return Text("FourCC"); }
    void SetFourCC(std::string_view v) { SetText("FourCC", v); }
    int Level() const { return Integer("Level"); }
    void SetLevel(int v) { SetInteger("Level", v); }
    int AudioCodec() const { return Integer("AudioCodec"); }
    void SetAudioCodec(int v) { SetInteger("AudioCodec", v); }
    std::string AudioCodecName() const { return Text("AudioCodecName"); }
    void SetAudioCodecName(std::string_view v) { SetText("AudioCodecName", v); }
    int DefSampleRate() const { return Integer("DefSampleRate"); }
    void SetDefSampleRate(int v) { SetInteger("DefSampleRate", v); }
    int DefABtr() const { return Integer("DefABtr"); }
    void SetDefABtr(int v) { SetInteger("DefABtr", v); }
    int DefChannel() const { return Integer("DefChannel"); }   // 1-based position in SupportedChannels
    void SetDefChannel(int v) { SetInteger("DefChannel", v); }
    int AudioOnly() const { return Integer("AudioOnly"); }
    void SetAudioOnly(int v) { SetInteger("AudioOnly", v); }
    // "16/9"; empty when the profile has none.
    std::string DAR() const { return Text("DAR"); }
    void SetDAR(std::string_view v) { SetText("DAR", v); }

    // The lists; a null handle when the profile has none.
    TXMLSupportedSizesType SupportedSizes() const { return TXMLSupportedSizesType(Child("SupportedSizes", 0)); }
    TXMLSupportedFPSSType SupportedFPSS() const { return TXMLSupportedFPSSType(Child("SupportedFPSS", 0)); }
    TXMLSupportedSampleRatesType SupportedSampleRates() const {
        return TXMLSupportedSampleRatesType(Child("SupportedSampleRates", 0));
    }
    TXMLSupportedAudioBitRatesType SupportedAudioBitRates() const {
        return TXMLSupportedAudioBitRatesType(Child("SupportedAudioBitRates", 0));
    }
    TXMLSupportedChannelsType SupportedChannels() const {
        return TXMLSupportedChannelsType(Child("SupportedChannels", 0));
    }

    // The same lists, made empty when missing (for writing).
    TXMLSupportedSizesType EnsureSupportedSizes() { return TXMLSupportedSizesType(Ensure("SupportedSizes")); }
    TXMLSupportedFPSSType EnsureSupportedFPSS() { return TXMLSupportedFPSSType(Ensure("SupportedFPSS")); }
    TXMLSupportedSampleRatesType EnsureSupportedSampleRates() {
        return TXMLSupportedSampleRatesType(Ensure("SupportedSampleRates"));
    }
    TXMLSupportedAudioBitRatesType EnsureSupportedAudioBitRates() {
        return TXMLSupportedAudioBitRatesType(Ensure("SupportedAudioBitRates"));
    }
    TXMLSupportedChannelsType EnsureSupportedChannels() {
        return TXMLSupportedChannelsType(Ensure("SupportedChannels"));
    }

    // Drops the three audio lists (a copy saved with "Include audio" off).
    void RemoveAudioLists();
};

}  // namespace profiles
