#include <gtest/gtest.h>

#include <cstdio>

#include "CommaLocale.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileNumbers.h"

using namespace profiles;

TEST(ProfileNumbers, ReadsIntegersNumbersAndSizes) {
    EXPECT_EQ(ParseInteger(" 44100 "), 44100);
    EXPECT_EQ(ParseInteger("-1"), -1);
    EXPECT_EQ(ParseInteger("+7"), 7);
    for (const char* bad : {"", "12a", "1.5", "0x10", "99999999999999999999"}) EXPECT_FALSE(ParseInteger(bad)) << bad;

    EXPECT_DOUBLE_EQ(*ParseNumber("29.97"), 29.97);
    EXPECT_DOUBLE_EQ(*ParseNumber("29,97"), 29.97);   // a file written under a comma locale
    EXPECT_DOUBLE_EQ(*ParseNumber("25"), 25.0);
    for (const char* bad : {"", "1,000.5", "1,2,3", "inf", "nan", "2.5fps", "1e999"}) EXPECT_FALSE(ParseNumber(bad)) << bad;

    EXPECT_EQ(FormatNumber(25.0), "25");
    EXPECT_EQ(FormatNumber(29.97), "29.97");
    EXPECT_EQ(FormatNumber(23.976), "23.976");

    const auto s = ParseSize("320x240");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->width, 320);
    EXPECT_EQ(s->height, 240);
    EXPECT_EQ(ParseSize("0x0")->width, 0);
    for (const char* bad : {"320", "x240", "320x", "axb", "320x240x1", "99999999999x1"}) EXPECT_FALSE(ParseSize(bad)) << bad;
}

// Fractional rates written with "." are read, and written back with ".",
// while the process runs under a locale whose separator is ",".
TEST(ProfileNumbers, CommaLocaleReadsAndWritesDots) {
    CommaLocale comma;
    ASSERT_TRUE(comma.Active()) << "could not make the de_DE.UTF-8 locale with localedef "
                                   "(scripts/install-deps.sh installs the \"locales\" package)";
    char check[16];
    std::snprintf(check, sizeof check, "%.1f", 2.5);
    ASSERT_STREQ(check, "2,5") << "the locale is not in effect";

    TXMLNewDataSetType doc;
    ASSERT_TRUE(doc.Parse(R"(<NewDataSet><ExportFormats><ExportCategory>
        <ExportFormat DefFPS="29.97"><SupportedFPSS><SupportedFPS>23.976</SupportedFPS></SupportedFPSS></ExportFormat>
        </ExportCategory></ExportFormats></NewDataSet>)"));
    TXMLExportFormatType f = doc.ExportFormats().Item(0).Item(0);
    EXPECT_DOUBLE_EQ(f.DefFPS(), 29.97);
    EXPECT_DOUBLE_EQ(f.SupportedFPSS().Item(0), 23.976);
    f.SetDefFPS(12.5);
    f.SupportedFPSS().Add(59.94);
    const std::string text = doc.ToText();
    EXPECT_NE(text.find("DefFPS=\"12.5\""), std::string::npos) << text;
    EXPECT_NE(text.find("<SupportedFPS>59.94</SupportedFPS>"), std::string::npos) << text;
}
