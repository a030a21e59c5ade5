#include "ProfileCatalog.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "profiles/ProfileNumbers.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::string ProgramFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    return fs::path(std::string(buf, static_cast<size_t>(n))).parent_path().string();
}

}  // namespace

std::string ProfileCatalog::UserFile() {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    return config.empty() ? "" : config + "/Tarvolen/Veltrano/CustomFormats.xml";
}

std::vector<std::string> ProfileCatalog::ShippedFiles() {
    std::vector<std::string> paths;
    // Beside the program in a build tree; in <prefix>/share/veltrano when
    // installed, wherever the prefix is.
    if (const std::string here = ProgramFolder(); !here.empty()) {
        paths.push_back(here + "/CustomFormats.xml");
        paths.push_back(fs::path(here).parent_path().string() + "/share/veltrano/CustomFormats.xml");
    }
#ifdef VELTRANO_SHIPPED_PROFILES
    paths.push_back(VELTRANO_SHIPPED_PROFILES);
#endif
    return paths;
}

bool ProfileCatalog::Load(const std::string& explicitPath, std::string* error) {
    std::string path = explicitPath;
    for (const std::string& p : ShippedFiles())
        if (path.empty() && fs::is_regular_file(p)) path = p;
    if (path.empty()) {
        if (error) *error = "no profile file found (give one with --profiles FILE)";
        return false;
    }
    std::string why;
    all_.clear();
    sources_.clear();
    if (!doc_.LoadFile(path, &why)) {
        if (error) *error = path + "\n\n" + why;
        return false;
    }
    sources_.push_back(path);
    const profiles::TXMLExportFormatsType formats = doc_.ExportFormats();
    // The user's own profiles join the built-in ones, as the desktop program
    // carries them over when it refreshes its copy.
    const std::string user = explicitPath.empty() ? UserFile() : "";
    profiles::TXMLNewDataSetType mine;
    if (!user.empty() && fs::is_regular_file(user) && mine.LoadFile(user) && formats.Count() > 0) {
        const profiles::TXMLExportCategoryType theirs = mine.ExportFormats().Item(0);
        profiles::TXMLExportCategoryType own = formats.Item(0);
        for (int f = 0; f < theirs.Count(); ++f) own.AddCopy(theirs.Item(f));
        if (theirs.Count() > 0) sources_.push_back(user);
    }
    for (int c = 0; c < formats.Count(); ++c) {
        const profiles::TXMLExportCategoryType category = formats.Item(c);
        for (int f = 0; f < category.Count(); ++f) all_.push_back({category.Item(f), category.Caption()});
    }
    return true;
}

const ProfileEntry* ProfileCatalog::Find(std::string_view nameOrId) const {
    if (const auto id = profiles::ParseInteger(nameOrId))
        for (const ProfileEntry& e : all_)
            if (e.format.FormatID() == *id) return &e;
    const std::string wanted = Lower(nameOrId);
    for (const ProfileEntry& e : all_)
        if (Lower(e.format.Caption()) == wanted) return &e;
    return nullptr;
}

const ProfileEntry* ProfileCatalog::Default() const {
    const profiles::TXMLExportFormatsType formats = doc_.ExportFormats();
    const profiles::TXMLExportFormatType first = formats.Item(1).Item(0);
    for (const ProfileEntry& e : all_)
        if (e.format.Element() == first.Element()) return &e;
    return all_.empty() ? nullptr : &all_.front();
}

std::vector<std::string> ProfileCatalog::CloseNames(std::string_view wanted, size_t most) const {
    const std::string w = Lower(wanted);
    struct Scored {
        size_t score;
        std::string caption;
    };
    std::vector<Scored> scored;
    for (const ProfileEntry& e : all_) {
        const std::string caption = e.format.Caption(), c = Lower(caption);
        if (!w.empty() && c.find(w) != std::string::npos) {
            scored.push_back({0, caption});
            continue;
        }
        // Against the caption's start as long as the text given, so a short
        // name is not judged by the rest of a long caption.
        const size_t d = std::min(EditDistance(w, c), EditDistance(w, c.substr(0, w.size())) + 1);
        if (d <= std::max<size_t>(2, w.size() / 3)) scored.push_back({d, caption});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const Scored& a, const Scored& b) { return a.score < b.score; });
    // Names that hold the text are better guesses than any near miss.
    if (!scored.empty() && scored.front().score == 0)
        scored.erase(std::find_if(scored.begin(), scored.end(), [](const Scored& s) { return s.score > 0; }), scored.end());
    std::vector<std::string> names;
    for (const Scored& s : scored) {
        if (names.size() == most) break;
        names.push_back(s.caption);
    }
    return names;
}
