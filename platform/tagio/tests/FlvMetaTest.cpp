// The onMetaData rewrite: checked by flvmeta, key-frame index read back
// against the tags, old properties kept, damaged metadata replaced, nothing
// written when nothing changes, and a file changed under it refused. Then the
// AMF0 reader's limits on hostile metadata.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Amf0.h"
#include "tagio/tagio.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Spill(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while (p && (n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    if (p) pclose(p);
    return out;
}

bool FlvmetaClean(const std::string& path) {
    const std::string out = Shell("flvmeta --check '" + path + "'");
    return out.rfind("0 error(s)", 0) == 0 || out.find("\n0 error(s)") != std::string::npos;
}

int Update(const std::string& path) {
    TagioFlvMeta* m = FlvMetaCreateObject();
    const int ok = FlvMetaParseFromFile(m, path.c_str()) && FlvMetaUpdateToFile(m, path.c_str());
    FlvMetaDeleteObject(m);
    return ok;
}

uint32_t Be(const std::string& d, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | uint8_t(d[at + i]);
    return v;
}

// The file's first tag's data as parsed properties.
std::vector<tagio::amf::Property> FirstMeta(const std::string& d, std::string& data) {
    std::vector<tagio::amf::Property> props;
    EXPECT_EQ(d[13], 18) << "the metadata comes first";
    data = d.substr(24, Be(d, 14, 3));
    EXPECT_TRUE(tagio::amf::ParseOnMetaData(reinterpret_cast<const uint8_t*>(data.data()),
                                            data.size(), props));
    return props;
}

double Number(const std::string& data, const std::vector<tagio::amf::Property>& props,
              const std::string& name) {
    for (const auto& p : props)
        if (p.name == name && data[p.valueOffset] == 0) {
            uint64_t bits = 0;
            for (int i = 1; i <= 8; ++i) bits = bits << 8 | uint8_t(data[p.valueOffset + i]);
            double v;
            std::memcpy(&v, &bits, 8);
            return v;
        }
    return -1;
}

std::vector<double> Array(const std::string& d, const std::string& name) {
    std::vector<double> out;
    const std::string key = std::string(1, '\0') + char(name.size()) + name + '\x0a';
    size_t p = d.find(key);
    if (p == std::string::npos) return out;
    p += key.size();
    const uint32_t n = Be(d, p, 4);
    for (uint32_t i = 0; i < n; ++i) {
        uint64_t bits = 0;
        for (int k = 1; k <= 8; ++k) bits = bits << 8 | uint8_t(d[p + 4 + 9 * i + k]);
        double v;
        std::memcpy(&v, &bits, 8);
        out.push_back(v);
    }
    return out;
}

class FlvMeta : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tagio-meta-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { Shell("rm -rf '" + dir_ + "'"); }
    std::string File(const char* name) { return dir_ + "/" + name; }
    size_t Entries() {
        size_t n = 0;
        DIR* d = opendir(dir_.c_str());
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
        return n;
    }
    std::string dir_;
};

TEST_F(FlvMeta, RewriteHoldsTheFactsAndAKeyFrameIndexThatPointsAtKeyFrames) {
    ASSERT_NE(Shell("command -v flvmeta"), "") << "flvmeta is needed (make deps installs it)";
    const char* fixtures[] = {"flv1_mp3_160x120.flv", "flv1_video_only_160x120.flv",
                              "h264_aac_160x120.flv", "mp3_audio_only.flv"};
    for (const char* name : fixtures) {
        const std::string path = File("a.flv");
        Spill(path, Slurp(Fixture(name)));
        chmod(path.c_str(), 0640);
        ASSERT_TRUE(Update(path)) << name;
        EXPECT_TRUE(FlvmetaClean(path)) << name << Shell("flvmeta --check '" + path + "'");
        struct stat st {};
        stat(path.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << "the output keeps its permissions";
        EXPECT_EQ(Entries(), 1u) << "no temporary file is left";

        const std::string d = Slurp(path);
        std::string data;
        const auto props = FirstMeta(d, data);
        EXPECT_EQ(Number(data, props, "filesize"), double(d.size())) << name;
        const double probe = std::atof(
            Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
        EXPECT_NEAR(Number(data, props, "duration"), probe, 0.07) << name;
        bool encoderKept = false;
        for (const auto& p : props) encoderKept |= p.name == "encoder";
        EXPECT_TRUE(encoderKept) << name << ": properties the rewrite does not know stay";

        const auto positions = Array(d, "filepositions"), times = Array(d, "times");
        ASSERT_EQ(positions.size(), times.size());
        size_t keys = 0;
        double lastKeyTime = -1;
        for (size_t pos = 13; pos + 11 <= d.size(); pos += 15 + Be(d, pos + 1, 3)) {
            // Every key frame tag (for H.264 also the sequence header and the
            // end of sequence), the first of them at each time.
            const double time = (Be(d, pos + 4, 3) | Be(d, pos + 7, 1) << 24) / 1000.0;
            const bool key = d[pos] == 9 && (uint8_t(d[pos + 11]) >> 4) == 1 && time != lastKeyTime;
            if (!key) continue;
            lastKeyTime = time;
            ASSERT_LT(keys, positions.size()) << name;
            EXPECT_EQ(positions[keys], double(pos)) << name;
            EXPECT_DOUBLE_EQ(times[keys], time);
            ++keys;
        }
        EXPECT_EQ(keys, positions.size()) << name;

        // Up to date now: a second update writes nothing.
        const ino_t inode = st.st_ino;
        ASSERT_TRUE(Update(path));
        stat(path.c_str(), &st);
        EXPECT_EQ(st.st_ino, inode) << name;
        EXPECT_EQ(Slurp(path), d);
    }
}

TEST_F(FlvMeta, DamagedOrMisplacedMetadataIsReplacedAndTheTagsStay) {
    const std::string original = Slurp(Fixture("flv1_mp3_160x120.flv"));
    const size_t firstTag = 13, metaSize = Be(original, 14, 3);
    const std::string tags = original.substr(firstTag + 15 + metaSize);
    struct Case { const char* what; std::string file; } cases[] = {
        {"nested past the limit",
         [&] {
             std::string d = original;
             // Turn the ECMA array's first value into objects nested too deep.
             std::string deep = std::string("\x02\x00\x0a", 3) + "onMetaData\x03";
             for (int i = 0; i < 40; ++i) deep += std::string("\x00\x01x\x03", 4);
             deep.resize(metaSize, '\0');
             return d.replace(firstTag + 11, metaSize, deep);
         }()},
        {"metadata moved behind the tags", original.substr(0, 13) + tags +
                                                original.substr(firstTag, 15 + metaSize)},
        {"no metadata", original.substr(0, 13) + tags},
    };
    for (const auto& c : cases) {
        const std::string path = File("b.flv");
        Spill(path, c.file);
        ASSERT_TRUE(Update(path)) << c.what;
        const std::string d = Slurp(path);
        std::string data;
        FirstMeta(d, data);
        EXPECT_EQ(d.substr(d.size() - tags.size()), tags) << c.what;
        if (Shell("command -v flvmeta") != "") {
            EXPECT_TRUE(FlvmetaClean(path)) << c.what << Shell("flvmeta --check '" + path + "'");
        }
    }
}

TEST_F(FlvMeta, RefusesWhatItCannotRewriteAndLeavesTheFile) {
    const std::string path = File("c.flv");
    Spill(path, Slurp(Fixture("flv1_mp3_160x120.flv")));
    TagioFlvMeta* m = FlvMetaCreateObject();
    ASSERT_TRUE(FlvMetaParseFromFile(m, path.c_str()));
    {
        std::ofstream(path, std::ios::binary | std::ios::app) << "x";   // changed since parsed
    }
    const std::string changed = Slurp(path);
    EXPECT_FALSE(FlvMetaUpdateToFile(m, path.c_str()));
    EXPECT_EQ(Slurp(path), changed);
    EXPECT_EQ(Entries(), 1u);
    EXPECT_FALSE(FlvMetaUpdateToFile(m, File("missing.flv").c_str()));
    EXPECT_FALSE(FlvMetaParseFromFile(m, Fixture("bad_signature.flv").c_str()));
    EXPECT_FALSE(FlvMetaUpdateToFile(m, path.c_str())) << "nothing parsed";
    EXPECT_FALSE(FlvMetaParseFromFile(m, dir_.c_str())) << "a folder";
    FlvMetaDeleteObject(m);
}

TEST(Amf0, HostileMetadataIsRefusedWithinItsLimits) {
    const std::string head = std::string("\x02\x00\x0a", 3) + "onMetaData";
    const std::string end("\x00\x00\x09", 3);
    const auto prop = [](const std::string& name, const std::string& value) {
        return std::string(1, '\0') + char(name.size()) + name + value;
    };
    const std::string number = std::string("\x00", 1) + std::string(8, '\x40');
    const auto nested = [&](int depth) {
        std::string v = number;
        for (int i = 0; i < depth; ++i) v = "\x03" + prop("k", v) + end;
        return head + "\x03" + prop("deep", v) + end;
    };
    std::string longString = std::string("\x0c", 1) + std::string("\x00\x10\x00\x01", 4);   // 1 MiB + 1
    longString += std::string(0x100001, 'a');
    struct Case { const char* what; std::string data; bool ok; size_t props; } cases[] = {
        {"ECMA array", head + std::string("\x08\x00\x00\x00\x01", 5) + prop("duration", number) + end, true, 1},
        {"object, no end marker", head + "\x03" + prop("a", number) + prop("b", "\x05"), true, 2},
        {"nesting at the limit", nested(tagio::amf::kMaxDepth - 1), true, 1},
        {"nesting past the limit", nested(tagio::amf::kMaxDepth + 1), false, 0},
        {"long string past the limit", head + "\x03" + prop("s", longString) + end, false, 0},
        {"strict array claiming more than the bytes",
         head + "\x03" + prop("a", std::string("\x0a\xff\xff\xff\xff", 5) + number) + end, false, 0},
        {"string running past the end", head + "\x03" + prop("s", "\x02\x7f\xff" "abc"), false, 0},
        {"number cut short", head + "\x03" + prop("n", std::string("\x00\x01\x02", 3)), false, 0},
        {"not onMetaData", std::string("\x02\x00\x0a", 3) + "onCuePoint" + "\x03" + end, false, 0},
        {"unknown marker", head + "\x03" + prop("x", "\x11\x01") + end, false, 0},
        {"end marker in a value", head + "\x03" + prop("x", "\x09") + end, false, 0},
        {"empty", "", false, 0},
    };
    for (const auto& c : cases) {
        std::vector<tagio::amf::Property> props;
        EXPECT_EQ(tagio::amf::ParseOnMetaData(reinterpret_cast<const uint8_t*>(c.data.data()),
                                              c.data.size(), props),
                  c.ok)
            << c.what;
        if (c.ok) {
            EXPECT_EQ(props.size(), c.props) << c.what;
        }
    }
}

}  // namespace
