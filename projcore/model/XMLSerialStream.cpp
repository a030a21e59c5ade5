#include "model/XMLSerialStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <tinyxml2.h>

#include "model/Base64.h"

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

bool IsName(const char* name) { return name && *name; }

std::unique_ptr<XMLDocument> NewDocument() {
    auto doc = std::make_unique<XMLDocument>();
    doc->InsertEndChild(doc->NewDeclaration());  // version="1.0" encoding="UTF-8"
    doc->InsertEndChild(doc->NewElement("stream"));
    return doc;
}

// Numbers are written the same whatever the process locale (a desktop program
// may switch LC_NUMERIC); project files must be byte-identical everywhere.
template <class T>
std::string FormatInteger(T value) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FormatFixed6(double value) {
    char buf[400];  // fixed notation of the largest double with six decimals
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

// Leading white space is skipped, trailing text ignored, as a decimal scan does.
const char* SkipSpace(const char* s) {
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\f' || *s == '\v') ++s;
    return s;
}

bool ParseDouble(const char* text, double& value) {
    const char* s = SkipSpace(text);
    if (*s == '+') ++s;
    auto r = std::from_chars(s, s + std::strlen(s), value, std::chars_format::general);
    return r.ec == std::errc();
}

bool ParseSigned(const char* text, long long& value) {
    const char* s = SkipSpace(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(s, &end, 10);
    return end != s;
}

bool ParseUnsigned(const char* text, unsigned long long& value) {
    const char* s = SkipSpace(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(s, &end, 10);
    return end != s;
}

// fsync of the folder makes the rename itself durable.
void SyncFolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

CXMLSerialStream::CXMLSerialStream() : document_(NewDocument()) {
    writeStack_.push_back(document_->FirstChildElement("stream"));
    readStack_.push_back(writeStack_.back());
}

CXMLSerialStream::~CXMLSerialStream() = default;

bool CXMLSerialStream::LoadFromFile(const char* path) {
    if (!IsName(path)) return false;
    auto scratch = std::make_unique<XMLDocument>();
    if (scratch->LoadFile(path) != tinyxml2::XML_SUCCESS) return false;
    XMLElement* root = scratch->FirstChildElement("stream");
    if (!root) return false;
    document_ = std::move(scratch);
    writeStack_.assign(1, root);
    readStack_.assign(1, root);
    return true;
}

std::string CXMLSerialStream::ToText() const {
    tinyxml2::XMLPrinter printer;
    document_->Print(&printer);
    return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
}

bool CXMLSerialStream::SaveToFile(const char* path) {
    if (!IsName(path)) return false;
    const std::string target(path);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;

    // Keep the permissions of the file being replaced; a new file gets the
    // usual rw-r--r--.
    struct stat st{};
    const mode_t mode = ::stat(path, &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);

    const std::string text = ToText();
    bool ok = true;
    size_t written = 0;
    while (ok && written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else written += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return false;
    }
    SyncFolderOf(target);
    return true;
}

bool CXMLSerialStream::BeginGroup(const char* name) {
    if (!IsName(name) || writeStack_.empty()) return false;
    XMLElement* e = document_->NewElement(name);
    writeStack_.back()->InsertEndChild(e);
    if (document_->Error()) return false;
    writeStack_.push_back(e);
    return true;
}

bool CXMLSerialStream::EndGroup() {
    if (writeStack_.empty()) return false;
    writeStack_.pop_back();
    return true;
}

bool CXMLSerialStream::PutText(const char* name, const char* text) {
    if (!IsName(name) || writeStack_.empty()) return false;
    XMLElement* e = document_->NewElement(name);
    writeStack_.back()->InsertEndChild(e);
    if (document_->Error()) return false;
    // An empty text gets no text node: "<Author/>" reads back the same as it
    // was written, so a save of a loaded project repeats its bytes.
    if (*text) e->InsertEndChild(document_->NewText(text));
    return !document_->Error();
}

bool CXMLSerialStream::PutChar(const char* n, int8_t v) { return PutText(n, FormatInteger(int{v}).c_str()); }
bool CXMLSerialStream::PutUChar(const char* n, uint8_t v) { return PutText(n, FormatInteger(unsigned{v}).c_str()); }
bool CXMLSerialStream::PutShort(const char* n, int16_t v) { return PutText(n, FormatInteger(int{v}).c_str()); }
bool CXMLSerialStream::PutUShort(const char* n, uint16_t v) { return PutText(n, FormatInteger(unsigned{v}).c_str()); }
bool CXMLSerialStream::PutInt(const char* n, int32_t v) { return PutText(n, FormatInteger(v).c_str()); }
bool CXMLSerialStream::PutUInt(const char* n, uint32_t v) { return PutText(n, FormatInteger(v).c_str()); }
bool CXMLSerialStream::PutInt64(const char* n, int64_t v) { return PutText(n, FormatInteger(v).c_str()); }
bool CXMLSerialStream::PutUInt64(const char* n, uint64_t v) { return PutText(n, FormatInteger(v).c_str()); }
bool CXMLSerialStream::PutFloat(const char* n, float v) { return PutText(n, FormatFixed6(v).c_str()); }
bool CXMLSerialStream::PutDouble(const char* n, double v) { return PutText(n, FormatFixed6(v).c_str()); }

bool CXMLSerialStream::PutString(const char* n, const char* text) {
    return PutText(n, text ? text : "");
}

bool CXMLSerialStream::PutBinary(const char* n, const void* bytes, size_t size) {
    if (size == 0 || !bytes) return false;
    return PutText(n, Base64Encode(bytes, size).c_str());
}

bool CXMLSerialStream::Put8(const char* n, const void* v) { return PutBinary(n, v, 8); }
bool CXMLSerialStream::Put16(const char* n, const void* v) { return PutBinary(n, v, 16); }
bool CXMLSerialStream::Put4(const char* n, const void* v) { return PutBinary(n, v, 4); }

bool CXMLSerialStream::OpenGroup(const char* name) {
    if (!IsName(name) || readStack_.empty()) return false;
    XMLElement* e = readStack_.back()->FirstChildElement(name);
    if (!e) return false;
    readStack_.push_back(e);
    return true;
}

bool CXMLSerialStream::OpenArray(const char* name, uint32_t& count) {
    if (!OpenGroup(name)) return false;
    count = 0;
    for (const XMLElement* e = readStack_.back()->FirstChildElement(); e; e = e->NextSiblingElement()) ++count;
    return true;
}

bool CXMLSerialStream::CloseGroup() {
    if (readStack_.empty()) return false;
    readStack_.pop_back();
    return true;
}

const char* CXMLSerialStream::ValueText(const char* name) const {
    if (!IsName(name) || readStack_.empty()) return nullptr;
    const XMLElement* e = readStack_.back()->FirstChildElement(name);
    if (!e || !e->FirstChild() || !e->FirstChild()->ToText()) return nullptr;
    return e->FirstChild()->Value();
}

template <class T>
bool CXMLSerialStream::GetSigned(const char* name, T& value) {
    const char* text = ValueText(name);
    long long v = 0;
    if (!text || !ParseSigned(text, v)) return false;
    value = static_cast<T>(v);  // out-of-range text keeps its low bits, as a decimal scan does
    return true;
}

template <class T>
bool CXMLSerialStream::GetUnsigned(const char* name, T& value) {
    const char* text = ValueText(name);
    unsigned long long v = 0;
    if (!text || !ParseUnsigned(text, v)) return false;
    value = static_cast<T>(v);
    return true;
}

bool CXMLSerialStream::GetChar(const char* n, int8_t& v) { return GetSigned(n, v); }
// The unsigned byte is read as a signed decimal and keeps its low byte.
bool CXMLSerialStream::GetUChar(const char* n, uint8_t& v) { return GetSigned(n, v); }
bool CXMLSerialStream::GetShort(const char* n, int16_t& v) { return GetSigned(n, v); }
bool CXMLSerialStream::GetUShort(const char* n, uint16_t& v) { return GetUnsigned(n, v); }
bool CXMLSerialStream::GetInt(const char* n, int32_t& v) { return GetSigned(n, v); }
bool CXMLSerialStream::GetUInt(const char* n, uint32_t& v) { return GetUnsigned(n, v); }
bool CXMLSerialStream::GetInt64(const char* n, int64_t& v) { return GetSigned(n, v); }
// Unsigned: values above 2^63 read back unchanged.
bool CXMLSerialStream::GetUInt64(const char* n, uint64_t& v) { return GetUnsigned(n, v); }

bool CXMLSerialStream::GetFloat(const char* n, float& v) {
    double d = 0;
    const char* text = ValueText(n);
    if (!text || !ParseDouble(text, d)) return false;
    v = static_cast<float>(d);
    return true;
}

bool CXMLSerialStream::GetDouble(const char* n, double& v) {
    const char* text = ValueText(n);
    return text && ParseDouble(text, v);
}

bool CXMLSerialStream::GetString(const char* name, std::string& text) {
    if (!IsName(name) || readStack_.empty()) return false;
    const XMLElement* e = readStack_.back()->FirstChildElement(name);
    if (!e) return false;
    const char* t = e->GetText();
    text = t ? t : "";
    return true;
}

bool CXMLSerialStream::GetBinary(const char* name, std::vector<uint8_t>& bytes) {
    const char* text = ValueText(name);
    if (!text) return false;
    bytes = Base64Decode(text);
    return true;
}

bool CXMLSerialStream::GetFixed(const char* name, void* out, size_t size) {
    std::vector<uint8_t> bytes;
    if (!GetBinary(name, bytes) || bytes.size() != size) return false;
    std::memcpy(out, bytes.data(), size);
    return true;
}

bool CXMLSerialStream::Get8(const char* n, void* v) { return GetFixed(n, v, 8); }
bool CXMLSerialStream::Get16(const char* n, void* v) { return GetFixed(n, v, 16); }
bool CXMLSerialStream::Get4(const char* n, void* v) { return GetFixed(n, v, 4); }
