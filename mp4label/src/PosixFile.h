// An owned file descriptor, and a ByteSource over an open file.
#ifndef MP4LABEL_POSIXFILE_H
#define MP4LABEL_POSIXFILE_H

#include <cstdint>
#include <string>

#include "ByteSource.h"

namespace mp4label {

class PosixFile {
public:
    PosixFile() = default;
    explicit PosixFile(int fd) : m_fd(fd) {}
    ~PosixFile() { Close(); }
    PosixFile(PosixFile&& other) noexcept : m_fd(other.Release()) {}
    PosixFile& operator=(PosixFile&& other) noexcept;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    // Opens a regular file; anything else (a folder, a pipe, a device) is
    // refused so that reading it can neither fail oddly nor block.
    bool Open(const std::string& path, bool readWrite);
    void Close();
    int Release();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    // The current length; false when it cannot be had.
    bool Length(uint64_t& out) const;

private:
    int m_fd = -1;
};

class FileSource final : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t pos, void* dst, size_t len) const override;

private:
    int m_fd;
    uint64_t m_size;
};

// Reads or writes exactly len bytes at pos, retrying short transfers and
// interruptions.
bool ReadFully(int fd, uint64_t pos, void* dst, size_t len);
bool WriteFully(int fd, uint64_t pos, const void* src, size_t len);

}  // namespace mp4label

#endif
