#include <cstdio>

#include "CliFixture.h"

int Shell(const std::string& command, std::string* output) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    const int status = pclose(p);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> Probe(const std::string& path) {
    std::string text;
    const int rc = Shell("ffprobe -v error -show_entries format=format_name,duration:format_tags=title:stream=codec_type,codec_name,width,height,r_frame_rate "
                         "-of flat '" + path + "'", &text);
    std::map<std::string, std::string> out;
    if (rc == 127) return {{"error", "ffprobe is missing (scripts/install-deps.sh installs the ffmpeg package)"}};
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string v = line.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
        out[line.substr(0, eq)] = v;
    }
    if (rc != 0) return {{"error", text}};
    return out;
}
