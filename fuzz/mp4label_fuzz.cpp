// libFuzzer target for mp4label: parses the input as a PSP MP4 file from
// memory, plans a title save on it and, when the save is possible, checks
// that the saved file reads back with that title and that saving it again
// changes nothing. Any crash, sanitizer report or abort is a finding.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "PspLayout.h"
#include "TitleSavePlan.h"

using namespace mp4label;

namespace {

std::vector<uint8_t> Apply(std::span<const uint8_t> file, const TitleSavePlan& plan) {
    std::vector<uint8_t> out(file.begin(), file.begin() + long(plan.cutStart));
    out.insert(out.end(), plan.newMoov.begin(), plan.newMoov.end());
    out.insert(out.end(), file.begin() + long(plan.cutEnd), file.end());
    return out;
}

// The title comes from the input's last bytes so that the file's head (which
// must read "ftyp" "MSNV") stays free to mutate; no unit is 0.
std::u16string TitleFrom(std::span<const uint8_t> data) {
    std::u16string title;
    if (data.empty()) return title;
    const size_t units = std::min<size_t>(data.back() % 48, data.size() - 1);
    for (size_t i = 0; i < units; ++i)
        title.push_back(static_cast<char16_t>(0x20 + data[data.size() - 2 - i] * 131));
    return title;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const MemorySource src(file);

    std::optional<std::u16string> stored;
    ReadPspTitle(src, stored);

    const std::u16string title = TitleFrom(file);
    TitleSavePlan plan;
    if (!PlanTitleSave(src, title, plan)) return 0;
    if (plan.cutStart > plan.cutEnd || plan.cutEnd > size) std::abort();

    const std::vector<uint8_t> saved = Apply(file, plan);
    const MemorySource again(saved);
    std::optional<std::u16string> back;
    if (!ReadPspTitle(again, back) || !back || *back != title) std::abort();

    TitleSavePlan second;
    if (!PlanTitleSave(again, title, second) || Apply(saved, second) != saved) std::abort();
    return 0;
}
