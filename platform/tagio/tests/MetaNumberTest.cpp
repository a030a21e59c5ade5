// One number read from an onMetaData: found where it is well formed, refused
// (without reading past the data) where it is not.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tagio/tagio.h"

namespace {

void Key(std::vector<uint8_t>& d, const std::string& k) {
    d.push_back(uint8_t(k.size() >> 8));
    d.push_back(uint8_t(k.size()));
    d.insert(d.end(), k.begin(), k.end());
}

void Number(std::vector<uint8_t>& d, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    d.push_back(0x00);
    for (int i = 7; i >= 0; --i) d.push_back(uint8_t(bits >> (8 * i)));
}

std::vector<uint8_t> Name() {
    std::vector<uint8_t> d = {0x02};
    Key(d, "onMetaData");
    return d;
}

}  // namespace

TEST(MetaNumber, ReadsOnlyWellFormedNumbers) {
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        int found;
        double value;
    };
    std::vector<Case> cases;
    {
        auto d = Name();
        d.insert(d.end(), {0x08, 0, 0, 0, 2});
        Key(d, "width");
        Number(d, 160);
        Key(d, "framerate");
        Number(d, 29.97);
        d.insert(d.end(), {0, 0, 0x09});
        cases.push_back({"an ECMA array", d, 1, 29.97});
        d.resize(d.size() - 5);
        cases.push_back({"cut inside the number", d, 0, 0});
    }
    {
        auto d = Name();
        d.push_back(0x02);
        Key(d, "framerate 25");
        cases.push_back({"a string where the array belongs", d, 0, 0});
    }
    {
        auto d = Name();
        d.insert(d.end(), {0x08, 0, 0, 0, 1});
        Key(d, "framerate");
        d.push_back(0x02);
        Key(d, "25");
        d.insert(d.end(), {0, 0, 0x09});
        cases.push_back({"the rate as a string", d, 0, 0});
    }
    {
        auto d = Name();
        d.insert(d.end(), {0x08, 0, 0, 0, 1});
        Key(d, "a");
        for (int i = 0; i < 5000; ++i) {
            d.push_back(0x03);
            Key(d, "b");
        }
        d.push_back(0x05);
        for (int i = 0; i < 5001; ++i) d.insert(d.end(), {0, 0, 0x09});
        cases.push_back({"objects nested 5000 deep", d, 0, 0});
    }
    cases.push_back({"not onMetaData", {0x02, 0, 1, 'x', 0x08, 0, 0, 0, 0, 0, 0, 9}, 0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        double v = 0;
        EXPECT_EQ(Flv_ReadMetaNumber(c.data.data(), uint32_t(c.data.size()), "framerate", &v), c.found);
        if (c.found) {
            EXPECT_DOUBLE_EQ(v, c.value);
        }
    }
}
