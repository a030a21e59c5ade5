# FLV tags for the inputs the benchmark scripts generate: reading a file's
# tags, writing one, and (run as a program) a clip's media tags repeated on
# one time line into a long recording:
#   python3 flvtags.py repeat SRC DST MB
import struct
import sys

# The clip's length and a little more: copies do not overlap.
STEP_MS = 10080


def read_tags(path):
    """The 13 header bytes and the (type, timestamp, data) of every tag."""
    b = open(path, "rb").read()
    pos, tags = 13, []
    while pos + 11 <= len(b):
        size = int.from_bytes(b[pos + 1:pos + 4], "big")
        ts = int.from_bytes(b[pos + 4:pos + 7], "big") | b[pos + 7] << 24
        tags.append((b[pos], ts, b[pos + 11:pos + 11 + size]))
        pos += 15 + size
    return b[:13], tags


def tag(tt, ts, d):
    ts &= 0xFFFFFFFF
    return (bytes([tt]) + len(d).to_bytes(3, "big") + (ts & 0xFFFFFF).to_bytes(3, "big") +
            bytes([ts >> 24, 0, 0, 0]) + d + struct.pack(">I", 11 + len(d)))


def split(tags):
    """The tags other than script data, and of those the ones that are not codec setups."""
    first = [t for t in tags if t[0] != 18]
    return first, [t for t in first if not (len(t[2]) > 1 and t[2][1] == 0)]


def repeat(src, dst, mb):
    header, tags = read_tags(src)
    first, media = split(tags)
    with open(dst, "wb") as out:
        out.write(header + b"".join(tag(*t) for t in first))
        base, written = STEP_MS, out.tell()
        while written < mb * 1000000:
            chunk = b"".join(tag(t[0], t[1] + base, t[2]) for t in media)
            out.write(chunk)
            written += len(chunk)
            base += STEP_MS


if __name__ == "__main__" and sys.argv[1:2] == ["repeat"]:
    repeat(sys.argv[2], sys.argv[3], int(sys.argv[4]))
