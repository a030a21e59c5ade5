// "profiles": every output profile with its identifier, container and codecs.
#include <cstdio>

#include "Commands.h"
#include "Json.h"
#include "ProfileCatalog.h"

int RunProfiles(const Options& o) {
    if (!o.inputs.empty()) return Refuse(o.json, "profiles takes no file names");
    ProfileCatalog catalog;
    std::string error;
    if (!catalog.Load(o.profilesFile, &error)) return Refuse(o.json, "cannot read the profiles: " + error);
    std::string category;
    bool first = true;
    for (const ProfileEntry& e : catalog.All()) {
        const auto& f = e.format;
        if (o.json) {
            std::printf("%s\n", JsonObject()
                                    .Add("id", f.FormatID())
                                    .Add("caption", f.Caption())
                                    .Add("category", e.category)
                                    .Add("fileFormat", f.FileFormat())
                                    .Add("fileExt", f.FileExt())
                                    .Add("videoCodec", f.AudioOnly() == 1 ? -1 : f.VideoCodec())
                                    .Add("videoCodecName", f.AudioOnly() == 1 ? "" : f.VideoCodecName())
                                    .Add("audioCodec", f.AudioCodec())
                                    .Add("audioCodecName", f.AudioCodecName())
                                    .Add("audioOnly", f.AudioOnly() == 1)
                                    .Text()
                                    .c_str());
            continue;
        }
        if (first || e.category != category) {
            category = e.category;
            std::printf("%s%s\n", first ? "" : "\n", category.c_str());
            first = false;
        }
        std::string codecs = f.AudioOnly() == 1 ? "" : f.VideoCodecName();
        if (f.AudioCodec() != -1 && !f.AudioCodecName().empty())
            codecs += (codecs.empty() ? "" : " + ") + f.AudioCodecName();
        std::printf("  %5d  %-44s %-8s %s\n", f.FormatID(), f.Caption().c_str(), f.FileFormat().c_str(), codecs.c_str());
    }
    if (!o.json)
        for (const std::string& source : catalog.Sources()) std::printf("%s%s", source == catalog.Sources().front() ? "\nfrom " : " and ", source.c_str());
    if (!o.json) std::printf("\n");
    return 0;
}
