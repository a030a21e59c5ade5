#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScriptedHost.h"
#include "edit/ClipEditMessageMgr.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/FLVSequenceManager.h"
#include "model/ImageClip.h"
#include "model/PravexProject.h"
#include "model/TrashResourceManager.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

class ClipEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        project = std::make_unique<CPravexProject>(&host);
        seq = Get<CFLVSequenceManager>(msg::kGetSequenceManager);
        edit = Get<CClipEditMessageMgr>(msg::kGetClipEditManager);
        trash = Get<CTrashResourceManager>(msg::kGetTrashManager);
        const std::string a = Fixture("flv1_mp3_160x120.flv"), b = Fixture("flv1_adpcm_160x120.flv");
        for (const char* name : {"One", "Two"}) {
            const char* paths[] = {a.c_str(), b.c_str()};
            TImportedFiles r{name, -1, paths, 2, name, 0};
            Seq(msg::kSeqImport, reinterpret_cast<intptr_t>(&r));
        }
        host.log.clear();
    }
    void TearDown() override { project.reset(); }

    template <class T>
    T* Get(int32_t id) {
        CBaseListener* l = nullptr;
        project->OnMessage(nullptr, id, reinterpret_cast<intptr_t>(&l), sizeof l);
        return dynamic_cast<T*>(static_cast<CListenerImpl*>(l));
    }
    void Seq(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { DirectSendMessage(static_cast<CListenerImpl*>(seq), id, p1, p2); }
    void Edit(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { DirectSendMessage(static_cast<CListenerImpl*>(edit), id, p1, p2); }
    void Select(int32_t kind, int32_t s, int32_t c) {
        TSeqSelection sel{kind, s, c};
        Seq(msg::kSeqSelect, reinterpret_cast<intptr_t>(&sel), sizeof sel);
    }
    std::vector<int32_t> Ids() { return host.TakeIds(); }
    bool Heard(int32_t id) {
        for (auto& m : host.log)
            if (m.id == id) return true;
        return false;
    }

    ScriptedHost host;
    std::unique_ptr<CPravexProject> project;
    CFLVSequenceManager* seq = nullptr;
    CClipEditMessageMgr* edit = nullptr;
    CTrashResourceManager* trash = nullptr;
};

TEST_F(ClipEditTest, SelectionFollowsTheListAndDetachesTheHost) {
    Select(1, 0, 1);
    auto ids = Ids();
    auto at = [&](int32_t id) { return std::find(ids.begin(), ids.end(), id) - ids.begin(); };
    ASSERT_LT(at(msg::kNotifyEditChanging), static_cast<long>(ids.size()));
    EXPECT_LT(at(msg::kNotifyEditChanging), at(msg::kNotifyPlayerOpened));
    EXPECT_LT(at(msg::kNotifyPlayerOpened), at(msg::kNotifyEditClip));
    CBaseClip* clip = seq->Sequence(0)->Clip(1);
    EXPECT_EQ(edit->SelectedClip(), clip);

    // While selected, the clip's settings reach the host.
    clip->Crop().SetCropMargins(Rect{2, 2, 2, 2});
    EXPECT_TRUE(Heard(msg::kNotifyCropMargins));
    host.log.clear();

    Select(0, 1, -1);  // a sequence
    ids = Ids();
    ASSERT_GE(ids.size(), 2u);
    EXPECT_LT(at(msg::kNotifyEditChanging), at(msg::kNotifyEditNone));
    EXPECT_EQ(edit->SelectedClip(), nullptr);
    clip->Crop().SetCropMargins(Rect{4, 4, 4, 4});
    EXPECT_FALSE(Heard(msg::kNotifyCropMargins));  // detached
}

TEST_F(ClipEditTest, TrimCropAndStepsOnTheSelectedClip) {
    Select(1, 0, 0);
    CBaseClip* clip = seq->Sequence(0)->Clip(0);
    host.log.clear();
    Rect margins{10, 10, 10, 10};
    Edit(msg::kEditCropMargins, reinterpret_cast<intptr_t>(&margins), sizeof margins);  // not in crop editing
    EXPECT_EQ(clip->Crop().GetCropMargins(), (Rect{0, 0, 0, 0}));
    Edit(msg::kPlayerSetMode, 0, 1);
    Edit(msg::kEditCropMargins, reinterpret_cast<intptr_t>(&margins), sizeof margins);
    EXPECT_EQ(clip->Crop().GetCropMargins(), margins);
    Rect size{};
    Edit(msg::kEditGetCroppedSize, reinterpret_cast<intptr_t>(&size), sizeof size);
    EXPECT_EQ(size, (Rect{0, 0, 140, 100}));

    const uint32_t duration = clip->Trim().Duration();
    host.log.clear();
    Edit(msg::kEditTrimEndLater);  // at the duration already: stays, still announced
    EXPECT_EQ(clip->Trim().End(), duration);
    EXPECT_TRUE(Heard(msg::kNotifyTrimEnd));
    Edit(msg::kEditTrimStart, 0, 1000);
    const uint32_t step = CTrimMgr::StepTime(1000, true, clip->GetMediaInfo().frameRate) - 1000;
    Edit(msg::kEditTrimStartLater);
    EXPECT_EQ(clip->Trim().Start(), 1000 + step);
    EditTrim trim{};
    Edit(msg::kEditGetTrim, reinterpret_cast<intptr_t>(&trim), sizeof trim);
    EXPECT_EQ(trim.start, 1000 + step);
    EXPECT_EQ(trim.duration, duration);
}

TEST_F(ClipEditTest, APictureClipStepsAtItsOwnRate) {
    // A picture clip put into the list the way a restore does it.
    auto picture = std::make_unique<CImageClip>();
    picture->SetFilePath(Fixture("still_160x120.png"));
    CBaseClip* raw = picture.get();
    trash->AddClip(std::move(picture));
    TSeqInsertItem insert{raw, 1, 0, -1, nullptr, nullptr};
    Seq(msg::kSeqInsert, reinterpret_cast<intptr_t>(&insert));
    Select(1, 0, 2);
    ASSERT_EQ(edit->SelectedClip(), raw);
    Edit(msg::kEditTrimStartLater);
    EXPECT_EQ(raw->Trim().Start(), 40u);  // 25 frames a second of its own
    Edit(msg::kEditTrimStartEarlier);
    EXPECT_EQ(raw->Trim().Start(), 0u);
    Edit(msg::kEditImageDuration, 0, 8000);
    EXPECT_EQ(raw->Trim().Duration(), 8000u);
}

TEST_F(ClipEditTest, EffectsAndApplyToOthers) {
    Select(1, 0, 0);
    Edit(msg::kEditEffectName, reinterpret_cast<intptr_t>("Purple"));
    Edit(msg::kEditBrightness, 0, 200);
    EditEffects e{};
    Edit(msg::kEditGetEffects, reinterpret_cast<intptr_t>(&e), sizeof e);
    EXPECT_STREQ(e.effectName, "Purple");
    EXPECT_EQ(e.brightness, 200u);

    EditTarget one{1, 1, 1};
    Edit(msg::kEditEffectsTo, reinterpret_cast<intptr_t>(&one), sizeof one);
    EXPECT_EQ(seq->Sequence(1)->Clip(1)->Effects().EffectName(), "Purple");
    EXPECT_EQ(seq->Sequence(1)->Clip(0)->Effects().EffectName(), "");
    EditTarget sequence{0, 1, 0};
    Edit(msg::kEditEffectsTo, reinterpret_cast<intptr_t>(&sequence), sizeof sequence);
    EXPECT_EQ(seq->Sequence(1)->Clip(0)->Effects().EffectName(), "Purple");
    Edit(msg::kEditEffectsToAll);
    EXPECT_EQ(seq->Sequence(0)->Clip(1)->Effects().Brightness(), 200u);
}

// The effect list's thumbnails: a named effect on a picture the shell hands
// in, with no clip selected.
TEST_F(ClipEditTest, RendersANamedEffectOnAPictureHandedIn) {
    std::vector<uint8_t> pixels = {10, 20, 30, 255, 200, 100, 0, 128, 1, 2, 3, 4, 250, 251, 252, 253};
    const std::vector<uint8_t> before = pixels;
    EditEffectPicture r{"InvertColor", pixels.data(), 2, 2, 0};
    Edit(msg::kEditRenderEffect, reinterpret_cast<intptr_t>(&r), sizeof r);
    EXPECT_EQ(r.done, 1);
    for (size_t i = 0; i < pixels.size(); ++i)  // colours negated, alpha kept
        EXPECT_EQ(pixels[i], i % 4 == 3 ? before[i] : 255 - before[i]) << i;

    struct Case {
        const char* name;
        int32_t width, height;
        intptr_t size;
    };
    const Case refused[] = {{"NoSuchEffect", 2, 2, sizeof r}, {"", 2, 2, sizeof r}, {"InvertColor", 0, 2, sizeof r},
                            {"InvertColor", 2, 5000, sizeof r}, {"InvertColor", 2, 2, sizeof r - 4}};
    for (const Case& c : refused) {
        pixels = before;
        EditEffectPicture q{c.name, pixels.data(), c.width, c.height, 7};
        Edit(msg::kEditRenderEffect, reinterpret_cast<intptr_t>(&q), c.size);
        EXPECT_EQ(pixels, before) << c.name << " " << c.width << "x" << c.height;
        EXPECT_EQ(q.done, c.size == sizeof r ? 0 : 7) << c.name;  // a record of another size is not touched
    }
}

TEST_F(ClipEditTest, WatermarksByMessage) {
    Select(1, 0, 0);
    CWaterMarkMgr& w = seq->Sequence(0)->Clip(0)->WaterMarks();
    WaterMarkString text{0, "First"};
    Edit(msg::kWaterMarkAddText, reinterpret_cast<intptr_t>(&text), sizeof text);
    WaterMarkString second{1, "Second"};
    Edit(msg::kWaterMarkAddText, reinterpret_cast<intptr_t>(&second), sizeof second);
    Edit(msg::kWaterMarkAddText, reinterpret_cast<intptr_t>(&second), sizeof second - 1);  // wrong size: ignored
    uint32_t count = 0;
    Edit(msg::kWaterMarkGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
    EXPECT_EQ(count, 2u);
    Edit(msg::kWaterMarkSelect, 0, 1);
    Edit(msg::kWaterMarkMove, 0, 0);
    char buffer[32] = {};
    WaterMarkTextBuffer read{0, buffer, sizeof buffer};
    Edit(msg::kWaterMarkGetText, reinterpret_cast<intptr_t>(&read), sizeof read);
    EXPECT_STREQ(buffer, "Second");
    Edit(msg::kWaterMarkRemove, 1, 0);  // p1 not 0: nothing
    EXPECT_EQ(w.GetWatermarkCount(), 2u);
    Edit(msg::kWaterMarkRemove, 0, 0);
    EXPECT_EQ(w.GetWatermarkCount(), 1u);

    EditTarget sequence{0, 0, 0};
    Edit(msg::kWaterMarkApplyTo, reinterpret_cast<intptr_t>(&sequence), sizeof sequence);
    EXPECT_EQ(seq->Sequence(0)->Clip(1)->WaterMarks().GetWatermarkCount(), 1u);
    EXPECT_EQ(seq->Sequence(1)->Clip(0)->WaterMarks().GetWatermarkCount(), 0u);
    EXPECT_EQ(w.GetWatermarkCount(), 1u);  // the selected clip itself is left alone
}

}  // namespace
