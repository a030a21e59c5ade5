// The file behind the remux writer's AVIOContext. The context hands every
// write straight here (direct), and the pieces go out in large gathered
// writes: bytes the caller lends (a packet's data where the caller holds it,
// readable until Release) are referred to where they lie, everything else
// the muxer writes (its boxes and elements, a Matroska cluster, its own
// buffer) is copied into a side buffer first. So the bytes of a copied
// packet are copied once, by the kernel, from where the caller read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/uio.h>
#include <vector>

class CRemuxOutput {
public:
    CRemuxOutput();
    ~CRemuxOutput();   // closes the file; what waits to be written is dropped
    CRemuxOutput(const CRemuxOutput&) = delete;
    CRemuxOutput& operator=(const CRemuxOutput&) = delete;

    // Creates the file, or empties it; 0 or an AVERROR.
    int Open(const std::string& path);
    // Writes within [data, data + size) until the next Lend may be referred
    // to rather than copied; the caller keeps the bytes readable and
    // unchanged until Release. Lend(nullptr, 0): no bytes are lent.
    void Lend(const uint8_t* data, size_t size) {
        lentBegin_ = data;
        lentEnd_ = data + size;
    }
    // The AVIOContext's write and seek (AVSEEK_SIZE included); an AVERROR
    // once any write failed.
    int Write(const uint8_t* data, int size);
    int64_t Seek(int64_t offset, int whence);
    // Writes out every piece waiting; 0 or an AVERROR. After it nothing
    // refers to lent bytes.
    int Release();
    // Writes what waits and closes the file; 0 or an AVERROR.
    int Close();
    // Forgets what waits without writing it (lent bytes may be gone) and
    // closes the file.
    void Drop();

private:
    void Add(const uint8_t* data, size_t size);

    int fd_ = -1;
    int error_ = 0;
    const uint8_t* lentBegin_ = nullptr;
    const uint8_t* lentEnd_ = nullptr;
    std::vector<iovec> pieces_;
    size_t waiting_ = 0;   // bytes the pieces hold
    std::unique_ptr<uint8_t[]> side_;
    size_t sideUsed_ = 0;
};
