#include "model/Base64.h"

#include <array>

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeDecodeTable() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return t;
}
constexpr auto kDecode = MakeDecodeTable();

// Emits the whole bytes held by `count` sextets.
void Flush(uint32_t bits, int count, std::vector<uint8_t>& out) {
    bits <<= 6 * (4 - count);
    const int bytes = count * 6 / 8;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(bits >> (16 - 8 * i)));
}
}  // namespace

std::string Base64Encode(const void* bytes, size_t size) {
    const auto* in = static_cast<const uint8_t*>(bytes);
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = size - i;
    if (rest > 0) {
        const uint32_t v = (in[i] << 16) | (rest == 2 ? in[i + 1] << 8 : 0);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::vector<uint8_t> Base64Decode(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') {
            if (count > 0) Flush(bits, count, out);
            bits = 0;
            count = 0;
            continue;
        }
        const int v = kDecode[static_cast<unsigned char>(c)];
        if (v < 0) continue;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            Flush(bits, 4, out);
            bits = 0;
            count = 0;
        }
    }
    if (count > 0) Flush(bits, count, out);
    return out;
}
