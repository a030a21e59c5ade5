// Makes the demo project that "make run" converts and opens: two sequences
// of the small fixture clips, with trims, an effect, a text and a picture
// watermark and metadata, saved with this checkout's absolute paths. It
// drives the engine the way the desktop program does, through the three
// entry points and the messages only, then opens the saved file again and
// checks that the edits came back.
//
//   veltrano-demo OUT.pvxp [FIXTURES_DIR]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "projcore/projcore.h"

namespace fs = std::filesystem;

namespace {

// Answers the engine's questions: the file to save to and to open is `file`;
// unsaved changes are never kept when the project is closed.
class DemoHost : public CBaseListener {
public:
    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
        if ((id == msg::kAskSavePath || id == msg::kAskOpenPath || id == msg::kAskSaveAsPath) && p1 &&
            file.size() < static_cast<size_t>(p2))
            std::memcpy(reinterpret_cast<char*>(p1), file.c_str(), file.size() + 1);
        else if (id == msg::kAskSaveChanges && p1)
            *reinterpret_cast<int32_t*>(p1) = kSaveChangesDiscard;
        else if (id == msg::kNotifySeqAddFailed && p1)
            ++addFailures;
        else if (id >= msg::kNotifySaveFailed && id <= msg::kNotifyOpened)
            last = id;
    }
    std::string file;
    int32_t last = 0;
    int addFailures = 0;
};

struct Clip {
    const char* file;
    uint32_t trimStart, trimEnd;   // ms; the end is exclusive
    const char* effect;            // null: none
    const char* text;              // a text watermark, or null
    const char* picture;           // a picture watermark (a fixture), or null
};

struct Sequence {
    const char* name;
    const char* destination;
    const char* title;
    const char* track;
    std::vector<Clip> clips;
};

const std::vector<Sequence> kDemo = {
    // One kind of stream throughout, so that the FLV join can take it too.
    {"Sequence 01", "demo-first", "Veltrano demo, part one", "1",
     {{"flv1_mp3_160x120.flv", 500, 2500, nullptr, "Veltrano demo", nullptr},
      {"flv1_mp3_160x120.flv", 0, 2000, "Emboss", nullptr, nullptr}}},
    {"Sequence 02", "demo-second", "Veltrano demo, part two", "2",
     {{"flv1_mp3_320x240.flv", 1000, 3000, nullptr, nullptr, "still_64x48.bmp"},
      {"flv1_nelly_160x120.flv", 0, 1500, "Purple", nullptr, nullptr}}},
};

class Demo {
public:
    Demo(DemoHost& host, CBaseListener* manager) : host_(host), manager_(manager) {}

    bool Acquire() {
        project_ = sequences_ = edit_ = nullptr;
        Send(manager_, msg::kProjectGetListener, &project_, sizeof project_);
        if (!project_) return false;
        Send(project_, msg::kGetSequenceManager, &sequences_, sizeof sequences_);
        Send(project_, msg::kGetClipEditManager, &edit_, sizeof edit_);
        return sequences_ && edit_;
    }

    bool Build(const std::string& fixtures) {
        for (size_t s = 0; s < kDemo.size(); ++s) {
            const Sequence& seq = kDemo[s];
            std::vector<std::string> paths;
            for (const Clip& c : seq.clips) paths.push_back(fixtures + "/" + c.file);
            std::vector<const char*> list;
            for (const std::string& p : paths) list.push_back(p.c_str());
            TImportedFiles r{seq.name, -1, list.data(), static_cast<int32_t>(list.size()), seq.destination, 5000};
            Send(sequences_, msg::kSeqImport, &r, sizeof r);
            if (host_.addFailures > 0 || ClipCount(static_cast<int32_t>(s)) != static_cast<int32_t>(seq.clips.size())) {
                std::fprintf(stderr, "veltrano-demo: the engine did not take the clips of %s from %s\n", seq.name,
                             fixtures.c_str());
                return false;
            }
            const char* properties[] = {seq.title, "Veltrano", "Demo album", "2024", seq.track,
                                        "Made by tools/veltrano-demo"};
            const int32_t ids[] = {3, 5, 2, 4, 1, 7};   // title, author, album, year, track, comment
            for (size_t i = 0; i < std::size(ids); ++i) {
                TSeqProperty p{static_cast<int32_t>(s), ids[i], properties[i]};
                Send(sequences_, msg::kSeqSetProperty, &p, sizeof p);
            }
            for (size_t c = 0; c < seq.clips.size(); ++c) Edit(static_cast<int32_t>(s), static_cast<int32_t>(c), seq.clips[c], fixtures);
        }
        Select(0, -1, -1);
        return true;
    }

    // Reads back what Build set, from the project as it was opened again.
    bool Check() {
        if (Count() != static_cast<int32_t>(kDemo.size())) return false;
        for (size_t s = 0; s < kDemo.size(); ++s) {
            TSeqProperty title{static_cast<int32_t>(s), 3, nullptr};
            Send(sequences_, msg::kSeqGetProperty, &title, sizeof title);
            if (!title.text || std::strcmp(title.text, kDemo[s].title) != 0) return false;
            for (size_t c = 0; c < kDemo[s].clips.size(); ++c) {
                const Clip& clip = kDemo[s].clips[c];
                Select(1, static_cast<int32_t>(s), static_cast<int32_t>(c));
                EditTrim trim{};
                Send(edit_, msg::kEditGetTrim, &trim, sizeof trim);
                uint32_t marks = 0;
                Send(edit_, msg::kWaterMarkGetCount, &marks, sizeof marks);
                if (trim.start != clip.trimStart || trim.end != clip.trimEnd ||
                    marks != static_cast<uint32_t>((clip.text ? 1 : 0) + (clip.picture ? 1 : 0)))
                    return false;
            }
        }
        Select(0, -1, -1);
        return true;
    }

    void Describe() {
        for (size_t s = 0; s < kDemo.size(); ++s) {
            std::printf("  %s -> %s:", kDemo[s].name, kDemo[s].destination);
            for (const Clip& c : kDemo[s].clips) {
                std::printf(" %s [%u-%u ms%s%s%s%s]", c.file, c.trimStart, c.trimEnd, c.effect ? ", " : "",
                            c.effect ? c.effect : "", c.text ? ", text" : "", c.picture ? ", picture" : "");
            }
            std::printf("\n");
        }
    }

private:
    template <class T>
    void Send(CBaseListener* to, int32_t id, T* record, size_t size) {
        DirectSendMessage(to, id, reinterpret_cast<intptr_t>(record), static_cast<intptr_t>(size));
    }
    void Send(CBaseListener* to, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { DirectSendMessage(to, id, p1, p2); }

    int32_t Count() {
        int32_t n = 0;
        Send(sequences_, msg::kSeqGetCount, &n, sizeof n);
        return n;
    }
    int32_t ClipCount(int32_t sequence) {
        int32_t n = sequence;
        Send(sequences_, msg::kSeqGetClipCount, &n, sizeof n);
        return n;
    }
    // The clip edit manager works on the clip the sequence list has selected.
    void Select(int32_t kind, int32_t sequence, int32_t clip) {
        TSeqSelection sel{kind, sequence, clip};
        Send(sequences_, msg::kSeqSelect, &sel, sizeof sel);
    }

    void Edit(int32_t s, int32_t c, const Clip& clip, const std::string& fixtures) {
        Select(1, s, c);
        // The end first: a start is refused when it would lie past the end.
        Send(edit_, msg::kEditTrimEnd, 0, clip.trimEnd);
        Send(edit_, msg::kEditTrimStart, 0, clip.trimStart);
        if (clip.effect) Send(edit_, msg::kEditEffectName, reinterpret_cast<intptr_t>(clip.effect));
        uint32_t index = 0;
        if (clip.text) {
            WaterMarkString text{index, clip.text};
            Send(edit_, msg::kWaterMarkAddText, &text, sizeof text);
            WaterMarkTextStyle style{};
            style.index = index;
            std::snprintf(style.font, sizeof style.font, "DejaVu Sans");
            style.textSize = 12;
            std::memcpy(style.textColor, "\xFF\xFF\x40\x00", 4);   // yellow
            style.fontStyle = 2;                                     // bold
            Send(edit_, msg::kWaterMarkSetTextStyle, &style, sizeof style);
            WaterMarkPosition place{index, 7, 0, -4, 0};             // bottom centre
            Send(edit_, msg::kWaterMarkSetPosition, &place, sizeof place);
            WaterMarkTiming timing{index, clip.trimStart, clip.trimEnd, 0.5f, 0.5f};
            Send(edit_, msg::kWaterMarkSetTiming, &timing, sizeof timing);
            ++index;
        }
        if (clip.picture) {
            const std::string path = fixtures + "/" + clip.picture;
            WaterMarkString picture{index, path.c_str()};
            Send(edit_, msg::kWaterMarkAddImage, &picture, sizeof picture);
            WaterMarkPosition place{index, 2, -4, 4, 0};             // top right
            Send(edit_, msg::kWaterMarkSetPosition, &place, sizeof place);
            WaterMarkTransparency see{index, 180, {0, 0, 0, 255}, 0, {0, 0}};
            Send(edit_, msg::kWaterMarkSetTransparency, &see, sizeof see);
        }
    }

    DemoHost& host_;
    CBaseListener* manager_;
    CBaseListener* project_ = nullptr;
    CBaseListener* sequences_ = nullptr;
    CBaseListener* edit_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: veltrano-demo OUT.pvxp [FIXTURES_DIR]\n");
        return 2;
    }
    // Nothing here plays sound; the preview behind a selected clip needs no device.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::error_code ec;
    const fs::path out = fs::absolute(argv[1], ec).lexically_normal();
    const std::string fixtures = fs::absolute(argc > 2 ? argv[2] : VELTRANO_FIXTURES_DIR, ec).lexically_normal().string();
    fs::create_directories(out.parent_path(), ec);

    DemoHost host;
    host.file = out.string();
    CBaseListener* manager = GetProjectMgr(&host);
    if (!manager) {
        std::fprintf(stderr, "veltrano-demo: the engine could not start\n");
        return 1;
    }
    Demo demo(host, manager);
    DirectSendMessage(manager, msg::kProjectNew, 0, 0);
    bool ok = host.last == msg::kNotifyNewDone && demo.Acquire() && demo.Build(fixtures);
    if (ok) {
        DirectSendMessage(manager, msg::kProjectSaveAs, 0, 0);
        ok = host.last == msg::kNotifySaved;
        if (!ok) std::fprintf(stderr, "veltrano-demo: the project could not be saved as %s\n", host.file.c_str());
    }
    if (ok) {
        int32_t closed = 0;
        DirectSendMessage(manager, msg::kProjectClose, reinterpret_cast<intptr_t>(&closed), sizeof closed);
        DirectSendMessage(manager, msg::kProjectOpen, 0, 0);
        ok = host.last == msg::kNotifyOpened && demo.Acquire() && demo.Check();
        if (!ok) std::fprintf(stderr, "veltrano-demo: %s did not open again as it was saved\n", host.file.c_str());
    }
    if (ok) {
        std::printf("Demo project: %s\n", host.file.c_str());
        demo.Describe();
    }
    DeleteProjectMgr();
    return ok ? 0 : 1;
}
