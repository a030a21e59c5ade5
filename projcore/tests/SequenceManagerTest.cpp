#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ScriptedHost.h"
#include "TempDir.h"
#include "bus/ProjectMgr.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/FLVSequenceManager.h"
#include "model/ImageClip.h"
#include "model/ImportedResourceManager.h"
#include "model/PravexProject.h"
#include "model/TrashResourceManager.h"
#include "model/XMLSerialStream.h"
#include "render/FLVCache.h"
#include "bus/BaseException.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

// A project with its managers wired, and the host hearing everything.
class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        project = std::make_unique<CPravexProject>(&host);
        seq = Listener<CFLVSequenceManager>(msg::kGetSequenceManager);
        trash = Listener<CTrashResourceManager>(msg::kGetTrashManager);
        imported = Listener<CImportedResourceManager>(msg::kGetImportedManager);
    }

    template <class T>
    T* Listener(int32_t id) {
        CBaseListener* l = nullptr;
        project->OnMessage(nullptr, id, reinterpret_cast<intptr_t>(&l), sizeof l);
        return dynamic_cast<T*>(static_cast<CListenerImpl*>(l));
    }
    void Send(CBaseListener* to, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) {
        DirectSendMessage(to, id, p1, p2);
    }
    CBaseListener* SeqL() { return static_cast<CListenerImpl*>(seq); }

    // Imports the paths as one new sequence.
    void Import(std::vector<std::string> files, const char* name = "Seq", int32_t at = -1) {
        std::vector<const char*> paths;
        for (auto& f : files) paths.push_back(f.c_str());
        TImportedFiles r{name, at, paths.data(), static_cast<int32_t>(paths.size()), name, 0};
        Send(SeqL(), msg::kSeqImport, reinterpret_cast<intptr_t>(&r), sizeof r);
    }
    std::vector<int32_t> Ids() {
        auto ids = host.Ids();
        host.log.clear();
        return ids;
    }
    int Count(int32_t id) {
        int n = 0;
        for (auto& m : host.log) n += m.id == id;
        return n;
    }
    std::string Names() {
        std::string s;
        for (size_t i = 0; i < seq->SequenceCount(); ++i) s += seq->Sequence(i)->SeqName() + ",";
        return s;
    }

    ScriptedHost host;
    std::unique_ptr<CPravexProject> project;
    CFLVSequenceManager* seq = nullptr;
    CTrashResourceManager* trash = nullptr;
    CImportedResourceManager* imported = nullptr;
    const std::string a = Fixture("flv1_mp3_160x120.flv");
    const std::string b = Fixture("flv1_adpcm_160x120.flv");
    const std::string c = Fixture("flv1_pcm16_160x120.flv");
};

TEST_F(SequenceTest, ImportTakesFlvFilesWithProgressAndReportsRefusals) {
    TempDir dir;
    const std::string upper = dir.File("UPPER.FLV");
    std::filesystem::copy_file(a, upper);
    Import({a, upper, Fixture("still_160x120.jpg")});
    EXPECT_EQ(Count(msg::kNotifySeqImportProgress), 6);
    EXPECT_EQ(Count(msg::kNotifySeqAddFailed), 0);
    ASSERT_EQ(Count(msg::kNotifySeqImported), 1);
    ASSERT_EQ(seq->SequenceCount(), 1u);
    EXPECT_EQ(seq->Sequence(0)->GetClipCount(), 3u);  // the picture is a clip too
    EXPECT_EQ(imported->Count(), 3u);  // the imported list heard it
    EXPECT_EQ(seq->Sequence(0)->Clip(0)->FileName(), "flv1_mp3_160x120.flv");
    EXPECT_FALSE(seq->Sequence(0)->Clip(2)->IsFlv());
    host.log.clear();

    Import({b});
    EXPECT_EQ(Count(msg::kNotifySeqImportProgress), 0);  // one file: no progress
    EXPECT_EQ(seq->SequenceCount(), 2u);
    host.log.clear();

    Import({Fixture("bad_signature.flv"), Fixture("bad_empty.flv"), Fixture("flv1_alaw_160x120.flv")});
    EXPECT_EQ(Count(msg::kNotifySeqAddFailed), 3);
    EXPECT_EQ(Count(msg::kNotifySeqImported), 0);
    EXPECT_EQ(seq->SequenceCount(), 2u);
}

TEST_F(SequenceTest, ImportCancelledBeforeAFileLeavesTheListAlone) {
    struct Canceller : CBaseListener {
        void OnMessage(void*, int32_t id, intptr_t p1, intptr_t) override {
            if (id == msg::kNotifySeqImportProgress) {
                auto& p = *reinterpret_cast<TImportProgress*>(p1);
                if (p.index == 1) p.continueImport = 0;
            }
        }
    } canceller;
    seq->AddListener(&canceller);
    Import({a, b, c});
    EXPECT_EQ(seq->SequenceCount(), 0u);
    seq->RemoveListener(&canceller);
}

TEST_F(SequenceTest, AddedFilesGoToTheirPosition) {
    Import({a, b, c});
    std::vector<const char*> paths{a.c_str(), c.c_str()};
    TAddFilesToSeq at3{0, 3, paths.data(), 2};
    Send(SeqL(), msg::kSeqAddFiles, reinterpret_cast<intptr_t>(&at3));
    CFLVSequence* s = seq->Sequence(0);
    ASSERT_EQ(s->GetClipCount(), 5u);
    EXPECT_EQ(s->Clip(3)->FilePath(), c);  // same position for each: reverse order
    EXPECT_EQ(s->Clip(4)->FilePath(), a);
    TAddFilesToSeq append{0, -1, paths.data(), 2};
    Send(SeqL(), msg::kSeqAddFiles, reinterpret_cast<intptr_t>(&append));
    EXPECT_EQ(s->Clip(5)->FilePath(), a);
    EXPECT_EQ(s->Clip(6)->FilePath(), c);
}

TEST_F(SequenceTest, DeletingTheSelectedClipSendsItToTheTrash) {
    Import({a, b, c});
    TSeqSelection sel{1, 0, 1};
    Send(SeqL(), msg::kSeqSelect, reinterpret_cast<intptr_t>(&sel), sizeof sel);
    host.log.clear();
    CBaseClip* clip = seq->Sequence(0)->Clip(1);
    TSeqItem item{nullptr, 1, 0, 1};
    Send(SeqL(), msg::kSeqRemoveToTrash, reinterpret_cast<intptr_t>(&item));
    const auto ids = host.Ids();
    const auto trashed = std::find(ids.begin(), ids.end(), msg::kNotifySeqTrashed);
    const auto deselected = std::find(ids.begin(), ids.end(), msg::kNotifySeqDeselected);
    ASSERT_NE(trashed, ids.end());
    ASSERT_NE(deselected, ids.end());
    EXPECT_LT(trashed, deselected);
    EXPECT_EQ(seq->Selection().sequence, -1);
    ASSERT_EQ(trash->Count(), 1u);
    EXPECT_EQ(trash->Info(0).object, clip);
    EXPECT_EQ(trash->Info(0).type, 2);

    // Restoring: the shell puts the object back, then takes the entry out.
    TSeqInsertItem back{clip, 1, 0, 0, nullptr, nullptr};
    Send(SeqL(), msg::kSeqInsert, reinterpret_cast<intptr_t>(&back));
    EXPECT_EQ(seq->Sequence(0)->Clip(0), clip);
    Send(static_cast<CListenerImpl*>(trash), msg::kResRestore, 0, 0);
    EXPECT_EQ(trash->Count(), 0u);
    EXPECT_EQ(seq->Sequence(0)->Clip(0), clip);  // alive and in the list

    // A pointer the trash does not hold is never adopted.
    TSeqInsertItem bogus{reinterpret_cast<void*>(0x1234), 1, 0, 0, nullptr, nullptr};
    Send(SeqL(), msg::kSeqInsert, reinterpret_cast<intptr_t>(&bogus));
    EXPECT_EQ(seq->Sequence(0)->GetClipCount(), 3u);
}

TEST_F(SequenceTest, DeleteListTakesEntriesFromTheLastAndDropsEmptiedSequences) {
    Import({a, b, c}, "One");
    Import({a}, "Two");
    CBaseClip* second = seq->Sequence(0)->Clip(1);
    CBaseClip* third = seq->Sequence(0)->Clip(2);
    TSeqClipArr entries[] = {{0, 2}, {0, 1}, {1, 0}};
    host.log.clear();
    Send(SeqL(), msg::kSeqDeleteList, reinterpret_cast<intptr_t>(entries), 3);
    EXPECT_EQ(seq->SequenceCount(), 1u);
    EXPECT_EQ(seq->Sequence(0)->GetClipCount(), 1u);
    ASSERT_EQ(trash->Count(), 3u);
    EXPECT_EQ(trash->Info(1).object, third);   // (0, 2) went before (0, 1)
    EXPECT_EQ(trash->Info(2).object, second);
    EXPECT_EQ(Count(msg::kNotifySeqRemoved), 1);  // sequence "Two", emptied
}

TEST_F(SequenceTest, SortByNameAndLength) {
    Import({a}, "b");
    Import({a, b}, "A");
    Import({c}, "B");
    TSeqSort byName{0, 0, {}};
    Send(SeqL(), msg::kSeqSort, reinterpret_cast<intptr_t>(&byName));
    EXPECT_EQ(Names(), "A,B,b,");
    byName.flag = 1;
    Send(SeqL(), msg::kSeqSort, reinterpret_cast<intptr_t>(&byName));
    EXPECT_EQ(Names(), "b,B,A,");
    TSeqSort byLength{1, 1, {}};
    Send(SeqL(), msg::kSeqSort, reinterpret_cast<intptr_t>(&byLength));
    EXPECT_EQ(Names(), "B,b,A,");  // 2 s, 3 s, 6 s
    byLength.flag = 0;
    Send(SeqL(), msg::kSeqSort, reinterpret_cast<intptr_t>(&byLength));
    EXPECT_EQ(Names(), "A,b,B,");
    // By destination name: give them destinations in another order than their names.
    const char* destinations[] = {"z", "m", "a"};
    for (int32_t i = 0; i < 3; ++i) {
        TSeqProperty dest{i, CFLVSequence::kDestinationName, destinations[i]};
        Send(SeqL(), msg::kSeqSetProperty, reinterpret_cast<intptr_t>(&dest));
    }
    host.log.clear();
    TSeqSort byDestination{2, 0, {}};
    Send(SeqL(), msg::kSeqSort, reinterpret_cast<intptr_t>(&byDestination));
    EXPECT_EQ(Names(), "B,b,A,");
    ASSERT_FALSE(host.log.empty());  // sorted first, then the selection (none) and what follows it
    EXPECT_EQ(host.log[0].id, msg::kNotifySeqSorted);
    byDestination.flag = 1;
    Send(SeqL(), msg::kSeqSort, reinterpret_cast<intptr_t>(&byDestination));
    EXPECT_EQ(Names(), "A,b,B,");
}

TEST_F(SequenceTest, MovingASequenceBeforeAnother) {
    for (const char* n : {"0", "1", "2", "3"}) Import({a}, n);
    host.log.clear();
    int32_t indices[] = {3};
    TSeqMove move{1, indices, 1, -1};
    Send(SeqL(), msg::kSeqMove, reinterpret_cast<intptr_t>(&move));
    EXPECT_EQ(Names(), "0,3,1,2,");
    ASSERT_GE(host.log.size(), 3u);
    EXPECT_EQ(host.log[0].id, msg::kNotifySeqInserted);
    EXPECT_EQ(host.log[2].id, msg::kNotifySeqRemoved);
}

TEST_F(SequenceTest, MergeMovesClipsIntoANewSequence) {
    Import({a, b}, "One");
    Import({c}, "Two");
    CBaseClip* x = seq->Sequence(0)->Clip(1);
    CBaseClip* y = seq->Sequence(1)->Clip(0);
    TSeqClipArr items[] = {{1, 0}, {0, 1}};
    TSeqMerge merge{0, items, 2, "Merged", "merged"};
    Send(SeqL(), msg::kSeqMerge, reinterpret_cast<intptr_t>(&merge));
    EXPECT_EQ(Names(), "One,Merged,");  // "Two" emptied and gone
    CFLVSequence* m = seq->Sequence(1);
    ASSERT_EQ(m->GetClipCount(), 2u);
    EXPECT_EQ(m->Clip(0), y);
    EXPECT_EQ(m->Clip(1), x);

    TSeqMerge copy{1, items, 1, "Copy", "copy"};
    TSeqClipArr first[] = {{1, 0}};
    copy.items = first;
    Send(SeqL(), msg::kSeqMerge, reinterpret_cast<intptr_t>(&copy));
    ASSERT_EQ(seq->SequenceCount(), 3u);
    EXPECT_NE(seq->Sequence(2)->Clip(0), y);
    EXPECT_EQ(seq->Sequence(2)->Clip(0)->FilePath(), y->FilePath());
}

TEST_F(SequenceTest, PropertiesAndQueries) {
    Import({a, b});
    TSeqProperty set{0, 3, "Title"};
    Send(SeqL(), msg::kSeqSetProperty, reinterpret_cast<intptr_t>(&set));
    TSeqProperty get{0, 3, nullptr};
    Send(SeqL(), msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&get), sizeof get);
    ASSERT_NE(get.text, nullptr);
    EXPECT_STREQ(get.text, "Title");
    int32_t v = 0;
    Send(SeqL(), msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&v));
    EXPECT_EQ(v, 2);
    MediaFileInfo info{};
    TSeqClipQuery q{0, 1, reinterpret_cast<intptr_t>(&info)};
    Send(SeqL(), msg::kSeqGetMediaInfo, reinterpret_cast<intptr_t>(&q), sizeof q);
    EXPECT_EQ(info.audioFormat, 1);
    v = 0;
    Send(SeqL(), msg::kSeqGetPlayLength, reinterpret_cast<intptr_t>(&v));
    EXPECT_GT(v, 6000);
}

TEST_F(SequenceTest, TheWholeTreeSurvivesSaveAndLoad) {
    Import({a, b}, "One");
    Import({c}, "Two");
    seq->Sequence(0)->Clip(0)->SetFileName("renamed");
    TSeqItem item{nullptr, 0, 1, -1};
    Send(SeqL(), msg::kSeqRemoveToTrash, reinterpret_cast<intptr_t>(&item));
    TSeqItem clip{nullptr, 1, 0, 1};
    Send(SeqL(), msg::kSeqRemoveToTrash, reinterpret_cast<intptr_t>(&clip));
    ASSERT_EQ(trash->Count(), 2u);
    EXPECT_EQ(trash->ClipCount(), 2u);

    CXMLSerialStream out;
    project->Serial(&out);
    const std::string text = out.ToText();
    TempDir dir;
    WriteFile(dir.File("p.pvxp"), text);
    ScriptedHost other;
    CPravexProject loaded(dir.File("p.pvxp").c_str(), &other);
    CXMLSerialStream again;
    loaded.Serial(&again);
    EXPECT_EQ(again.ToText(), text);
    // Load progress: one "starts" and one "loaded" per clip, then the final message.
    int starts = 0, loadedCount = 0;
    for (auto& m : other.log) {
        if (m.id != msg::kNotifyLoadProgress) continue;
        starts += m.progress.state == 0;
        loadedCount += m.progress.state == 1 && !m.text.empty();
    }
    EXPECT_EQ(starts, 3);
    EXPECT_EQ(loadedCount, 3);
}

TEST_F(SequenceTest, ClipsWhoseFilesAreGoneAreLeftOutOnLoad) {
    TempDir dir;
    const std::string gone = dir.File("gone.flv");
    std::filesystem::copy_file(a, gone);
    Import({gone, b}, "One");
    Import({gone}, "Two");
    CXMLSerialStream out;
    project->Serial(&out);
    std::filesystem::remove(gone);
    WriteFile(dir.File("p.pvxp"), out.ToText());
    ScriptedHost other;
    CPravexProject loaded(dir.File("p.pvxp").c_str(), &other);
    CBaseListener* l = nullptr;
    loaded.OnMessage(nullptr, msg::kGetSequenceManager, reinterpret_cast<intptr_t>(&l), sizeof l);
    auto* s = dynamic_cast<CFLVSequenceManager*>(static_cast<CListenerImpl*>(l));
    ASSERT_EQ(s->SequenceCount(), 1u);  // "Two" had no loadable clip
    EXPECT_EQ(s->Sequence(0)->GetClipCount(), 1u);
    int failed = 0;
    for (auto& m : other.log) failed += m.id == msg::kNotifyLoadProgress && m.progress.state == 2;
    EXPECT_EQ(failed, 2);
}

}  // namespace

namespace {

// Every setting of a clip away from its default.
void Decorate(CBaseClip& clip, int n) {
    clip.Trim().SetEnd(2000 + n * 10);
    clip.Trim().SetStart(100 + n);
    clip.Crop().SetCropMargins(Rect{2 + n, 4, 6, 8});
    clip.Effects().SetEffectName("Emboss");
    clip.Effects().SetFlip(2);
    clip.Effects().SetVolume(150 + n);
    clip.Effects().SetBrightness(100);
    CWaterMarkMgr& w = clip.WaterMarks();
    const std::string picture = Fixture("still_64x48.bmp");
    w.AddImageWatermark(0, picture.c_str());
    w.AddImageWatermark(1, picture.c_str());
    w.AddTextWatermark(2, "Hello ü");
    w.AddTextWatermark(3, "Second");
    WaterMarkTiming timing{2, 500, 1500, 0.5f, 0.25f};
    w.SetTiming(timing);
    WaterMarkPosition position{1, 8, -10, -12, 0};
    w.SetPosition(position);
}

TEST_F(SequenceTest, EverySettingSurvivesSaveLoadSave) {
    Import({a, b, c}, "One");
    Import({c, b, a}, "Two");
    Import({a}, "Three");
    int n = 0;
    for (size_t s = 0; s < seq->SequenceCount(); ++s)
        for (size_t i = 0; i < seq->Sequence(s)->GetClipCount(); ++i) Decorate(*seq->Sequence(s)->Clip(i), n++);
    TSeqProperty title{0, 3, "A title & <more>"};
    Send(SeqL(), msg::kSeqSetProperty, reinterpret_cast<intptr_t>(&title));
    TSeqItem toTrash{nullptr, 0, 2, -1};
    Send(SeqL(), msg::kSeqRemoveToTrash, reinterpret_cast<intptr_t>(&toTrash));
    TSeqItem clipToTrash{nullptr, 1, 1, 2};
    Send(SeqL(), msg::kSeqRemoveToTrash, reinterpret_cast<intptr_t>(&clipToTrash));
    EXPECT_EQ(trash->ClipCount(), 2u);
    EXPECT_EQ(imported->Count(), 3u);

    CXMLSerialStream out;
    project->Serial(&out);
    const std::string text = out.ToText();
    EXPECT_NE(text.find("<EffectName>Emboss</EffectName>"), std::string::npos);
    EXPECT_NE(text.find("<Text>Hello ü</Text>"), std::string::npos);
    TempDir dir;
    WriteFile(dir.File("p.pvxp"), text);
    ScriptedHost other;
    CPravexProject loaded(dir.File("p.pvxp").c_str(), &other);
    EXPECT_FALSE(loaded.IsModified());
    CXMLSerialStream again;
    loaded.Serial(&again);
    EXPECT_EQ(again.ToText(), text);
}

TEST_F(SequenceTest, TrashRemoveClearAndRenumber) {
    Import({a, b, c});
    for (int i = 0; i < 3; ++i) {
        TSeqItem item{nullptr, 1, 0, 0};
        Send(SeqL(), msg::kSeqRemoveToTrash, reinterpret_cast<intptr_t>(&item));
    }
    EXPECT_EQ(seq->SequenceCount(), 1u);  // an emptied sequence stays until a delete list drops it
    ASSERT_EQ(trash->Count(), 3u);
    CBaseListener* t = static_cast<CListenerImpl*>(trash);
    Send(t, msg::kResRestore, 0, 1);  // nobody took the object: nothing happens
    EXPECT_EQ(trash->Count(), 3u);
    Send(t, msg::kResRemove, 0, 0);
    ASSERT_EQ(trash->Count(), 2u);
    EXPECT_EQ(trash->Info(0).index, 0u);
    EXPECT_EQ(trash->Info(1).index, 1u);
    host.log.clear();
    Send(t, msg::kResList);
    EXPECT_EQ(host.Ids(), (std::vector<int32_t>{msg::kNotifyResListStart, msg::kNotifyResEntry,
                                                msg::kNotifyResEntry, msg::kNotifyResListEnd}));
    EXPECT_EQ(host.log.front().p2, 1);  // the trash's listing
    host.log.clear();
    Send(t, msg::kResClear);
    EXPECT_EQ(trash->Count(), 0u);
    EXPECT_EQ(host.Ids(), std::vector<int32_t>{msg::kNotifyResClearing});
    host.log.clear();
    Send(t, msg::kResClear);  // an empty trash: nothing
    EXPECT_TRUE(host.log.empty());
}

TEST_F(SequenceTest, ExchangeRemoveAllAndMoves) {
    Import({a, b}, "One");
    Import({c}, "Two");
    CBaseClip* b1 = seq->Sequence(0)->Clip(1);
    CBaseClip* c0 = seq->Sequence(1)->Clip(0);
    TSeqExchange across{1, 0, 1, 1, 0};
    Send(SeqL(), msg::kSeqExchange, reinterpret_cast<intptr_t>(&across));
    EXPECT_EQ(seq->Sequence(0)->Clip(1), c0);
    EXPECT_EQ(seq->Sequence(1)->Clip(0), b1);
    TSeqExchange sequences{0, 0, 0, 1, 0};
    Send(SeqL(), msg::kSeqExchange, reinterpret_cast<intptr_t>(&sequences));
    EXPECT_EQ(Names(), "Two,One,");

    // Move a clip up (before the one above it) and down again.
    CFLVSequence* one = seq->Sequence(1);
    CBaseClip* first = one->Clip(0);
    int32_t down[] = {0};
    TSeqMove moveDown{2, down, 1, 1};
    Send(SeqL(), msg::kSeqMove, reinterpret_cast<intptr_t>(&moveDown));
    EXPECT_EQ(one->Clip(1), first);
    int32_t up[] = {1};
    TSeqMove moveUp{0, up, 1, 1};
    Send(SeqL(), msg::kSeqMove, reinterpret_cast<intptr_t>(&moveUp));
    EXPECT_EQ(one->Clip(0), first);

    host.log.clear();
    Send(SeqL(), msg::kSeqRemoveAll);
    EXPECT_EQ(seq->SequenceCount(), 0u);
    EXPECT_EQ(trash->Count(), 2u);
    EXPECT_EQ(Count(msg::kNotifySeqRemovedAll), 2);
    EXPECT_EQ(Count(msg::kNotifySeqAllRemoved), 1);
}

TEST_F(SequenceTest, ImportTakesExtensionlessFlvFilesByTheirSignature) {
    TempDir dir;
    const std::string cached = dir.File("5F3A9C01");
    const std::string text = dir.File("notes");
    std::filesystem::copy_file(a, cached);
    WriteFile(text, "not a video");
    Import({cached, text});
    ASSERT_EQ(seq->SequenceCount(), 1u);
    EXPECT_EQ(seq->Sequence(0)->GetClipCount(), 1u);
    EXPECT_EQ(Count(msg::kNotifySeqAddFailed), 1);  // the text file, named to the host
}

// Pictures become picture clips by their names; a still one lasts the
// import's picture length, an animation its own; what cannot be used is
// refused with a reason for the host to show.
TEST_F(SequenceTest, PicturesBecomeClipsAndTheRestIsRefusedWithItsReason) {
    struct Refusals : CBaseListener {
        std::vector<std::pair<std::string, int32_t>> seen;
        void OnMessage(void*, int32_t id, intptr_t p1, intptr_t) override {
            if (id != msg::kNotifySeqAddFailed) return;
            const auto& f = *reinterpret_cast<const TAddFailure*>(p1);
            seen.emplace_back(f.paths[0], f.codes[0]);
        }
    } refusals;
    seq->AddListener(&refusals);
    TempDir dir;
    const std::string notPicture = dir.File("notes.png"), text = dir.File("notes.txt");
    WriteFile(notPicture, "not a picture");
    WriteFile(text, "not a video");
    const std::vector<std::string> files{a, Fixture("still_160x120.png"), Fixture("anim_64x48_5x100ms.gif"),
                                         Fixture("still_64x48.bmp"), notPicture, text};
    std::vector<const char*> paths;
    for (auto& f : files) paths.push_back(f.c_str());
    TImportedFiles r{"Seq", -1, paths.data(), static_cast<int32_t>(paths.size()), "Seq", 3000};
    Send(SeqL(), msg::kSeqImport, reinterpret_cast<intptr_t>(&r), sizeof r);
    seq->RemoveListener(&refusals);

    ASSERT_EQ(seq->SequenceCount(), 1u);
    CFLVSequence* s = seq->Sequence(0);
    ASSERT_EQ(s->GetClipCount(), 4u);
    EXPECT_EQ(s->Clip(1)->GetPlayLength(), 3000u);  // still: the import's length
    EXPECT_EQ(s->Clip(2)->GetPlayLength(), 500u);   // animation: five frames of 100 ms
    EXPECT_EQ(s->Clip(3)->GetPlayLength(), 3000u);
    EXPECT_EQ(s->GetPlayLength(), s->Clip(0)->GetPlayLength() + 6500u);
    ASSERT_EQ(refusals.seen.size(), 2u);
    EXPECT_EQ(refusals.seen[0], (std::pair<std::string, int32_t>{notPicture, errcode::kExamineMedia}));
    EXPECT_EQ(refusals.seen[1], (std::pair<std::string, int32_t>{text, CFLVCache::kCannotOpen}));

    // Added to a sequence, a still picture takes the clip's own default length.
    std::vector<const char*> more{paths[1]};
    TAddFilesToSeq add{0, -1, more.data(), 1};
    Send(SeqL(), msg::kSeqAddFiles, reinterpret_cast<intptr_t>(&add));
    ASSERT_EQ(s->GetClipCount(), 5u);
    EXPECT_EQ(s->Clip(4)->GetPlayLength(), CImageClip::kDefaultTime);
}

TEST_F(SequenceTest, APictureClipsSettingsCountAsChanges) {
    CImageClip clip;
    clip.SetFilePath(Fixture("still_160x120.png"));
    clip.MarkSaved();
    EXPECT_FALSE(clip.IsModified());
    clip.Effects().SetBrightness(10);
    EXPECT_TRUE(clip.IsModified());
    EXPECT_EQ(clip.Trim().Duration(), 5000u);
    clip.SetImageTime(8000);
    auto clone = clip.Clone();
    EXPECT_EQ(static_cast<CImageClip&>(*clone).Time(), 8000u);
    EXPECT_EQ(clone->Trim().Duration(), 8000u);
}

TEST_F(SequenceTest, AClonesTrimAndCropMatchTheSource) {
    Import({Fixture("flv1_mp3_640x360.flv")});
    CBaseClip& source = *seq->Sequence(0)->Clip(0);
    source.Trim().SetEnd(1500);
    source.Trim().SetStart(300);
    ASSERT_TRUE(source.Crop().SetCropMargins(Rect{250, 0, 250, 0}));  // leaves 140 of 640
    auto clone = source.Clone();
    EXPECT_EQ(clone->Trim().Start(), 300u);
    EXPECT_EQ(clone->Trim().End(), 1500u);
    EXPECT_EQ(clone->Crop().GetCropMargins(), (Rect{250, 0, 250, 0}));
    clone->Crop().SetCropMargins(Rect{0, 0, 0, 0});
    EXPECT_EQ(source.Crop().GetCropMargins(), (Rect{250, 0, 250, 0}));
    EXPECT_EQ(clone->GetMediaInfo().path, clone->FilePath().c_str());
}

TEST_F(SequenceTest, SavingAProjectThatLostClipsKeepsTheOriginal) {
    TempDir dir;
    const std::string gone = dir.File("gone.flv");
    std::filesystem::copy_file(a, gone);
    Import({gone, b});
    const std::string file = dir.File("p.pvxp");
    CXMLSerialStream out;
    project->Serial(&out);
    WriteFile(file, out.ToText());
    const std::string original = ReadFile(file);
    std::filesystem::remove(gone);

    ScriptedHost shell;
    CBaseListener* mgr = GetProjectMgr(&shell);
    shell.pathAnswers = {file};
    DirectSendMessage(mgr, msg::kProjectOpen, 0, 0);
    bool reported = false;
    for (auto& m : shell.log) reported |= m.id == msg::kNotifyLoadProgress && m.progress.state == 2 && m.text == gone;
    EXPECT_TRUE(reported);  // the host learns which file was missing
    auto* project = static_cast<CProjectMgr*>(static_cast<CListenerImpl*>(mgr))->Project();
    project->SetModified();
    DirectSendMessage(mgr, msg::kProjectSave, 0, 0);
    EXPECT_EQ(ReadFile(file + ".bak"), original);
    EXPECT_NE(ReadFile(file), original);
    DeleteProjectMgr();
}

}  // namespace
