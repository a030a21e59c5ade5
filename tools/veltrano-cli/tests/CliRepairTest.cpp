// veltrano-cli repair: exit statuses, the JSON report, and outputs that
// never take the place of an existing file or of the input.
#include <QJsonArray>
#include <fstream>
#include <iterator>

#include "CliFixture.h"

namespace {

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST_F(Cli, RepairSplitsAndReportsInJson) {
    const std::string input = Fixture("broken/glued_new_size.flv");
    const std::string before = Bytes(input);
    const CliResult r = Run({"repair", input, "--out", (dir / "out").string(), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = JsonLines(r);
    ASSERT_EQ(lines.size(), 1u);
    const QJsonObject o = lines[0];
    EXPECT_TRUE(o["ok"].toBool());
    ASSERT_EQ(o["outputs"].toArray().size(), 2);
    EXPECT_EQ(o["outputs"][0]["path"].toString().toStdString(), (dir / "out" / "glued_new_size.flv").string());
    EXPECT_EQ(o["outputs"][1]["path"].toString().toStdString(), (dir / "out" / "glued_new_size_2.flv").string());
    EXPECT_EQ(o["outputs"][0]["videoFrames"].toInt() + o["outputs"][1]["videoFrames"].toInt(), 200);
    bool change = false;
    for (const auto& v : o["fixes"].toArray()) {
        const QJsonObject f = v.toObject();
        change = change || f["kind"].toString() == "setup-change";
        EXPECT_GE(f["offset"].toInteger(), 13);
    }
    EXPECT_TRUE(change);
    EXPECT_EQ(Bytes(input), before);
    // Nothing but the outputs is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 2);
}

TEST_F(Cli, RepairNeverReplacesAFileOrTheInput) {
    const fs::path out = dir / "out";
    fs::create_directories(out);
    std::ofstream(out / "jump_forward.flv") << "someone else's file";
    const CliResult r = Run({"repair", Fixture("broken/jump_forward.flv"), "--out", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Bytes(out / "jump_forward.flv"), "someone else's file");
    EXPECT_TRUE(fs::exists(out / "jump_forward_2.flv"));
    EXPECT_NE(r.out.find("time-jump"), std::string::npos) << r.out;

    // Repairing a copy in its own folder would write over it: refused, the copy intact.
    fs::copy_file(Fixture("broken/truncated.flv"), dir / "rec.flv");
    const std::string before = Bytes(dir / "rec.flv");
    const CliResult self = Run({"repair", (dir / "rec.flv").string(), "--out", dir.string()});
    EXPECT_EQ(self.exitCode, 1);
    EXPECT_NE(self.err.find("input itself"), std::string::npos) << self.err;
    EXPECT_EQ(Bytes(dir / "rec.flv"), before);
}

TEST_F(Cli, RepairExitStatuses) {
    // A file that is no FLV gives nothing: 1, and the good one is still repaired.
    std::ofstream(dir / "not.flv") << "this is not a recording at all";
    const CliResult bad = Run({"repair", (dir / "not.flv").string(), Fixture("broken/zeros.flv"), "--out",
                               (dir / "out").string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(fs::exists(dir / "out" / "zeros.flv"));
    EXPECT_FALSE(fs::exists(dir / "out" / "not.flv"));
    // Usage: no file, an option repair does not take, a missing file.
    EXPECT_EQ(Run({"repair"}).exitCode, 2);
    EXPECT_EQ(Run({"repair", Fixture("broken/zeros.flv"), "--jobs", "2"}).exitCode, 2);
    EXPECT_EQ(Run({"repair", (dir / "missing.flv").string()}).exitCode, 2);
}

// A write that fails part-way (here a file-size limit) fails the repair with
// its reason and leaves no cut file under an output's name.
TEST_F(Cli, RepairThatCannotWriteLeavesNoCutOutput) {
    const fs::path out = dir / "out";
    fs::create_directories(out);
    std::string printed;
    const int status = Shell("ulimit -f 40; " + Quote(VELTRANO_CLI) + " repair --json --out " + Quote(out.string()) +
                                 " " + Quote(Fixture("broken/glued_new_size.flv")) + " 2>&1",
                             &printed);
    EXPECT_EQ(status, 1) << printed;
    for (const auto& e : fs::directory_iterator(out)) {
        // Only outputs that were written whole may be there, and they decode.
        EXPECT_LE(fs::file_size(e.path()), 40u * 1024) << e.path();
        std::string errors;
        EXPECT_EQ(Shell("ffmpeg -v error -i " + Quote(e.path().string()) + " -f null - 2>&1", &errors), 0);
        EXPECT_EQ(errors, "") << e.path();
    }
}

// Ctrl-C inside a long recording, and --results: one line per input, a
// repaired one, one that is no FLV, the one stopped inside (nothing of it
// left) and one never begun, with the keys convert's lines have and
// "outputs" besides. Progress goes to standard error only.
TEST_F(Cli, RepairStopsInsideAFileAndRecordsEveryInput) {
    const fs::path longFile = dir / "long.flv", notFlv = dir / "not.flv", out = dir / "out",
                   results = dir / "results.jsonl";
    // Long enough that the repair is still inside it when the signal lands on a busy machine.
    ASSERT_EQ(Shell("python3 " + Quote(Fixture("../../bench/flvtags.py")) + " repeat " +
                    Quote(Fixture("broken/clean_160.flv")) + " " + Quote(longFile.string()) + " 200"),
              0);
    std::ofstream(notFlv) << "this is not a recording at all";
    const std::string good = Fixture("broken/glued_new_size.flv"), last = Fixture("broken/zeros.flv");
    std::vector<double> percents;
    bool sent = false;
    const CliResult r = RunCli(
        {"repair", "--json", "--results", results.string(), "--out", out.string(), good, notFlv.string(),
         longFile.string(), last},
        env, nullptr, [&](const std::string& line, int pid) {
            if (line.find("\"event\":\"progress\"") == std::string::npos) return;
            const QJsonObject o = Parse(line);
            if (o["input"].toString().toStdString() != longFile.string()) return;
            percents.push_back(o["percent"].toDouble());
            if (sent) return;
            // Held still while the signal is sent, so it lands before the file ends.
            kill(pid, SIGSTOP);
            kill(pid, SIGINT);
            kill(pid, SIGCONT);
            sent = true;
        });
    ASSERT_TRUE(sent) << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LT(percents.back(), 100.0);

    // Standard output holds the report alone: an object per input, the stopped ones saying so.
    const auto report = JsonLines(r);
    ASSERT_EQ(report.size(), 4u) << r.out;
    EXPECT_EQ(report[0]["state"].toString(), "finished");
    EXPECT_EQ(report[1]["state"].toString(), "failed");
    EXPECT_EQ(report[2]["state"].toString(), "stopped");
    EXPECT_EQ(report[2]["error"].toString(), "");
    EXPECT_EQ(report[3]["state"].toString(), "stopped");

    std::vector<QJsonObject> lines;
    std::ifstream in(results);
    for (std::string line; std::getline(in, line);) lines.push_back(Parse(line));
    ASSERT_EQ(lines.size(), 4u);
    struct Expected {
        std::string input, state;
        std::vector<std::string> outputs;
        bool error;
    };
    const Expected expected[] = {
        {good, "finished", {(out / "glued_new_size.flv").string(), (out / "glued_new_size_2.flv").string()}, false},
        {notFlv.string(), "failed", {}, true},
        {longFile.string(), "stopped", {}, false},
        {last, "stopped", {}, false},
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        const QJsonObject& o = lines[i];
        for (const char* key : {"input", "output", "profile", "state", "error"}) EXPECT_TRUE(o[key].isString()) << key;
        EXPECT_TRUE(o["seconds"].isDouble());
        EXPECT_EQ(o["input"].toString().toStdString(), expected[i].input);
        EXPECT_EQ(o["state"].toString().toStdString(), expected[i].state);
        std::vector<std::string> outputs;
        for (const auto& v : o["outputs"].toArray()) outputs.push_back(v.toString().toStdString());
        EXPECT_EQ(outputs, expected[i].outputs);
        EXPECT_EQ(o["output"].toString().toStdString(), outputs.empty() ? "" : outputs.front());
        EXPECT_EQ(o["error"].toString().isEmpty(), !expected[i].error);
        EXPECT_EQ(o["code"].toInt() != 0, expected[i].error);
    }
    EXPECT_GT(lines[2]["seconds"].toDouble(), 0.0);
    EXPECT_EQ(lines[3]["seconds"].toDouble(), 0.0);
    // Only the repaired recording's files are there: nothing half-written of the stopped one.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(out)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"glued_new_size.flv", "glued_new_size_2.flv"}));
}
