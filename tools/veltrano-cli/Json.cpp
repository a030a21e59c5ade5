#include "Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// Length of the UTF-8 sequence starting at s[i], 0 when it is not one.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    if (n == 2 && c < 0xC2) return 0;   // overlong
    return n;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = Utf8Length(text, i);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
            ++i;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = Utf8Length(text, i);
        if (n == 0) {
            // A byte that is not UTF-8 (a file name may hold any): as a lone
            // low surrogate, the escape that decoders such as Python's
            // surrogateescape turn back into the byte, so the name still
            // names the file.
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\udc%02x", c);
            out += buf;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out + "\"";
}

void JsonObject::Key(std::string_view key) {
    if (text_.size() > 1) text_ += ',';
    text_ += JsonString(key);
    text_ += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) {
    Key(key);
    text_ += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        text_ += "null";
        return *this;
    }
    char buf[32];
    // to_chars never looks at the locale: "." always.
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    text_.append(buf, ec == std::errc() ? end : buf);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
    Key(key);
    text_ += json;
    return *this;
}
