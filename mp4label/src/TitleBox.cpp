#include "TitleBox.h"

#include <string>

#include "BigEndian.h"
#include "BoxHeader.h"

namespace mp4label {
namespace {

constexpr uint8_t kUsmtExtendedType[16] = {0x55, 0x53, 0x4D, 0x54, 0x21, 0xD2, 0x4F, 0xCE,
                                           0xBB, 0x88, 0x69, 0x5C, 0xFA, 0xC9, 0xC7, 0x40};
constexpr uint16_t kUnd = PackLanguage("und");
constexpr uint16_t kEng = PackLanguage("eng");
static_assert(kUnd == 0x55C4 && kEng == 0x15C7);

enum : uint16_t { kBinary = 0, kUtf16 = 1 };

class BoxWriter {
public:
    explicit BoxWriter(std::vector<uint8_t>& out) : m_out(out) {}
    size_t Pos() const { return m_out.size(); }
    void U16(uint16_t v) { Grow(2, [&](uint8_t* p) { StoreBe16(p, v); }); }
    void U32(uint32_t v) { Grow(4, [&](uint8_t* p) { StoreBe32(p, v); }); }
    void Bytes(const uint8_t* p, size_t n) { m_out.insert(m_out.end(), p, p + n); }
    void PatchU32(size_t at, uint32_t v) { StoreBe32(&m_out[at], v); }

    // One entry: size, type, language, encoding, payload.
    void Entry(uint32_t type, uint16_t language, uint16_t encoding,
               const std::vector<uint8_t>& payload) {
        U16(static_cast<uint16_t>(10 + payload.size()));
        U32(type);
        U16(language);
        U16(encoding);
        Bytes(payload.data(), payload.size());
    }

private:
    template <class F>
    void Grow(size_t n, F store) {
        m_out.resize(m_out.size() + n);
        store(&m_out[m_out.size() - n]);
    }
    std::vector<uint8_t>& m_out;
};

// UTF-16BE with its 0 terminator.
std::vector<uint8_t> Utf16Payload(std::u16string_view text) {
    std::vector<uint8_t> p(2 * (text.size() + 1), 0);
    for (size_t i = 0; i < text.size(); ++i) StoreBe16(&p[2 * i], text[i]);
    return p;
}

// The fixed texts are ASCII: each character becomes one code unit.
std::vector<uint8_t> AsciiPayload(std::string_view text) {
    return Utf16Payload(std::u16string(text.begin(), text.end()));
}

}  // namespace

bool BuildTitleBox(std::u16string_view title, std::vector<uint8_t>& out) {
    if (title.size() > kMaxTitleUnits) return false;
    out.clear();
    out.reserve(140 + 2 * title.size());
    BoxWriter w(out);
    w.U32(0);  // box size, patched below
    w.U32(FourCC("uuid"));
    w.Bytes(kUsmtExtendedType, sizeof kUsmtExtendedType);
    const size_t inner = w.Pos();
    w.U32(0);  // inner box size, patched below
    w.U32(FourCC("MTDT"));
    w.U16(4);  // entry count
    w.Entry(11, kUnd, kBinary, {0x02, 0x1C});
    w.Entry(4, kEng, kUtf16, AsciiPayload("Lavc51.7.0"));
    w.Entry(1, kUnd, kUtf16, Utf16Payload(title));
    w.Entry(3, kUnd, kUtf16, AsciiPayload("2006/04/01 11:11:11"));
    w.PatchU32(0, static_cast<uint32_t>(out.size()));
    w.PatchU32(inner, static_cast<uint32_t>(out.size() - inner));
    return true;
}

}  // namespace mp4label
