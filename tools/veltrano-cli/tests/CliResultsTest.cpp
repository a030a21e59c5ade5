// --results: a JSON line per ended task, appended, whatever way it ended.
#include <fstream>

#include "CliFixture.h"

namespace {

std::vector<QJsonObject> ResultLines(const fs::path& file) {
    std::vector<QJsonObject> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(Parse(line));
    return lines;
}

std::string Text(const QJsonObject& o, const char* key) { return o[key].toString().toStdString(); }

// Every line has every key, so a reader needs no special cases.
void ExpectAllKeys(const QJsonObject& o) {
    for (const char* key : {"input", "output", "profile", "state", "error"})
        EXPECT_TRUE(o[key].isString()) << key << " in " << QJsonDocument(o).toJson().toStdString();
    EXPECT_TRUE(o["seconds"].isDouble());
    EXPECT_TRUE(o["code"].isDouble());
}

}  // namespace

// Runs of every kind add to one file, which is never truncated: finished
// files, a skipped one, one failing on a size limit, a join and a project's
// sequence. A results file that cannot be opened refuses the run.
TEST_F(Cli, ResultsFileGetsALinePerEndedTask) {
    const fs::path results = dir / "results.jsonl";
    const fs::path out = dir / "out";
    const std::string small = Fixture("flv1_mp3_160x120.flv"), h264 = Fixture("h264_aac_160x120.flv");
    // One at a time: lines go out as tasks end, so two at once may end in either order.
    ASSERT_EQ(Run({"convert", "--jobs", "1", "--results", results.string(), "--out", out.string(), small, h264})
                  .exitCode,
              0);
    ASSERT_EQ(Run({"convert", "--results", results.string(), "--existing", "skip", "--out", out.string(), small})
                  .exitCode,
              0);
    std::string printed;
    ASSERT_EQ(Shell("ulimit -f 20; " + Quote(VELTRANO_CLI) + " convert --results " + Quote(results.string()) +
                        " --size 640x360 --out " + Quote((dir / "limited").string()) + " " +
                        Quote(Fixture("flv1_mp3_640x360.flv")) + " 2>&1",
                    &printed),
              1)
        << printed;
    const fs::path joined = dir / "joined.flv";
    ASSERT_EQ(Run({"join", "--results", results.string(), joined.string(), small, small}).exitCode, 0);
    const fs::path project = dir / "demo.pvxp";
    ASSERT_EQ(Shell(Quote(VELTRANO_DEMO) + " " + Quote(project.string()), &printed), 0) << printed;
    ASSERT_EQ(Run({"convert", "--results", results.string(), project.string(), "--sequences", "demo-second", "--out",
                   out.string()})
                  .exitCode,
              0);

    const auto lines = ResultLines(results);
    ASSERT_EQ(lines.size(), 6u);
    for (const QJsonObject& o : lines) ExpectAllKeys(o);
    struct Expected {
        std::string input, output, state;
    };
    const Expected expected[] = {
        {small, (out / "flv1_mp3_160x120.mp4").string(), "finished"},
        {h264, (out / "h264_aac_160x120.mp4").string(), "finished"},
        {small, "", "skipped"},
        {Fixture("flv1_mp3_640x360.flv"), "", "failed"},
        {small, joined.string(), "finished"},
        {project.string(), (out / "demo-second.mp4").string(), "finished"},
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        EXPECT_EQ(Text(lines[i], "input"), expected[i].input);
        EXPECT_EQ(Text(lines[i], "output"), expected[i].output);
        EXPECT_EQ(Text(lines[i], "state"), expected[i].state);
        if (!expected[i].output.empty()) {
            EXPECT_TRUE(fs::exists(expected[i].output));
        }
    }
    EXPECT_EQ(Text(lines[0], "profile"), "MP4 video (H.264 + AAC)");
    EXPECT_GT(lines[0]["seconds"].toDouble(), 0.0);
    EXPECT_EQ(lines[2]["seconds"].toDouble(), 0.0);
    EXPECT_NE(Text(lines[3], "error").find("File too large"), std::string::npos);
    EXPECT_NE(lines[3]["code"].toInt(), 0);
    EXPECT_EQ(Text(lines[5], "sequence"), "Sequence 02");
    EXPECT_FALSE(lines[0].contains("sequence"));

    const CliResult refused = Run({"convert", "--results", (dir / "no/such/folder/r.jsonl").string(), "--out",
                                   (dir / "refused").string(), small});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("cannot open the results file"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(dir / "refused" / "flv1_mp3_160x120.mp4"));
}

// Ctrl-C: the task at work and the one still waiting are both recorded as
// stopped, with no output.
TEST_F(Cli, AnInterruptedBatchRecordsItsTasksAsStopped) {
    const fs::path results = dir / "results.jsonl";
    std::vector<std::string> args = {"convert",   "--json",       "--jobs",          "1",
                                     "--size",    "1280x720",     "--results",       results.string(),
                                     "--out",     (dir / "out").string()};
    for (const char* name : {"a", "b"}) {
        const fs::path copy = dir / (std::string(name) + ".flv");
        fs::copy_file(Fixture("flv1_mp3_640x360.flv"), copy);
        args.push_back(copy.string());
    }
    bool sent = false;
    const CliResult r = RunInterrupted(args, &sent);
    ASSERT_TRUE(sent) << r.out << r.err;
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = ResultLines(results);
    ASSERT_EQ(lines.size(), 2u);
    for (const QJsonObject& o : lines) {
        ExpectAllKeys(o);
        EXPECT_EQ(Text(o, "state"), "stopped");
        EXPECT_EQ(Text(o, "output"), "");
    }
    EXPECT_EQ(Text(lines[1], "input"), (dir / "b.flv").string());
}
