#pragma once

// One JSON object per line, built field by field. Texts are escaped; a byte
// that is not UTF-8 becomes the escape of a lone low surrogate (U+DC80 +
// the byte's low bits, as surrogateescape decoders read it back).

#include <cstdint>
#include <string>
#include <string_view>

class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string_view value);
    JsonObject& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value ? value : "")); }
    JsonObject& Add(std::string_view key, int64_t value);
    JsonObject& Add(std::string_view key, int32_t value) { return Add(key, static_cast<int64_t>(value)); }
    JsonObject& Add(std::string_view key, double value);
    JsonObject& Add(std::string_view key, bool value);
    // value is already JSON (an array or object built elsewhere).
    JsonObject& AddRaw(std::string_view key, std::string_view json);
    std::string Text() const { return text_ + "}"; }

private:
    void Key(std::string_view key);
    std::string text_ = "{";
};

// A text for a terminal: control characters and bytes that are not UTF-8
// as \xNN, so a file name is shown whatever it holds.
std::string PrintableText(std::string_view text);

// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);
