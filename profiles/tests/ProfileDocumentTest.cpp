#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "profiles/ProfileDocument.h"

using namespace profiles;
namespace fs = std::filesystem;

namespace {

constexpr const char* kSample = R"(<?xml version="1.0" encoding="UTF-8"?>
<NewDataSet>
  <ExportFormats Language="English">
    <ExportCategory Caption="Custom"/>
    <ExportCategory Caption="AVI">
      <!-- a comment between profiles keeps its place -->
      <ExportFormat FormatID="101" Caption="AVI MPEG-4" FileFormat="avi" FileExt="avi" DefSize="320x240"
                    DefBtr="800" DefBtrTor="2000" DefFPS="25" VideoCodec="13" FourCC="FMP4" AudioCodec="86017"
                    DefSampleRate="44100" DefABtr="128000" DefChannel="2" AudioOnly="0" DAR="4/3">
        <SupportedSizes AllowOrg="1" AllowCustom="1"><SupportedSize>320x240</SupportedSize><SupportedSize>640x480</SupportedSize></SupportedSizes>
        <SupportedFPSS AllowOrg="1" AllowCustom="0"><SupportedFPS>25</SupportedFPS><SupportedFPS>29.97</SupportedFPS></SupportedFPSS>
        <SupportedSampleRates><SupportedSample>22050</SupportedSample><SupportedSample>44100</SupportedSample></SupportedSampleRates>
        <SupportedAudioBitRates><SupportedAudioBitRate>96000</SupportedAudioBitRate><SupportedAudioBitRate>128000</SupportedAudioBitRate></SupportedAudioBitRates>
        <SupportedChannels><SupportedChannel Caption="mono"/><SupportedChannel Caption="stereo"/></SupportedChannels>
      </ExportFormat>
      <ExportFormat FormatID="102" Caption="Second"/>
    </ExportCategory>
  </ExportFormats>
</NewDataSet>
)";

class ProfileDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("profiles-doc-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& text) {
        const fs::path p = dir / name;
        std::ofstream(p) << text;
        return p.string();
    }
    static std::string Read(const fs::path& p) {
        std::ostringstream s;
        s << std::ifstream(p).rdbuf();
        return s.str();
    }
    fs::path dir;
};

TEST_F(ProfileDocumentTest, ReadsEveryAttributeAndList) {
    TXMLNewDataSetType doc;
    ASSERT_TRUE(doc.LoadFile(Write("p.xml", kSample)));
    const TXMLExportFormatsType formats = doc.ExportFormats();
    EXPECT_EQ(formats.Language(), "English");
    ASSERT_EQ(formats.Count(), 2);
    EXPECT_EQ(formats.Item(0).Count(), 0);
    ASSERT_EQ(formats.Item(1).Count(), 2);   // the comment is not a profile
    const TXMLExportFormatType f = formats.Item(1).Item(0);
    EXPECT_EQ(f.FormatID(), 101);
    EXPECT_EQ(f.Caption(), "AVI MPEG-4");
    EXPECT_EQ(f.FileFormat(), "avi");
    EXPECT_EQ(f.DefSize(), "320x240");
    EXPECT_EQ(f.DefBtr(), 800);
    EXPECT_EQ(f.DefBtrTor(), 2000);
    EXPECT_DOUBLE_EQ(f.DefFPS(), 25.0);
    EXPECT_EQ(f.VideoCodec(), 13);
    EXPECT_EQ(f.FourCC(), "FMP4");
    EXPECT_EQ(f.AudioCodec(), 86017);
    EXPECT_EQ(f.DefChannel(), 2);
    EXPECT_EQ(f.DAR(), "4/3");
    EXPECT_EQ(f.SupportedSizes().AllowOrg(), 1);
    EXPECT_EQ(f.SupportedSizes().Item(1), "640x480");
    EXPECT_EQ(f.SupportedFPSS().AllowCustom(), 0);
    EXPECT_DOUBLE_EQ(f.SupportedFPSS().Item(1), 29.97);
    EXPECT_EQ(f.SupportedSampleRates().Item(1), 44100);
    EXPECT_EQ(f.SupportedAudioBitRates().Item(0), 96000);
    EXPECT_EQ(f.SupportedChannels().Item(1).Caption(), "stereo");
    EXPECT_EQ(f.SupportedChannels().Item(1).ChannelCount(), 2);

    // A profile without lists and missing attributes reads as empty, not as garbage.
    const TXMLExportFormatType bare = formats.Item(1).Item(1);
    EXPECT_FALSE(bare.SupportedSizes());
    EXPECT_EQ(bare.SupportedSizes().Count(), 0);
    EXPECT_EQ(bare.AudioCodec(), 0);
    EXPECT_EQ(bare.FileExt(), "");
    EXPECT_FALSE(formats.Item(7));
    EXPECT_FALSE(formats.Item(1).Item(-1));
}

TEST_F(ProfileDocumentTest, UnreadableFilesGiveTheReadersMessageAndAnEmptyDocument) {
    struct Case {
        const char* name;
        const char* text;   // null: the file does not exist
    } cases[] = {{"missing.xml", nullptr}, {"broken.xml", "<NewDataSet><ExportFormats>"}, {"other.xml", "<Project/>"}};
    for (const Case& c : cases) {
        const std::string path = c.text ? Write(c.name, c.text) : (dir / c.name).string();
        TXMLNewDataSetType doc;
        std::string error;
        EXPECT_FALSE(doc.LoadFile(path, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(doc.ExportFormats().Count(), 0) << c.name;
        EXPECT_EQ(doc.Path(), path);
    }
}

TEST_F(ProfileDocumentTest, SaveWritesTheWholeDocumentBackAndKeepsTheOldFileWhenItCannot) {
    const std::string path = Write("p.xml", kSample);
    TXMLNewDataSetType doc;
    ASSERT_TRUE(doc.LoadFile(path));
    TXMLExportFormatType f = doc.ExportFormats().Item(1).Item(0);
    f.SetCaption("Renamed & <quoted>");
    f.SetDefFPS(23.976);
    f.SupportedChannels().Insert(0, "stereo");
    ASSERT_TRUE(doc.Save());

    TXMLNewDataSetType again;
    ASSERT_TRUE(again.LoadFile(path));
    const TXMLExportFormatType g = again.ExportFormats().Item(1).Item(0);
    EXPECT_EQ(g.Caption(), "Renamed & <quoted>");
    EXPECT_DOUBLE_EQ(g.DefFPS(), 23.976);
    EXPECT_EQ(g.SupportedChannels().Count(), 3);
    EXPECT_EQ(g.SupportedSizes().Item(1), "640x480");
    EXPECT_EQ(again.ExportFormats().Item(1).Item(1).Caption(), "Second");
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // A folder that cannot be written: the error is told, nothing else changes.
    const std::string before = Read(path);
    std::string error;
    EXPECT_FALSE(again.SaveAs((dir / "no-such-folder" / "p.xml").string(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(again.Path(), path);
    EXPECT_EQ(Read(path), before);
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 1u);   // no temporary left behind
}

TEST_F(ProfileDocumentTest, DeepCopiesAreIndependentAndListsEditByPosition) {
    TXMLNewDataSetType source, target;
    ASSERT_TRUE(source.Parse(kSample));
    TXMLExportCategoryType own = target.ExportFormats().Add("Custom");
    const TXMLExportFormatType original = source.ExportFormats().Item(1).Item(0);

    TXMLExportFormatType copy = own.AddCopy(original);
    ASSERT_TRUE(copy);
    copy.SetCaption("Mine");
    copy.SupportedSizes().Add("176x144");
    copy.RemoveAudioLists();
    EXPECT_EQ(original.Caption(), "AVI MPEG-4");
    EXPECT_EQ(original.SupportedSizes().Count(), 2);
    EXPECT_EQ(original.SupportedSampleRates().Count(), 2);
    EXPECT_EQ(copy.SupportedSizes().Count(), 3);
    EXPECT_FALSE(copy.SupportedSampleRates());
    EXPECT_EQ(copy.AudioCodec(), 86017);   // attributes came along

    // Copies within one document, put at a position.
    TXMLExportCategoryType avi = source.ExportFormats().Item(1);
    ASSERT_TRUE(avi.InsertCopy(1, original));
    EXPECT_FALSE(avi.InsertCopy(9, original));
    ASSERT_EQ(avi.Count(), 3);
    EXPECT_EQ(avi.Item(1).FormatID(), 101);
    EXPECT_EQ(avi.Item(2).Caption(), "Second");
    EXPECT_TRUE(avi.Remove(0));
    EXPECT_FALSE(avi.Remove(5));
    EXPECT_EQ(avi.Item(0).FormatID(), 101);
    ASSERT_EQ(avi.Count(), 2);

    // Lists: insert at the front, in the middle and at the end; remove.
    TXMLSupportedSampleRatesType rates = avi.Item(1).EnsureSupportedSampleRates();
    rates.Add(8000);
    EXPECT_TRUE(rates.Insert(0, 11025));
    EXPECT_TRUE(rates.Insert(2, 48000));
    EXPECT_FALSE(rates.Insert(4, 1));
    ASSERT_EQ(rates.Count(), 3);
    EXPECT_EQ(rates.Item(0), 11025);
    EXPECT_EQ(rates.Item(1), 8000);
    EXPECT_EQ(rates.Item(2), 48000);
    EXPECT_TRUE(rates.Remove(1));
    EXPECT_EQ(rates.Item(1), 48000);
    const TXMLExportCategoryType inserted = source.ExportFormats().Insert(1, "Between");
    EXPECT_EQ(source.ExportFormats().Item(1).Caption(), "Between");
    EXPECT_EQ(inserted.Count(), 0);
    EXPECT_EQ(source.ExportFormats().Item(2).Caption(), "AVI");
}

TEST(ProfileDocument, NullHandlesReadEmptyAndIgnoreWrites) {
    TXMLExportFormatType none;
    none.SetCaption("x");
    none.SupportedSizes().Add("1x1");
    EXPECT_EQ(none.Caption(), "");
    EXPECT_FALSE(none.EnsureSupportedSizes());
    EXPECT_FALSE(TXMLExportCategoryType().AddCopy(none));
}

}  // namespace
