#include "ResultsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Json.h"

std::string ResultLine(const ResultRecord& r) {
    JsonObject o;
    o.Add("input", r.input);
    if (r.sequence) o.Add("sequence", *r.sequence);
    o.Add("output", r.output);
    if (r.outputs) {
        std::string list = "[";
        for (const std::string& path : *r.outputs) list += (list.size() > 1 ? "," : "") + JsonString(path);
        o.AddRaw("outputs", list + "]");
    }
    o.Add("profile", r.profile)
        .Add("state", r.state)
        .Add("seconds", std::round(r.seconds * 1000) / 1000)
        .Add("error", r.error)
        .Add("code", r.code);
    return o.Text();
}

ResultsFile::~ResultsFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool ResultsFile::Open(const std::string& path, std::string* error) {
    if (path.empty()) {
        *error = "--results needs a file name";
        return false;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        *error = "cannot open the results file " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    return true;
}

bool ResultsFile::Append(const std::string& line) {
    if (fd_ < 0) return true;
    const std::string text = line + "\n";
    // One write per line: with O_APPEND the kernel places it at the end as a
    // whole, after whatever another process appended meanwhile. A short
    // write (a full disk) is not continued: the rest would land after some
    // other process's line.
    ssize_t n;
    do {
        n = ::write(fd_, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(text.size())) return true;
    // A cut line still ends where it was cut, so the next line stays whole.
    if (n > 0) (void)!::write(fd_, "\n", 1);
    const std::string why = n < 0 ? std::strerror(errno) : "only part of a line was written";
    std::fprintf(stderr, "veltrano-cli: cannot write to the results file %s: %s\n", PrintableText(path_).c_str(),
                 why.c_str());
    failed_ = true;
    return false;
}
