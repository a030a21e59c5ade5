#include "RecordOptions.h"

#include <cstring>

#include "profiles/OutputRecord.h"
#include "profiles/ProfileNumbers.h"

using namespace profiles;

namespace {

template <class List, class Text>
std::string Offered(const List& list, bool original, bool custom, Text text) {
    std::string s;
    if (original) s = "original";
    for (int i = 0; i < list.Count(); ++i) s += (s.empty() ? "" : ", ") + text(list, i);
    if (custom) s += s.empty() ? "any other value" : ", or any other value";
    return s.empty() ? "nothing" : s;
}

bool ChooseSize(const TXMLExportFormatType& p, const std::string& want, ProfileChoices& c, std::string* error) {
    const TXMLSupportedSizesType sizes = p.SupportedSizes();
    const bool original = sizes.AllowOrg() == 1, custom = sizes.AllowCustom() == 1;
    const auto size = ParseSize(want);
    if (want == "original" && original) {
        c.size = ProfileChoices::kOriginal;
        return true;
    }
    for (int i = 0; i < sizes.Count(); ++i)
        if (sizes.Item(i) == want) {
            c.size = i;
            return true;
        }
    if (custom && size && size->width >= 20 && size->width <= 3000 && size->height >= 20 && size->height <= 3000) {
        c.size = ProfileChoices::kCustom;
        c.customWidth = size->width;
        c.customHeight = size->height;
        return true;
    }
    *error = "the profile does not offer the size " + want + "; it offers " +
             Offered(sizes, original, custom, [](const TXMLSupportedSizesType& l, int i) { return l.Item(i); }) +
             (custom ? " from 20x20 to 3000x3000" : "");
    return false;
}

bool ChooseFps(const TXMLExportFormatType& p, const std::string& want, ProfileChoices& c, std::string* error) {
    const TXMLSupportedFPSSType fps = p.SupportedFPSS();
    const bool original = fps.AllowOrg() == 1, custom = fps.AllowCustom() == 1;
    const auto rate = ParseNumber(want);
    if (want == "original" && original) {
        c.frameRate = ProfileChoices::kOriginal;
        return true;
    }
    for (int i = 0; rate && i < fps.Count(); ++i)
        if (FormatNumber(fps.Item(i)) == FormatNumber(*rate)) {
            c.frameRate = i;
            return true;
        }
    if (custom && rate && *rate > 0 && *rate <= 240) {
        c.frameRate = ProfileChoices::kCustom;
        c.customFrameRate = *rate;
        return true;
    }
    *error = "the profile does not offer the frame rate " + want + "; it offers " +
             Offered(fps, original, custom,
                     [](const TXMLSupportedFPSSType& l, int i) { return FormatNumber(l.Item(i)); });
    return false;
}

}  // namespace

bool MakeOutputSettings(const TXMLExportFormatType& p, const StreamOptions& o, OutputSettings& record,
                        std::string* error) {
    ProfileChoices c = DefaultChoices(p);
    const bool bind = IsBindProfile(p);
    if (!bind) {
        if (o.noAudio) c.includeAudio = false;
        if (o.noVideo) c.includeVideo = false;
        c.letterbox = o.letterbox;
        if (c.includeVideo && o.size && !ChooseSize(p, *o.size, c, error)) return false;
        if (c.includeVideo && o.fps && !ChooseFps(p, *o.fps, c, error)) return false;
    } else if (o.noAudio || o.noVideo || o.size || o.fps || o.letterbox) {
        *error = "the profile " + p.Caption() +
                 " copies the files as they are: --size, --fps, --letterbox, --no-audio and --no-video do not apply";
        return false;
    }
    std::memset(&record, 0, sizeof record);
    switch (BuildOutputSettings(p, c, record)) {
        case RecordResult::kOk:
            record.cutMode = o.keyCuts ? 1 : 0;
            return true;
        case RecordResult::kNoStream: *error = "with these options the output would have neither picture nor sound"; break;
        case RecordResult::kBadChoice: *error = "the profile's default entries are not in its lists"; break;
    }
    return false;
}
