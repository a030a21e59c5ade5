// Outputs never cost the user a file: an output that is an input is refused,
// converters sharing a folder keep each other's files, a final name only
// ever holds a whole file (size limits, kills), and a project's unreadable
// clips are named instead of dropped.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <thread>

#include "CliFixture.h"

namespace {

std::vector<QJsonObject> Events(const CliResult& r, const char* kind) {
    std::vector<QJsonObject> out;
    for (const QJsonObject& o : JsonLines(r))
        if (o["event"].toString() == kind) out.push_back(o);
    return out;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTemporary(const fs::path& folder) {
    for (const std::string& name : Listing(folder))
        if (name.rfind(".veltrano-part-", 0) == 0) return true;
    return false;
}

// Whatever the policy, an output that would replace one of its task's inputs
// (or a link to one) is refused before anything is written; with the default
// policy the output simply takes another name.
TEST_F(Cli, AnOutputThatIsItsOwnInputIsRefusedAndTheInputKept) {
    const fs::path d = dir / "d";
    fs::create_directories(d);
    const fs::path a = d / "a.flv", b = d / "b.flv";
    fs::copy_file(Fixture("flv1_mp3_160x120.flv"), a);
    fs::copy_file(Fixture("flv1_adpcm_160x120.flv"), b);
    const std::string original = Bytes(a);

    const CliResult same = Run({"convert", "--json", "-p", "1401", "--existing", "overwrite", "-o", d.string(), a.string()});
    EXPECT_EQ(same.exitCode, 1) << same.out << same.err;
    ASSERT_EQ(Events(same, "result").size(), 1u) << same.out;
    EXPECT_NE(Events(same, "result")[0]["message"].toString().toStdString().find("its own inputs"), std::string::npos)
        << same.out;
    EXPECT_EQ(Bytes(a), original);

    const CliResult join = Run({"join", "--json", "--existing", "overwrite", a.string(), a.string(), b.string()});
    EXPECT_EQ(join.exitCode, 1) << join.out << join.err;
    EXPECT_EQ(Bytes(a), original);

    // Through a symbolic link in the output folder.
    const fs::path out = dir / "out";
    fs::create_directories(out);
    fs::create_symlink(a, out / "a.flv");
    const CliResult linked = Run({"convert", "-p", "1401", "--existing", "overwrite", "-o", out.string(), a.string()});
    EXPECT_EQ(linked.exitCode, 1) << linked.out << linked.err;
    EXPECT_EQ(Bytes(a), original);
    EXPECT_TRUE(fs::is_symlink(out / "a.flv"));

    const CliResult renamed = Run({"convert", "--json", "-p", "1401", "-o", d.string(), a.string()});
    EXPECT_EQ(renamed.exitCode, 0) << renamed.out << renamed.err;
    EXPECT_EQ(Events(renamed, "result").at(0)["output"].toString().toStdString(), (d / "a_0.flv").string());
    EXPECT_EQ(Bytes(a), original);
    EXPECT_FALSE(HasTemporary(d));
}

// Several converters writing the same name into one folder at once: each
// reports the file it really wrote, every one of them is there and whole, and
// nothing else is left.
TEST_F(Cli, ConvertersSharingAFolderEachKeepAWholeFileOfTheirOwn) {
    const fs::path out = dir / "out";
    const std::string flv = Fixture("flv1_mp3_160x120.flv");
    constexpr int kConverters = 4;
    std::vector<std::future<CliResult>> runs;
    for (int i = 0; i < kConverters; ++i)
        runs.push_back(std::async(std::launch::async, [&] {
            return Run({"convert", "--json", "--profile", "MP3 audio", "--out", out.string(), flv});
        }));
    std::set<std::string> named;
    for (auto& run : runs) {
        const CliResult r = run.get();
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        named.insert(Events(r, "result").at(0)["output"].toString().toStdString());
    }
    ASSERT_EQ(named.size(), size_t{kConverters}) << "two converters reported one file";
    EXPECT_EQ(Listing(out).size(), size_t{kConverters});
    for (const std::string& file : named) {
        const auto probe = Probe(file);
        ASSERT_EQ(probe.count("error"), 0u) << file;
        EXPECT_EQ(probe.at("streams.stream.0.codec_name"), "mp3");
        EXPECT_NEAR(std::stod(probe.at("format.duration")), 3.0, 0.35) << file;
    }
}

// Ctrl-C on one converter removes only what it was writing itself, never a
// file another converter finished in the same folder.
TEST_F(Cli, AnInterruptRemovesOnlyThisConvertersOwnFiles) {
    const fs::path out = dir / "out";
    const CliResult first = Run({"convert", "--json", "--profile", "MP3 audio", "--out", out.string(),
                                 Fixture("flv1_mp3_160x120.flv")});
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    const std::string kept = Events(first, "result").at(0)["output"].toString().toStdString();
    const std::string before = Bytes(kept);
    fs::copy_file(Fixture("flv1_mp3_640x360.flv"), dir / "later.flv");
    bool sent = false;
    const CliResult second = RunInterrupted(
        {"convert", "--json", "--size", "1280x720", "--out", out.string(), (dir / "later.flv").string()}, &sent);
    ASSERT_TRUE(sent) << second.out;
    EXPECT_EQ(second.exitCode, 1) << second.out << second.err;
    EXPECT_EQ(Listing(out), std::vector<std::string>{fs::path(kept).filename().string()});
    EXPECT_EQ(Bytes(kept), before);
}

// A file-size limit fails the task with its reason instead of killing the
// converter, and no final name is left holding the cut file.
TEST_F(Cli, ASizeLimitIsAnErrorAndLeavesNoPartialFile) {
    const fs::path out = dir / "out";
    fs::create_directories(out);
    std::string printed;
    const int status = Shell("ulimit -f 20; " + Quote(VELTRANO_CLI) + " convert --json --out " + Quote(out.string()) +
                                 " --size 640x360 " + Quote(Fixture("flv1_mp3_640x360.flv")) + " 2>&1",
                             &printed);
    EXPECT_EQ(status, 1) << printed;
    EXPECT_NE(printed.find("File too large"), std::string::npos) << printed;
    EXPECT_TRUE(Listing(out).empty()) << printed;
}

// A join killed in the middle leaves no file under its final name; its
// temporary file is recognised as abandoned and removed by the next run.
TEST_F(Cli, AKilledJoinLeavesNoFinalNameAndTheNextRunClearsItsTemporary) {
    // A join long enough to be caught at work: one part made of many copies.
    std::vector<std::string> args = {"join", (dir / "big.flv").string()};
    for (int i = 0; i < 150; ++i) args.push_back(Fixture("flv1_mp3_640x360.flv"));
    ASSERT_EQ(Run(args).exitCode, 0);
    const fs::path out = dir / "out";
    fs::create_directories(out);
    const std::string target = (out / "joined.flv").string();
    const std::string big = (dir / "big.flv").string();
    bool killed = false;
    const CliResult r = Run({"join", "--json", target, big, big, big, big, big, big},
                            [&](const std::string& line, int pid) {
                                if (killed || line.find("\"state\":\"converting\"") == std::string::npos) return;
                                // Caught while its temporary file exists.
                                for (int i = 0; i < 2000 && !HasTemporary(out); ++i)
                                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                kill(pid, SIGKILL);
                                killed = true;
                            });
    ASSERT_TRUE(killed) << r.out;
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_FALSE(fs::exists(target)) << "a final name holds a partial join";
    ASSERT_TRUE(HasTemporary(out)) << "the join ended before it was caught";

    const CliResult next = Run({"join", "--json", (out / "small.flv").string(), Fixture("flv1_mp3_160x120.flv"),
                                Fixture("flv1_mp3_160x120.flv")});
    ASSERT_EQ(next.exitCode, 0) << next.out << next.err;
    EXPECT_EQ(Listing(out), std::vector<std::string>{"small.flv"});
}

// A project's clips that cannot be read are named with the reason; the
// project is refused unless the user allows leaving them out.
TEST_F(Cli, UnreadableClipsOfAProjectAreNamedNotDropped) {
    const fs::path project = dir / "demo.pvxp";
    std::string made;
    ASSERT_EQ(Shell(Quote(VELTRANO_DEMO) + " " + Quote(project.string()), &made), 0) << made;
    std::string xml = Bytes(project);
    const std::string clip = Fixture("flv1_mp3_320x240.flv");
    const size_t at = xml.find(clip);
    ASSERT_NE(at, std::string::npos) << "the demo uses " << clip;
    const std::string gone = (dir / "gone.flv").string();
    xml.replace(at, clip.size(), gone);
    std::ofstream(project, std::ios::binary | std::ios::trunc) << xml;

    const fs::path out = dir / "out";
    const CliResult refused = Run({"convert", "--json", project.string(), "--out", out.string()});
    EXPECT_EQ(refused.exitCode, 1) << refused.out << refused.err;
    const auto warnings = Events(refused, "warning");
    ASSERT_EQ(warnings.size(), 1u) << refused.out;
    EXPECT_EQ(warnings[0]["input"].toString().toStdString(), gone);
    EXPECT_NE(warnings[0]["message"].toString().indexOf("No such file"), -1) << refused.out;
    EXPECT_TRUE(!fs::exists(out) || Listing(out).empty());

    const CliResult skipped = Run({"convert", "--json", "--skip-missing", project.string(), "--out", out.string()});
    EXPECT_EQ(skipped.exitCode, 0) << skipped.out << skipped.err;
    EXPECT_EQ(Events(skipped, "warning").size(), 1u);
    EXPECT_FALSE(Listing(out).empty());
}

}  // namespace
