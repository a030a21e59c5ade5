#pragma once

// What the converter's tests share: a folder per test, no user profile
// file, JSON lines read with Qt's parser, and ffprobe's view of an output.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "CliRun.h"

namespace fs = std::filesystem;

inline std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

inline QJsonObject Parse(const std::string& line) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << line;
    EXPECT_TRUE(doc.isObject()) << "not a JSON object: " << line;
    return doc.object();
}

inline std::vector<QJsonObject> JsonLines(const CliResult& r) {
    std::vector<QJsonObject> objects;
    for (const std::string& line : r.Lines()) objects.push_back(Parse(line));
    return objects;
}

// ffprobe's "flat" keys for a file (streams.stream.0.codec_name,
// format.duration ...); {"error": why} when ffprobe is missing or fails.
std::map<std::string, std::string> Probe(const std::string& path);
// The exit status of a shell command, with its output in *output.
int Shell(const std::string& command, std::string* output = nullptr);
// A path as one word of a shell command (the tests' paths hold no quote).
inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Each test gets a folder of its own and no user profile file.
class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');   // parameterised tests
        dir = fs::temp_directory_path() / ("veltrano-cli-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
        env = {{"XDG_CONFIG_HOME", (dir / "config").string()}, {"SDL_AUDIODRIVER", "dummy"}};
    }
    void TearDown() override { fs::remove_all(dir); }
    CliResult Run(const std::vector<std::string>& args,
                  const std::function<void(const std::string&, int)>& onLine = nullptr) {
        return RunCli(args, env, onLine);
    }
    // Runs args (with --json) and sends the signal Ctrl-C sends once a task
    // is converting; *sent says whether that moment came.
    CliResult RunInterrupted(const std::vector<std::string>& args, bool* sent) {
        *sent = false;
        return Run(args, [sent](const std::string& line, int pid) {
            if (!*sent && line.find("\"state\":\"converting\"") != std::string::npos) {
                *sent = true;
                kill(pid, SIGINT);
            }
        });
    }
    fs::path dir;
    std::map<std::string, std::string> env;
};
