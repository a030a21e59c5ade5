// QTFastStart: rewrites an MP4/MOV file with moov ahead of the media data.
// The top-level boxes are copied in order with moov moved in front of the
// first mdat; every chunk offset (stco, co64) into the data that moved is
// raised by moov's size.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "avkit/avkit.h"

namespace {

struct Box {
    uint64_t pos, size;
    char type[4];
};

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint64_t Be64(const uint8_t* p) { return uint64_t(Be32(p)) << 32 | Be32(p + 4); }
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}
void PutBe64(uint8_t* p, uint64_t v) {
    PutBe32(p, uint32_t(v >> 32));
    PutBe32(p + 4, uint32_t(v));
}

// The top-level boxes of the file; false when they do not tile it exactly.
bool ReadTopLevel(FILE* f, uint64_t fileSize, std::vector<Box>& boxes) {
    uint64_t pos = 0;
    while (pos < fileSize) {
        uint8_t h[16];
        if (fileSize - pos < 8 || fseeko(f, static_cast<off_t>(pos), SEEK_SET) != 0 ||
            fread(h, 1, 8, f) != 8)
            return false;
        uint64_t size = Be32(h);
        if (size == 1) {
            if (fileSize - pos < 16 || fread(h + 8, 1, 8, f) != 8) return false;
            size = Be64(h + 8);
        } else if (size == 0) {
            size = fileSize - pos;   // runs to the end of the file
        }
        if (size < 8 || size > fileSize - pos) return false;
        Box b{pos, size, {}};
        std::memcpy(b.type, h + 4, 4);
        boxes.push_back(b);
        pos += size;
    }
    return !boxes.empty();
}

bool IsType(const uint8_t* t, const char* name) { return std::memcmp(t, name, 4) == 0; }

// Walks the boxes in [p, end) and moves the chunk offsets in [from, to) by delta.
bool Patch(uint8_t* p, uint8_t* end, uint64_t from, uint64_t to, uint64_t delta) {
    while (end - p >= 8) {
        uint64_t size = Be32(p);
        size_t head = 8;
        if (size == 1) {
            if (end - p < 16) return false;
            size = Be64(p + 8);
            head = 16;
        } else if (size == 0) {
            size = static_cast<uint64_t>(end - p);
        }
        if (size < head || size > static_cast<uint64_t>(end - p)) return false;
        uint8_t* type = p + 4;
        uint8_t* body = p + head;
        uint8_t* boxEnd = p + size;
        if (IsType(type, "trak") || IsType(type, "mdia") || IsType(type, "minf") ||
            IsType(type, "stbl")) {
            if (!Patch(body, boxEnd, from, to, delta)) return false;
        } else if (IsType(type, "stco") || IsType(type, "co64")) {
            const bool wide = IsType(type, "co64");
            if (boxEnd - body < 8) return false;
            const uint64_t count = Be32(body + 4);
            const uint64_t entry = wide ? 8 : 4;
            if (count > static_cast<uint64_t>(boxEnd - body - 8) / entry) return false;
            for (uint64_t i = 0; i < count; ++i) {
                uint8_t* e = body + 8 + i * entry;
                const uint64_t o = wide ? Be64(e) : Be32(e);
                if (o < from || o >= to) continue;
                const uint64_t n = o + delta;
                if (wide) {
                    PutBe64(e, n);
                } else {
                    if (n > UINT32_MAX) return false;   // would need co64: leave the file as it is
                    PutBe32(e, static_cast<uint32_t>(n));
                }
            }
        } else if (IsType(type, "cmov")) {
            return false;   // compressed movie header: offsets out of reach
        }
        p = boxEnd;
    }
    return p == end;
}

// buf: the rewrite's own buffer. Not a thread_local: a library's static TLS
// is set up on every thread of every program that loads it.
bool Copy(FILE* in, FILE* out, uint64_t pos, uint64_t size, std::vector<uint8_t>& buf) {
    if (fseeko(in, static_cast<off_t>(pos), SEEK_SET) != 0) return false;
    while (size > 0) {
        const size_t n = size < buf.size() ? static_cast<size_t>(size) : buf.size();
        if (fread(buf.data(), 1, n, in) != n || fwrite(buf.data(), 1, n, out) != n) return false;
        size -= n;
    }
    return true;
}

int Rewrite(FILE* in, const char* target) {
    struct stat st {};
    if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) return 2;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    std::vector<Box> boxes;
    if (!ReadTopLevel(in, fileSize, boxes)) return 3;

    size_t moov = boxes.size(), mdat = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (moov == boxes.size() && IsType(reinterpret_cast<const uint8_t*>(boxes[i].type), "moov")) moov = i;
        if (mdat == boxes.size() && IsType(reinterpret_cast<const uint8_t*>(boxes[i].type), "mdat")) mdat = i;
    }
    if (moov == boxes.size() || boxes[moov].size > (uint64_t(1) << 30)) return 4;

    std::vector<uint8_t> movie(static_cast<size_t>(boxes[moov].size));
    if (fseeko(in, static_cast<off_t>(boxes[moov].pos), SEEK_SET) != 0 ||
        fread(movie.data(), 1, movie.size(), in) != movie.size())
        return 5;
    // Data between the new and the old place of moov moves up by moov's size.
    const bool moves = mdat < moov;
    if (moves) {
        const size_t head = Be32(movie.data()) == 1 ? 16 : 8;
        if (!Patch(movie.data() + head, movie.data() + movie.size(), boxes[mdat].pos,
                   boxes[moov].pos, movie.size()))
            return 6;
    }

    std::vector<uint8_t> buf(size_t{1} << 16);
    // "x": never replaces a file someone else left under this name.
    FILE* out = std::fopen(target, "wbx");
    if (!out) return 7;
    bool ok = true;
    for (size_t i = 0; ok && i < boxes.size(); ++i) {
        if (i == moov && moves) continue;
        if (i == mdat && moves) ok = std::fwrite(movie.data(), 1, movie.size(), out) == movie.size();
        if (ok) ok = Copy(in, out, boxes[i].pos, boxes[i].size, buf);
    }
    if (std::fflush(out) != 0) ok = false;
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::remove(target);   // ours: made exclusively above
        return 8;
    }
    return 0;
}

}  // namespace

extern "C" AVKIT_API int QTFastStart(const char* source, const char* target) {
    if (!source || !target || !*source || !*target) return 1;
    FILE* in = std::fopen(source, "rb");
    if (!in) return 1;
    const int r = Rewrite(in, target);
    std::fclose(in);
    return r;
}
