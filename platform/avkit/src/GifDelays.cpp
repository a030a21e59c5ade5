#include "GifDelays.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// Reads a GIF's blocks from a byte stream; every read is checked so a damaged
// file ends the walk instead of reading past it.
class GifWalker {
public:
    explicit GifWalker(FILE* f) : f_(f) {}

    bool Byte(int& b) {
        b = std::fgetc(f_);
        return b != EOF;
    }
    bool Skip(long n) { return n == 0 || std::fseek(f_, n, SEEK_CUR) == 0; }
    bool Read(uint8_t* out, size_t n) { return std::fread(out, 1, n, f_) == n; }

    // Skips a chain of data sub-blocks; the first block's bytes (up to 4) are
    // kept in `first` when asked for.
    bool SubBlocks(uint8_t* first = nullptr, int* firstSize = nullptr) {
        bool isFirst = true;
        for (;;) {
            int len = 0;
            if (!Byte(len)) return false;
            if (len == 0) return true;
            if (isFirst && first) {
                const int keep = len < 4 ? len : 4;
                if (!Read(first, static_cast<size_t>(keep)) || !Skip(len - keep)) return false;
                *firstSize = len;
            } else if (!Skip(len)) {
                return false;
            }
            isFirst = false;
        }
    }

private:
    FILE* f_;
};

long ColourTableBytes(int flags) { return (flags & 0x80) ? 3L << ((flags & 7) + 1) : 0; }

}  // namespace

std::vector<int> ReadGifDelays(const std::string& path) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return {};
    GifWalker gif(file.get());
    uint8_t header[13];
    if (!gif.Read(header, sizeof header) || std::memcmp(header, "GIF8", 4) != 0) return {};
    if (!gif.Skip(ColourTableBytes(header[10]))) return {};

    std::vector<int> delays;
    int pending = 0;
    for (;;) {
        int block = 0;
        if (!gif.Byte(block)) return {};
        if (block == 0x3B) return delays;  // trailer
        if (block == 0x21) {               // extension
            int label = 0;
            uint8_t first[4] = {};
            int firstSize = 0;
            if (!gif.Byte(label) || !gif.SubBlocks(first, &firstSize)) return {};
            if (label == 0xF9 && firstSize >= 4) pending = first[1] | (first[2] << 8);
        } else if (block == 0x2C) {  // image
            uint8_t descriptor[9];
            int minCodeSize = 0;
            if (!gif.Read(descriptor, sizeof descriptor) || !gif.Skip(ColourTableBytes(descriptor[8])) ||
                !gif.Byte(minCodeSize) || !gif.SubBlocks())
                return {};
            delays.push_back(pending);
            pending = 0;
        } else {
            // Some writers end without a trailer; anything else is damage.
            return delays;
        }
    }
}
