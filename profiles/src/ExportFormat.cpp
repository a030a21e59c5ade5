#include "profiles/ExportFormat.h"

namespace profiles {

void TXMLExportFormatType::RemoveAudioLists() {
    RemoveAll("SupportedSampleRates");
    RemoveAll("SupportedAudioBitRates");
    RemoveAll("SupportedChannels");
}

}  // namespace profiles
