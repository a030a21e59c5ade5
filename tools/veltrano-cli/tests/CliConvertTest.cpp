// Conversions through the engine's conversion manager, checked with ffprobe
// and flvmeta.
#include <sys/stat.h>

#include <QJsonArray>
#include <algorithm>
#include <fstream>

#include "CliFixture.h"

namespace {

double Seconds(const std::map<std::string, std::string>& probe, const std::string& key) {
    const auto it = probe.find(key);
    return it == probe.end() ? -1 : std::stod(it->second);
}

std::vector<QJsonObject> Events(const std::vector<QJsonObject>& lines, const char* kind) {
    std::vector<QJsonObject> out;
    for (const QJsonObject& o : lines)
        if (o["event"].toString() == kind) out.push_back(o);
    return out;
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Cli, ConvertsEachFileAndJoins) {
    const fs::path out = dir / "out";
    const std::string a = Fixture("flv1_mp3_160x120.flv"), b = Fixture("flv1_adpcm_160x120.flv");
    const CliResult r = Run({"convert", "--json", "--out", out.string(), a, b});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto lines = JsonLines(r);
    const auto results = Events(lines, "result");
    ASSERT_EQ(results.size(), 2u) << r.out;
    for (const QJsonObject& result : results) {
        SCOPED_TRACE(result["name"].toString().toStdString());
        EXPECT_EQ(result["state"].toString(), "finished");
        const std::string file = result["output"].toString().toStdString();
        EXPECT_EQ(fs::path(file).parent_path(), out);
        const auto probe = Probe(file);
        ASSERT_EQ(probe.count("error"), 0u) << probe.at("error");
        EXPECT_NE(probe.at("format.format_name").find("mp4"), std::string::npos);
        EXPECT_EQ(probe.at("streams.stream.0.codec_name"), "h264");
        EXPECT_EQ(probe.at("streams.stream.0.width"), "160");
        EXPECT_EQ(probe.at("streams.stream.1.codec_name"), "aac");
        EXPECT_NEAR(Seconds(probe, "format.duration"), 3.0, 0.35);
    }
    // Each task goes waiting -> converting -> finished, its progress never back.
    for (int task = 0; task < 2; ++task) {
        std::vector<std::string> states;
        double percent = 0;
        for (const QJsonObject& o : lines) {
            if (o["task"].toInt(-1) != task) continue;
            if (o["event"].toString() == "state") states.push_back(o["state"].toString().toStdString());
            if (o["event"].toString() == "progress") {
                EXPECT_GE(o["percent"].toDouble(), percent);
                percent = o["percent"].toDouble();
            }
        }
        EXPECT_EQ(states, (std::vector<std::string>{"converting", "finished"})) << "task " << task;
    }
    const auto end = Events(lines, "end");
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0]["finished"].toInt(), 2);
    EXPECT_EQ(end[0]["exit"].toInt(), 0);

    // Joining copies the tags one after the other: twice the length, same codecs.
    const std::string joined = (out / "joined.flv").string();
    const CliResult j = Run({"join", "--json", joined, a, a});
    ASSERT_EQ(j.exitCode, 0) << j.out << j.err;
    ASSERT_EQ(Events(JsonLines(j), "result").at(0)["output"].toString().toStdString(), joined);
    const auto probe = Probe(joined);
    ASSERT_EQ(probe.count("error"), 0u) << probe.at("error");
    EXPECT_EQ(probe.at("format.format_name"), "flv");
    EXPECT_NEAR(Seconds(probe, "format.duration"), 6.1, 0.3);
    std::set<std::string> codecs = {probe.at("streams.stream.0.codec_name"), probe.at("streams.stream.1.codec_name")};
    EXPECT_EQ(codecs, (std::set<std::string>{"flv1", "mp3"}));
    std::string check;
    EXPECT_EQ(Shell("flvmeta --check '" + joined + "'", &check), 0) << check;
}

// The demo project's second sequence, chosen by its destination name: two
// trimmed clips make one output with the sequence's title.
TEST_F(Cli, ConvertsTheChosenSequencesOfAProject) {
    const fs::path project = dir / "demo.pvxp";
    std::string made;
    ASSERT_EQ(Shell(std::string("'") + VELTRANO_DEMO + "' '" + project.string() + "'", &made), 0) << made;
    const CliResult r = Run({"convert", "--json", project.string(), "--sequences", "demo-second", "--out",
                             (dir / "out").string()});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto results = Events(JsonLines(r), "result");
    ASSERT_EQ(results.size(), 1u);
    const std::string output = results[0]["output"].toString().toStdString();
    EXPECT_EQ(output, (dir / "out" / "demo-second.mp4").string());
    const auto probe = Probe(output);
    ASSERT_EQ(probe.count("error"), 0u) << probe.at("error");
    EXPECT_EQ(probe.at("streams.stream.0.width"), "320");
    EXPECT_NEAR(Seconds(probe, "format.duration"), 3.5, 0.3);   // 2000 + 1500 ms of trims
    EXPECT_EQ(probe.at("format.tags.title"), "Veltrano demo, part two");
    EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{"demo-second.mp4"});
}

// One picture file per output frame, in a folder named after the sequence.
TEST_F(Cli, PictureSeriesGoIntoAFolderOfTheirOwn) {
    const fs::path out = dir / "out";
    const CliResult r = Run({"convert", "--json", "--profile", "PNG pictures", "--fps", "2", "--out", out.string(),
                             Fixture("flv1_mp3_160x120.flv")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string folder = Events(JsonLines(r), "result").at(0)["output"].toString().toStdString();
    EXPECT_EQ(folder, (out / "flv1_mp3_160x120").string());
    const auto pictures = Listing(folder);
    ASSERT_GE(pictures.size(), 5u);
    EXPECT_LE(pictures.size(), 8u);   // about 3 s at 2 a second
    EXPECT_EQ(pictures.front(), "flv1_mp3_160x120_0.png");
    const auto probe = Probe((fs::path(folder) / pictures.front()).string());
    EXPECT_EQ(probe.at("streams.stream.0.codec_name"), "png");
}

TEST_F(Cli, ExistingOutputsAreRenamedSkippedOrOverwritten) {
    const fs::path out = dir / "out";
    const std::string flv = Fixture("flv1_mp3_160x120.flv");
    auto convert = [&](const char* policy) {
        return Run({"convert", "--json", "--profile", "MP3 audio", "--existing", policy, "--out", out.string(), flv});
    };
    ASSERT_EQ(convert("new").exitCode, 0);
    const fs::path first = out / "flv1_mp3_160x120.mp3";
    ASSERT_TRUE(fs::exists(first));
    // An old time on the first output shows whether it was written again.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(first, old);

    const CliResult renamed = convert("new");
    EXPECT_EQ(renamed.exitCode, 0);
    EXPECT_EQ(Events(JsonLines(renamed), "result").at(0)["output"].toString().toStdString(),
              (out / "flv1_mp3_160x120_0.mp3").string());

    const CliResult skipped = convert("skip");
    EXPECT_EQ(skipped.exitCode, 0) << skipped.out;
    const QJsonObject skip = Events(JsonLines(skipped), "result").at(0);
    EXPECT_EQ(skip["state"].toString(), "stopped");
    EXPECT_FALSE(skip.contains("output"));
    EXPECT_EQ(fs::last_write_time(first), old);

    const CliResult overwritten = convert("overwrite");
    EXPECT_EQ(overwritten.exitCode, 0);
    EXPECT_EQ(Events(JsonLines(overwritten), "result").at(0)["output"].toString().toStdString(), first.string());
    EXPECT_NE(fs::last_write_time(first), old);
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"flv1_mp3_160x120.mp3", "flv1_mp3_160x120_0.mp3"}));
    EXPECT_EQ(Probe(first.string()).at("streams.stream.0.codec_name"), "mp3");
}

// Ctrl-C in the middle: the batch stops, the status says so, and only
// finished outputs stay.
TEST_F(Cli, InterruptStopsTheBatchAndRemovesUnfinishedOutputs) {
    const fs::path out = dir / "out";
    std::vector<std::string> args = {"convert", "--json", "--jobs", "1", "--size", "1280x720", "--out", out.string()};
    for (const char* name : {"a", "b", "c", "d"}) {
        const fs::path copy = dir / (std::string(name) + ".flv");
        fs::copy_file(Fixture("flv1_mp3_640x360.flv"), copy);
        args.push_back(copy.string());
    }
    bool sent = false;
    const CliResult r = RunInterrupted(args, &sent);
    ASSERT_TRUE(sent) << r.out << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const auto lines = JsonLines(r);
    EXPECT_EQ(Events(lines, "interrupted").size(), 1u);
    const auto end = Events(lines, "end");
    ASSERT_EQ(end.size(), 1u);
    EXPECT_TRUE(end[0]["interrupted"].toBool());
    EXPECT_GE(end[0]["stopped"].toInt(), 1);
    std::vector<std::string> kept;
    for (const QJsonObject& result : Events(lines, "result")) {
        const std::string output = result["output"].toString().toStdString();
        if (result["state"].toString() == "finished") {
            kept.push_back(fs::path(output).filename().string());
            EXPECT_EQ(Probe(output).count("error"), 0u);
        } else {
            EXPECT_TRUE(output.empty()) << output;
        }
    }
    EXPECT_EQ(Listing(out), kept);
}

}  // namespace

// Several profiles in one run: every file in each, re-encoded and copied
// outputs side by side, two at a time, each result naming its profile.
TEST_F(Cli, OneBatchMixesReencodedAndCopiedOutputs) {
    const fs::path out = dir / "out";
    const std::string a = Fixture("h264_aac_bf2_160x120.flv"), b = Fixture("h264base_aac_160x120.flv");
    const CliResult r = Run({"convert", "--json", "--jobs", "2", "--out", out.string(), "-p",
                             "MP4 video (H.264 + AAC)", "-p", "MKV (no re-encoding)", a, b});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto results = Events(JsonLines(r), "result");
    ASSERT_EQ(results.size(), 4u) << r.out;
    std::map<std::string, std::string> formatOf;   // output -> container
    for (const QJsonObject& result : results) {
        EXPECT_EQ(result["state"].toString(), "finished") << r.out;
        const std::string file = result["output"].toString().toStdString();
        const auto probe = Probe(file);
        ASSERT_EQ(probe.count("error"), 0u) << probe.at("error");
        const bool copied = result["profile"].toString() == "MKV (no re-encoding)";
        EXPECT_EQ(fs::path(file).extension(), copied ? ".mkv" : ".mp4");
        EXPECT_NE(probe.at("format.format_name").find(copied ? "matroska" : "mp4"), std::string::npos) << file;
        formatOf[file] = probe.at("format.format_name");
    }
    EXPECT_EQ(formatOf.size(), 4u) << "four distinct files";
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"h264_aac_bf2_160x120.mkv", "h264_aac_bf2_160x120.mp4",
                                                      "h264base_aac_160x120.mkv", "h264base_aac_160x120.mp4"}));
}
