#include "ProbeTool.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

namespace avkit_test {

namespace {
// The encoders' statistics would bury the test output.
const int kQuiet = (av_log_set_level(AV_LOG_ERROR), 0);
}  // namespace

std::map<std::string, std::string> Probe(const std::string& path) {
    std::map<std::string, std::string> out;
    const std::string cmd =
        "ffprobe -v error -count_packets -show_entries format=format_name,duration:format_tags:"
        "stream=codec_name,codec_tag_string,display_aspect_ratio,codec_type,width,height,r_frame_rate,duration,sample_rate,channels,"
        "nb_read_packets -of flat '" + path + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> line;
    std::string errors;
    while (fgets(line.data(), line.size(), p)) {
        std::string l(line.data());
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
        const auto eq = l.find('=');
        if (eq == std::string::npos) {
            errors += l + "\n";
            continue;
        }
        std::string v = l.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        out[l.substr(0, eq)] = v;
    }
    const int rc = pclose(p);
    if (rc != 0 || !errors.empty()) {
        out.clear();
        out["error"] = errors.empty() ? "ffprobe failed (is it installed?)" : errors;
    }
    return out;
}

std::string DecodeErrors(const std::string& path) {
    const std::string cmd = "ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "ffmpeg could not be started";
    std::string said;
    std::array<char, 4096> line;
    while (fgets(line.data(), line.size(), p)) said += line.data();
    const int rc = pclose(p);
    return rc == 0 || !said.empty() ? said : "ffmpeg failed (is it installed?)";
}

int StreamIndex(const std::map<std::string, std::string>& p, const std::string& type) {
    for (int i = 0; i < 8; ++i) {
        auto it = p.find("streams.stream." + std::to_string(i) + ".codec_type");
        if (it == p.end()) return -1;
        if (it->second == type) return i;
    }
    return -1;
}

std::string StreamKey(const std::map<std::string, std::string>& p, int index,
                      const std::string& key) {
    auto it = p.find("streams.stream." + std::to_string(index) + "." + key);
    return it == p.end() ? std::string() : it->second;
}

std::string TempPath(const std::string& ext) {
    static int n = 0;
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/avkit-writer-" +
           std::to_string(getpid()) + "-" + std::to_string(n++) + "." + ext;
}

}  // namespace avkit_test
