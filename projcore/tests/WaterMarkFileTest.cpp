// The watermark list in the project file: every field round-trips, broken
// files fail with their codes and leave the list alone, and loaded values
// are made sound.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "TempDir.h"
#include "WaterMarkTestSupport.h"
#include "bus/BaseException.h"
#include "edit/WaterMarkMgr.h"
#include "model/XMLSerialStream.h"

using wmtest::Fixture;

namespace {

void ExpectSameFields(const CWaterMark& a, const CWaterMark& b) {
    EXPECT_EQ(a.imageFile, b.imageFile);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.alpha, b.alpha);
    EXPECT_EQ(a.transparent, b.transparent);
    EXPECT_EQ(a.tolerance, b.tolerance);
    EXPECT_EQ(a.origin, b.origin);
    EXPECT_EQ(a.xOffset, b.xOffset);
    EXPECT_EQ(a.yOffset, b.yOffset);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.startTime, b.startTime);
    EXPECT_EQ(a.endTime, b.endTime);
    EXPECT_EQ(a.fadeIn, b.fadeIn);
    EXPECT_EQ(a.fadeOut, b.fadeOut);
    EXPECT_EQ(a.font, b.font);
    EXPECT_EQ(a.textSize, b.textSize);
    EXPECT_EQ(a.textColor, b.textColor);
    EXPECT_EQ(a.fontStyle, b.fontStyle);
    EXPECT_EQ(a.isStrikeOut, b.isStrikeOut);
    EXPECT_EQ(a.isUnderLine, b.isUnderLine);
    EXPECT_EQ(a.isOrgScale, b.isOrgScale);
}

std::string Saved(CWaterMarkMgr& mgr) {
    CXMLSerialStream out;
    EXPECT_TRUE(mgr.Serial(&out));
    return out.ToText();
}

// Loads the text of a stream into mgr; the code of the failure, or 0.
int LoadInto(CWaterMarkMgr& mgr, const std::string& xml) {
    TempDir dir;
    const std::string path = dir.File("wm.xml");
    WriteFile(path, xml);
    CXMLSerialStream in;
    EXPECT_TRUE(in.LoadFromFile(path.c_str()));
    try {
        mgr.Deserial(&in);
    } catch (const CBaseException& e) {
        return e.Code();
    }
    return 0;
}

// One saved watermark with every value; `change` replaces values, or drops them with "-".
std::string WaterMarkXml(const std::map<std::string, std::string>& change = {}) {
    std::map<std::string, std::string> v = {
        {"WaterMarkType", "1"}, {"Alpha", "200"},       {"Tolerance", "3"},        {"Origin", "4"},
        {"XOffset", "0"},       {"YOffset", "0"},       {"Width", "50"},           {"Height", "20"},
        {"TextSize", "12"},     {"StartTime", "0"},     {"EndTime", "1000"},       {"FontStyle", "0"},
        {"ImageFile", ""},      {"Text", "hello"},      {"Font", "DejaVu Sans"},   {"FadeIn", "0.000000"},
        {"FadeOut", "0.000000"}, {"Transparent", "AP//AA=="}, {"TextColor", "AP//AA=="}, {"IsStrikeOUt", "0"},
        {"IsUnderLine", "0"},   {"IsOrgScale", "0"},
    };
    for (const auto& [k, val] : change) v[k] = val;
    std::string xml = "<WaterMark>";
    for (const auto& [k, val] : v) {
        if (val == "-") continue;  // dropped
        xml += "<" + k + ">" + val + "</" + k + ">";
    }
    return xml + "</WaterMark>";
}

std::string Stream(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><stream>" + body + "</stream>";
}

std::string ListXml(const std::string& items) {
    return Stream("<WaterMarkMgr><WaterMarks>" + items + "</WaterMarks></WaterMarkMgr>");
}

TEST(WaterMarkFile, EveryFieldRoundTrips) {
    CWaterMarkMgr mgr;
    mgr.SetFrameSize(Rect{0, 0, 320, 240});
    mgr.SetTimeRange(0, 9000);
    ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 2, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 2, -12, 34, 0}));
    ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 77, 55, 0, {}}));
    ASSERT_TRUE(mgr.SetTiming(WaterMarkTiming{0, 250, 8750, 1.25f, 0.5f}));
    ASSERT_TRUE(mgr.SetTransparency(WaterMarkTransparency{0, 128, {0xFF, 0x00, 0xFE, 0x00}, 40, {}}));
    ASSERT_TRUE(mgr.AddTextWatermark(1, "Ünïcode text ✓"));
    WaterMarkTextStyle style{};
    style.index = 1;
    std::strcpy(style.font, "DejaVu Serif");
    style.textSize = 17;
    style.textColor[0] = 0x12, style.textColor[1] = 0x34, style.textColor[2] = 0x56;
    style.fontStyle = 2;
    style.isStrikeOut = 1;
    style.isUnderLine = 1;
    ASSERT_TRUE(mgr.SetTextStyle(style));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{1, 6, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{1, 6, 5, -9, 0}));
    ASSERT_TRUE(mgr.SetTiming(WaterMarkTiming{1, 0, 4000, 0.75f, 2.5f}));
    ASSERT_TRUE(mgr.IsModified());

    const std::string xml = Saved(mgr);
    EXPECT_TRUE(mgr.IsModified());  // writing alone does not count as saved
    for (const char* name : {"<WaterMarkMgr>", "<WaterMarks>", "<WaterMark0>", "<WaterMark1>", "<WaterMark>",
                             "<IsStrikeOUt>1</IsStrikeOUt>", "<Origin>2</Origin>", "<XOffset>-12</XOffset>",
                             "<FadeIn>1.250000</FadeIn>", "<TextColor>EjRWAA==</TextColor>"})
        EXPECT_NE(xml.find(name), std::string::npos) << name;

    CWaterMarkMgr loaded;
    loaded.SetFrameSize(Rect{0, 0, 320, 240});
    loaded.SetTimeRange(0, 9000);
    ASSERT_EQ(LoadInto(loaded, xml), 0);
    EXPECT_FALSE(loaded.IsModified());
    ASSERT_EQ(loaded.GetWatermarkCount(), 2u);
    EXPECT_EQ(loaded.GetOverlayCount(), 2);
    for (uint32_t i = 0; i < 2; ++i) {
        CWaterMark a, b;
        ASSERT_TRUE(mgr.GetWaterMark(i, a));
        ASSERT_TRUE(loaded.GetWaterMark(i, b));
        SCOPED_TRACE(i);
        ExpectSameFields(a, b);
    }
    EXPECT_EQ(Saved(loaded), xml);
}

TEST(WaterMarkFile, BrokenFilesFailWithTheirCodeAndKeepTheList) {
    struct Case {
        const char* what;
        std::string xml;
        int code;
    } cases[] = {
        {"no list group", Stream("<Other/>"), 10580003},
        {"no array", Stream("<WaterMarkMgr><Other/></WaterMarkMgr>"), 10580004},
        {"item misnamed", ListXml("<WaterMark0>" + WaterMarkXml() + "</WaterMark0><Item1>" + WaterMarkXml() + "</Item1>"),
         10580004},
        {"no watermark group", ListXml("<WaterMark0><Other/></WaterMark0>"), 10580006},
        {"value missing", ListXml("<WaterMark0>" + WaterMarkXml({{"Alpha", "-"}}) + "</WaterMark0>"), 10580006},
        {"colour of 3 bytes", ListXml("<WaterMark0>" + WaterMarkXml({{"TextColor", "AP//"}}) + "</WaterMark0>"),
         10580006},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaterMarkMgr mgr;
        ASSERT_TRUE(mgr.AddTextWatermark(0, "kept"));
        EXPECT_EQ(LoadInto(mgr, c.xml), c.code);
        ASSERT_EQ(mgr.GetWatermarkCount(), 1u);
        EXPECT_EQ(mgr.GetOverlayCount(), 1);
        CWaterMark m;
        ASSERT_TRUE(mgr.GetWaterMark(0, m));
        EXPECT_EQ(m.text, "kept");
    }
}

TEST(WaterMarkFile, LoadedValuesAreMadeSound) {
    CWaterMarkMgr mgr;
    mgr.SetFrameSize(Rect{0, 0, 320, 240});
    mgr.SetTimeRange(0, 5000);
    mgr.SetNewRange(0, 5000);
    ASSERT_TRUE(mgr.AddTextWatermark(0, "replaced"));
    ASSERT_TRUE(mgr.SelectWatermark(0));
    const std::string items =
        "<WaterMark0>" + WaterMarkXml({{"StartTime", "3000"}, {"EndTime", "2000"}}) + "</WaterMark0>" +
        "<WaterMark1>" + WaterMarkXml({{"Text", ""}, {"EndTime", "60000"}}) + "</WaterMark1>" +
        "<WaterMark2>" + WaterMarkXml({{"Origin", "-1"}, {"XOffset", "-300"}}) + "</WaterMark2>";
    ASSERT_EQ(LoadInto(mgr, ListXml(items)), 0);
    ASSERT_EQ(mgr.GetWatermarkCount(), 3u);
    uint32_t sel = 0;
    EXPECT_FALSE(mgr.Selected(sel));  // the list it named is gone
    CWaterMark m;
    ASSERT_TRUE(mgr.GetWaterMark(0, m));
    EXPECT_EQ(m.startTime, 3000u);
    EXPECT_EQ(m.endTime, 3000u);  // an end before the start moves up to it
    ASSERT_TRUE(mgr.GetWaterMark(1, m));
    EXPECT_EQ(m.text, " ");
    EXPECT_EQ(m.endTime, 5000u);  // within the clip
    ASSERT_TRUE(mgr.GetWaterMark(2, m));
    EXPECT_EQ(m.origin, -1);  // signed, and kept as stored
    EXPECT_EQ(m.xOffset, -300);
    WaterMarkPosition p{2, 0, 0, 0, 0};
    ASSERT_TRUE(mgr.GetPosition(p));
    EXPECT_EQ(p.origin, -1);
    // Outside the grid the watermark stands at the picture's corner.
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(2, info));
    EXPECT_EQ(info.place.left, 0);
    EXPECT_EQ(info.place.top, 0);
    EXPECT_NE(Saved(mgr).find("<Origin>-1</Origin>"), std::string::npos);
}

}  // namespace
