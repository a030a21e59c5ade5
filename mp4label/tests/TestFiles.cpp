#include "TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "mp4label/mp4label.h"

namespace testfiles {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/mp4label-test-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    m_path = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> TempDir::Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(m_path))
        names.push_back(e.path().filename().string());
    return names;
}

boxes::Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return boxes::Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const boxes::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

CommandResult RunCommand(const std::string& command) {
    CommandResult r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.output.append(buf, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Quote(const std::string& path) {
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool RequireTool(const std::string& tool) {
    if (RunCommand("command -v " + tool).status == 0) return true;
    ADD_FAILURE() << tool << " is not installed; run `make deps` (it comes with the ffmpeg package)";
    return false;
}

bool ReadTitle(const std::string& path, std::u16string& title, std::string* error) {
    Mp4TitleFile* h = Mp4Title_Create();
    const bool ok = Mp4Title_Open(h, path.c_str()) == 1;
    title = Mp4Title_GetTitle(h);
    if (error) *error = Mp4Title_GetError(h);
    Mp4Title_Destroy(h);
    return ok;
}

bool SaveTitle(const std::string& path, const std::u16string& title, std::string* error) {
    Mp4TitleFile* h = Mp4Title_Create();
    bool ok = Mp4Title_Open(h, path.c_str()) == 1;
    if (ok) {
        Mp4Title_SetTitle(h, title.c_str());
        ok = Mp4Title_Save(h) == 1;
    }
    if (error) *error = Mp4Title_GetError(h);
    Mp4Title_Close(h);
    Mp4Title_Destroy(h);
    return ok;
}

}  // namespace testfiles
