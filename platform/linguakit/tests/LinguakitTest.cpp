#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "linguakit/linguakit.h"

namespace fs = std::filesystem;

namespace {

// A scratch language folder, removed with the fixture.
class LanguageFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/linguakit-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (lib_) linguakit_release(lib_);
        fs::remove_all(dir_);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
    }
    void WriteStandardPair() {
        Write("de.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<language name="Deutsch"><unit name="frmMain">
  <item name="btnNew" Caption="Neu" Hint="Neues Projekt"/>
  <item name="str_sequence" Caption="Sequenz"/>
</unit></language>)");
        Write("en.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<language name="English"><unit name="frmMain">
  <item name="btnNew" Caption="New" Hint="New project" FontSize="9"/>
  <item name="str_sequence" Caption="Sequence"/>
</unit><unit name="index"><item name="FontName" Value="Sans"/></unit></language>)");
    }
    std::string Lookup(const char* unit, const char* item, const char* attr) {
        linguakit_unit_handle u = linguakit_lock_lu(lib_, unit);
        if (!u) return "<no unit>";
        linguakit_item_handle i = linguakitu_lock_item(u, item);
        std::string text = "<no item>";
        if (i) {
            const char* value = linguakiti_query_attr(i, attr);
            text = value ? value : "<no attr>";
            linguakitu_unlock_item(i);
        }
        linguakit_unlock_lu(lib_, u);
        return text;
    }

    fs::path dir_;
    linguakit_handle lib_ = nullptr;
};

TEST_F(LanguageFolder, ReadsLanguagesInFileOrderAndLooksUpAttributes) {
    WriteStandardPair();
    lib_ = linguakit_init(dir_.c_str());
    ASSERT_NE(lib_, nullptr);
    ASSERT_EQ(linguakit_get_lang_count(lib_), 2);
    EXPECT_STREQ(linguakit_get_lang_name(lib_, 0), "Deutsch");
    EXPECT_STREQ(linguakit_get_lang_name(lib_, 1), "English");
    EXPECT_EQ(linguakit_get_lang_name(lib_, 2), nullptr);
    EXPECT_EQ(linguakit_get_lang(lib_), 0);

    EXPECT_EQ(Lookup("frmMain", "btnNew", "Caption"), "Neu");
    ASSERT_EQ(linguakit_set_lang(lib_, 1), 1);
    EXPECT_EQ(Lookup("frmMain", "btnNew", "Caption"), "New");
    EXPECT_EQ(Lookup("frmMain", "btnNew", "Hint"), "New project");
    EXPECT_EQ(Lookup("frmMain", "btnNew", "FontSize"), "9");
    EXPECT_EQ(Lookup("index", "FontName", "Value"), "Sans");
    EXPECT_EQ(Lookup("frmMain", "btnNew", "Resource"), "<no attr>");
    EXPECT_EQ(Lookup("frmMain", "btnOpen", "Caption"), "<no item>");
    EXPECT_EQ(Lookup("frmOther", "btnNew", "Caption"), "<no unit>");
    // The German file has no "index" unit: units are per language.
    ASSERT_EQ(linguakit_set_lang(lib_, 0), 1);
    EXPECT_EQ(Lookup("index", "FontName", "Value"), "<no unit>");
}

struct CallLog {
    std::vector<int> indices;
    static void Record(void* context, linguakit_handle, int index) {
        static_cast<CallLog*>(context)->indices.push_back(index);
    }
};

TEST_F(LanguageFolder, LanguageChangeCallsEachRegisteredCallbackOnce) {
    WriteStandardPair();
    lib_ = linguakit_init(dir_.c_str());
    ASSERT_NE(lib_, nullptr);
    CallLog a, b;
    EXPECT_EQ(linguakit_register_callback(lib_, &CallLog::Record, &a), 1);
    EXPECT_EQ(linguakit_register_callback(lib_, &CallLog::Record, &a), 1);  // kept once
    EXPECT_EQ(linguakit_register_callback(lib_, &CallLog::Record, &b), 1);

    EXPECT_EQ(linguakit_set_lang(lib_, 1), 1);
    EXPECT_EQ(linguakit_set_lang(lib_, 7), 0);  // refused: no call, no change
    EXPECT_EQ(linguakit_get_lang(lib_), 1);
    EXPECT_EQ(a.indices, std::vector<int>{1});
    EXPECT_EQ(b.indices, std::vector<int>{1});

    EXPECT_EQ(linguakit_unregister_callback(lib_, &CallLog::Record, &a), 1);
    EXPECT_EQ(linguakit_unregister_callback(lib_, &CallLog::Record, &a), 0);
    EXPECT_EQ(linguakit_set_lang(lib_, 0), 1);
    EXPECT_EQ(a.indices, std::vector<int>{1});
    EXPECT_EQ(b.indices, (std::vector<int>{1, 0}));
}

TEST_F(LanguageFolder, BrokenOrMissingFilesAreRefused) {
    EXPECT_EQ(linguakit_init((dir_ / "missing").c_str()), nullptr);
    EXPECT_EQ(linguakit_init(dir_.c_str()), nullptr);  // empty folder
    EXPECT_EQ(linguakit_init(nullptr), nullptr);
    Write("a.xml", "<language name=\"Broken\"><unit>");
    Write("b.xml", "<other name=\"x\"/>");
    Write("c.xml", "<language/>");  // no name
    EXPECT_EQ(linguakit_init(dir_.c_str()), nullptr);

    // A good file beside the broken ones still loads on its own.
    Write("d.xml", "<language name=\"English\"><unit name=\"u\"><item name=\"k\" Caption=\"v\"/></unit></language>");
    lib_ = linguakit_init(dir_.c_str());
    ASSERT_NE(lib_, nullptr);
    EXPECT_EQ(linguakit_get_lang_count(lib_), 1);
    EXPECT_EQ(Lookup("u", "k", "Caption"), "v");
}

TEST(Linguakit, NullHandlesAreHarmless) {
    EXPECT_EQ(linguakit_get_lang_count(nullptr), 0);
    EXPECT_EQ(linguakit_get_lang(nullptr), -1);
    EXPECT_EQ(linguakit_set_lang(nullptr, 0), 0);
    EXPECT_EQ(linguakit_lock_lu(nullptr, "u"), nullptr);
    EXPECT_EQ(linguakitu_lock_item(nullptr, "i"), nullptr);
    EXPECT_EQ(linguakiti_query_attr(nullptr, "Caption"), nullptr);
    EXPECT_EQ(linguakit_register_callback(nullptr, &CallLog::Record, nullptr), 0);
    linguakit_release(nullptr);
}

}  // namespace
