#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "TempDir.h"
#include "model/Base64.h"
#include "model/XMLSerialStream.h"

namespace {

// The text of element `name` as the stream prints it.
std::string ElementText(const CXMLSerialStream& s, const std::string& name) {
    const std::string text = s.ToText();
    const std::string open = "<" + name + ">";
    auto a = text.find(open);
    if (a == std::string::npos) return text.find("<" + name + "/>") != std::string::npos ? "" : "<missing>";
    a += open.size();
    return text.substr(a, text.find("</" + name + ">", a) - a);
}

TEST(SerialStream, EveryValueTypeHasItsTextAndReadsBack) {
    struct Case {
        const char* name;
        std::function<bool(CXMLSerialStream&)> put;
        const char* text;
        std::function<bool(CXMLSerialStream&)> getMatches;
    };
    const Case cases[] = {
        {"Char", [](auto& s) { return s.PutChar("Char", -100); }, "-100",
         [](auto& s) { int8_t v = 0; return s.GetChar("Char", v) && v == -100; }},
        {"UChar", [](auto& s) { return s.PutUChar("UChar", 200); }, "200",
         [](auto& s) { uint8_t v = 0; return s.GetUChar("UChar", v) && v == 200; }},
        {"Short", [](auto& s) { return s.PutShort("Short", -32768); }, "-32768",
         [](auto& s) { int16_t v = 0; return s.GetShort("Short", v) && v == -32768; }},
        {"UShort", [](auto& s) { return s.PutUShort("UShort", 65535); }, "65535",
         [](auto& s) { uint16_t v = 0; return s.GetUShort("UShort", v) && v == 65535; }},
        {"Volume", [](auto& s) { return s.PutInt("Volume", -5); }, "-5",
         [](auto& s) { int32_t v = 0; return s.GetInt("Volume", v) && v == -5; }},
        {"UInt", [](auto& s) { return s.PutUInt("UInt", 4294967295u); }, "4294967295",
         [](auto& s) { uint32_t v = 0; return s.GetUInt("UInt", v) && v == 4294967295u; }},
        {"Int64", [](auto& s) { return s.PutInt64("Int64", INT64_MIN); }, "-9223372036854775808",
         [](auto& s) { int64_t v = 0; return s.GetInt64("Int64", v) && v == INT64_MIN; }},
        {"UInt64", [](auto& s) { return s.PutUInt64("UInt64", 18446744073709551615ull); }, "18446744073709551615",
         [](auto& s) { uint64_t v = 0; return s.GetUInt64("UInt64", v) && v == 18446744073709551615ull; }},
        {"Float", [](auto& s) { return s.PutFloat("Float", 1.5f); }, "1.500000",
         [](auto& s) { float v = 0; return s.GetFloat("Float", v) && v == 1.5f; }},
        {"Double", [](auto& s) { return s.PutDouble("Double", -29.97); }, "-29.970000",
         [](auto& s) { double v = 0; return s.GetDouble("Double", v) && v == -29.97; }},
        {"Text", [](auto& s) { return s.PutString("Text", "a <b> & \"c\" é"); }, "a &lt;b&gt; &amp; \"c\" é",
         [](auto& s) { std::string v; return s.GetString("Text", v) && v == "a <b> & \"c\" é"; }},
        {"Empty", [](auto& s) { return s.PutString("Empty", ""); }, "",
         [](auto& s) { std::string v = "x"; return s.GetString("Empty", v) && v.empty(); }},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXMLSerialStream out;
        ASSERT_TRUE(c.put(out));
        EXPECT_EQ(ElementText(out, c.name), c.text);
        EXPECT_TRUE(c.getMatches(out));  // read straight from the written tree
        ASSERT_TRUE(out.SaveToFile(dir.File("v.xml").c_str()));
        CXMLSerialStream in;
        ASSERT_TRUE(in.LoadFromFile(dir.File("v.xml").c_str()));
        EXPECT_TRUE(c.getMatches(in));  // and from the file
    }
}

TEST(SerialStream, UnsignedSixtyFourBitValuesAboveTwoToTheSixtyThreeReadBack) {
    CXMLSerialStream s;
    s.PutUInt64("Big", 0x8000000000000001ull);
    uint64_t v = 0;
    ASSERT_TRUE(s.GetUInt64("Big", v));
    EXPECT_EQ(v, 0x8000000000000001ull);
}

TEST(SerialStream, Base64FormsAndLengths) {
    struct Case {
        std::string bytes;
        const char* text;
    };
    const Case cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}, {std::string("\xff\x00\xfe", 3), "/wD+"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Encode(c.bytes.data(), c.bytes.size()), c.text);
        const auto back = Base64Decode(c.text);
        EXPECT_EQ(std::string(back.begin(), back.end()), c.bytes);
    }
    // Characters outside the alphabet are skipped.
    const auto spaced = Base64Decode("Zm9v\nYmFy ");
    EXPECT_EQ(std::string(spaced.begin(), spaced.end()), "foobar");
}

TEST(SerialStream, FixedSizeValuesNeedExactlyTheirLength) {
    const int32_t rect[4] = {0, 0, 320, 240};
    CXMLSerialStream s;
    ASSERT_TRUE(s.Put16("Rect", rect));
    const std::string text = ElementText(s, "Rect");
    EXPECT_EQ(text.size(), 24u);
    EXPECT_EQ(text.substr(21), "A==");  // 16 bytes leave one byte for the last group
    int32_t back[4] = {};
    ASSERT_TRUE(s.Get16("Rect", back));
    EXPECT_EQ(std::memcmp(rect, back, sizeof rect), 0);
    uint64_t eight = 0;
    EXPECT_FALSE(s.Get8("Rect", &eight));
    uint32_t colour = 0;
    EXPECT_FALSE(s.Get4("Rect", &colour));

    const uint32_t c = 0x11223344;
    ASSERT_TRUE(s.Put4("Colour", &c));
    uint32_t cb = 0;
    ASSERT_TRUE(s.Get4("Colour", &cb));
    EXPECT_EQ(cb, c);
    EXPECT_FALSE(s.PutBinary("Nothing", &c, 0));
}

TEST(SerialStream, ReadsFindValuesByNameUnderTheReadPosition) {
    CXMLSerialStream s;
    s.BeginGroup("TrimMgr");
    s.PutUInt("End", 900);
    s.PutUInt("Duration", 1000);
    s.EndGroup();
    s.PutUInt("End", 7);  // same name outside the group

    uint32_t v = 0;
    EXPECT_FALSE(s.GetUInt("Duration", v));  // not at the root
    ASSERT_TRUE(s.OpenGroup("TrimMgr"));
    EXPECT_FALSE(s.GetUInt("Start", v));     // missing: fails only itself
    EXPECT_TRUE(s.GetUInt("Duration", v));   // any order
    EXPECT_EQ(v, 1000u);
    EXPECT_TRUE(s.GetUInt("End", v));
    EXPECT_EQ(v, 900u);
    EXPECT_FALSE(s.OpenGroup("Nope"));      // a failed open pushes nothing
    EXPECT_TRUE(s.GetUInt("End", v));
    EXPECT_TRUE(s.CloseGroup());
    EXPECT_TRUE(s.GetUInt("End", v));
    EXPECT_EQ(v, 7u);

    EXPECT_FALSE(s.PutInt("", 1));
    EXPECT_FALSE(s.PutInt(nullptr, 1));
    EXPECT_FALSE(s.GetInt("", reinterpret_cast<int32_t&>(v)));
}

TEST(SerialStream, NumericReadsNeedText) {
    CXMLSerialStream s;
    s.PutString("Blank", "");
    s.PutString("Word", "abc");
    int32_t v = 3;
    EXPECT_FALSE(s.GetInt("Blank", v));
    EXPECT_FALSE(s.GetInt("Word", v));
    EXPECT_EQ(v, 3);
}

TEST(SerialStream, ArraysCountTheirItems) {
    CXMLSerialStream s;
    s.BeginArray("List");
    for (int i = 0; i < 3; ++i) {
        s.BeginArrayItem(("ArrNo" + std::to_string(i)).c_str());
        s.PutInt("Value", i * 10);
        s.EndArrayItem();
    }
    s.EndArray();
    uint32_t count = 0;
    ASSERT_TRUE(s.OpenArray("List", count));
    EXPECT_EQ(count, 3u);
    ASSERT_TRUE(s.OpenArrayItem("ArrNo2"));
    int32_t v = 0;
    EXPECT_TRUE(s.GetInt("Value", v));
    EXPECT_EQ(v, 20);
    EXPECT_TRUE(s.CloseArrayItem());
    EXPECT_FALSE(s.OpenArrayItem("ArrNo3"));
    EXPECT_TRUE(s.CloseArray());
}

TEST(SerialStream, EndingTheRootRefusesEveryLaterWrite) {
    CXMLSerialStream s;
    EXPECT_TRUE(s.EndGroup());
    EXPECT_FALSE(s.EndGroup());
    EXPECT_FALSE(s.PutInt("A", 1));
    EXPECT_FALSE(s.BeginGroup("G"));
}

TEST(SerialStream, FilesLoadOnlyWithAStreamRoot) {
    TempDir dir;
    struct Case {
        const char* name;
        const char* content;
        bool loads;
    };
    const Case cases[] = {
        {"good.xml", "<?xml version=\"1.0\"?><stream><A>1</A></stream>", true},
        {"other-root.xml", "<?xml version=\"1.0\"?><project><A>1</A></project>", false},
        {"not-xml.xml", "this is not xml <<<", false},
        {"empty.xml", "", false},
        {"unclosed.xml", "<stream><A>1</A>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.File(c.name), c.content);
        CXMLSerialStream s;
        s.PutInt("Before", 5);
        EXPECT_EQ(s.LoadFromFile(dir.File(c.name).c_str()), c.loads);
        int32_t v = 0;
        if (c.loads) {
            EXPECT_TRUE(s.GetInt("A", v));
        } else {
            EXPECT_TRUE(s.GetInt("Before", v));  // a refused file leaves the stream as it was
        }
    }
    CXMLSerialStream s;
    EXPECT_FALSE(s.LoadFromFile(dir.File("missing.xml").c_str()));
    EXPECT_FALSE(s.LoadFromFile(""));
    EXPECT_FALSE(s.LoadFromFile(nullptr));
}

TEST(SerialStream, NonAsciiPathsReachTheFileSystemAsWritten) {
    TempDir dir;
    const std::string path = dir.File("Проект ü 工程.pvxp");
    CXMLSerialStream out;
    out.PutString("Name", "ü");
    ASSERT_TRUE(out.SaveToFile(path.c_str()));
    EXPECT_FALSE(ReadFile(path).empty());
    CXMLSerialStream in;
    ASSERT_TRUE(in.LoadFromFile(path.c_str()));
    std::string name;
    EXPECT_TRUE(in.GetString("Name", name));
    EXPECT_EQ(name, "ü");
}

TEST(SerialStream, AFailedSaveLeavesTheOldFileAndNoTemporaryBehind) {
    TempDir dir;
    const std::string target = dir.File("p.pvxp");
    WriteFile(target, "old contents");
    CXMLSerialStream s;
    s.PutString("A", "new");
    // A folder that does not exist cannot take the temporary file.
    EXPECT_FALSE(s.SaveToFile(dir.File("no/such/folder/p.pvxp").c_str()));
    // A target that is a folder cannot be replaced by a file.
    EXPECT_FALSE(s.SaveToFile(dir.Path().c_str()));
    EXPECT_EQ(ReadFile(target), "old contents");
    ASSERT_TRUE(s.SaveToFile(target.c_str()));
    EXPECT_NE(ReadFile(target).find("<A>new</A>"), std::string::npos);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
