#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "ScriptedHost.h"
#include "TempDir.h"
#include "bus/ProjectMgr.h"
#include "model/PravexProject.h"

namespace {

using Ids = std::vector<int32_t>;

class ProjectMgrTest : public ::testing::Test {
protected:
    void SetUp() override { mgr = GetProjectMgr(&host); }
    void TearDown() override { DeleteProjectMgr(); }

    void Send(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { DirectSendMessage(mgr, id, p1, p2); }
    int32_t Close() {
        int32_t result = 0;
        Send(msg::kProjectClose, reinterpret_cast<intptr_t>(&result));
        return result;
    }
    CBaseListener* ProjectListener() {
        CBaseListener* l = reinterpret_cast<CBaseListener*>(1);
        Send(msg::kProjectGetListener, reinterpret_cast<intptr_t>(&l));
        return l;
    }
    std::string Path() {
        char buf[kPathBufferSize];
        Send(msg::kProjectGetPath, reinterpret_cast<intptr_t>(buf), sizeof buf);
        return buf;
    }
    CPravexProject* Project() { return static_cast<CProjectMgr*>(static_cast<CListenerImpl*>(mgr))->Project(); }
    void NewModifiedProject() {
        Send(msg::kProjectNew);
        Project()->SetModified();
        host.log.clear();
    }

    ScriptedHost host;
    CBaseListener* mgr = nullptr;
    TempDir dir;
};

TEST_F(ProjectMgrTest, OneManagerWhoKeepsItsFirstHost) {
    ScriptedHost other;
    EXPECT_EQ(GetProjectMgr(&other), mgr);
    EXPECT_EQ(GetProjectMgr(nullptr), nullptr);
    Send(msg::kProjectNew);
    EXPECT_EQ(host.Ids(), Ids{msg::kNotifyNewDone});
    EXPECT_TRUE(other.log.empty());
}

TEST_F(ProjectMgrTest, NewReplacesACleanProjectWithoutAsking) {
    EXPECT_EQ(ProjectListener(), nullptr);
    Send(msg::kProjectNew);
    CBaseListener* first = ProjectListener();
    EXPECT_NE(first, nullptr);
    host.log.clear();
    Send(msg::kProjectNew);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kNotifyClosed, msg::kNotifyNewDone}));
    EXPECT_NE(ProjectListener(), nullptr);
    EXPECT_EQ(Path(), "");
}

TEST_F(ProjectMgrTest, UnsavedChangesAnswers) {
    struct Case {
        const char* name;
        int32_t answer;
        bool replaced;
    };
    const Case cases[] = {
        {"discard", kSaveChangesDiscard, true},
        {"cancel", kSaveChangesCancel, false},
        {"unknown answer counts as cancel", 7, false},
        {"negative answer counts as cancel", -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewModifiedProject();
        CBaseListener* before = ProjectListener();
        host.saveChangesAnswers = {c.answer};
        Send(msg::kProjectNew);
        const Ids expected = c.replaced ? Ids{msg::kAskSaveChanges, msg::kNotifyClosed, msg::kNotifyNewDone}
                                        : Ids{msg::kAskSaveChanges};
        EXPECT_EQ(host.TakeIds(), expected);
        if (!c.replaced) {
            EXPECT_EQ(ProjectListener(), before);
            EXPECT_TRUE(Project()->IsModified());
        }
    }
}

TEST_F(ProjectMgrTest, SaveFirstButNameRequestCancelledStopsEverything) {
    NewModifiedProject();
    CBaseListener* before = ProjectListener();
    host.saveChangesAnswers = {kSaveChangesSave};
    host.pathAnswers = {""};
    Send(msg::kProjectNew);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveChanges, msg::kAskSavePath}));
    EXPECT_EQ(ProjectListener(), before);
    EXPECT_TRUE(Project()->IsModified());
}

TEST_F(ProjectMgrTest, SaveFirstThenNewGoesOn) {
    NewModifiedProject();
    host.saveChangesAnswers = {kSaveChangesSave};
    host.pathAnswers = {dir.File("a.pvxp")};
    Send(msg::kProjectNew);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveChanges, msg::kAskSavePath, msg::kNotifySaved,
                                   msg::kNotifyClosed, msg::kNotifyNewDone}));
    EXPECT_TRUE(std::filesystem::exists(dir.File("a.pvxp")));
}

TEST_F(ProjectMgrTest, CloseAnswersItsResult) {
    EXPECT_EQ(Close(), 1);  // nothing open
    EXPECT_EQ(host.TakeIds(), Ids{msg::kNotifyClosed});
    Send(msg::kProjectClose, 0);  // a null result slot: nothing happens
    EXPECT_TRUE(host.log.empty());

    NewModifiedProject();
    host.saveChangesAnswers = {kSaveChangesCancel};
    EXPECT_EQ(Close(), -1);
    EXPECT_EQ(host.TakeIds(), Ids{msg::kAskSaveChanges});
    host.saveChangesAnswers = {kSaveChangesDiscard};
    EXPECT_EQ(Close(), 1);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveChanges, msg::kNotifyClosed}));
    EXPECT_EQ(ProjectListener(), nullptr);
}

TEST_F(ProjectMgrTest, SaveConversations) {
    Send(msg::kProjectSave);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log[0].id, msg::kNotifySaveFailed);
    EXPECT_EQ(host.log[0].text, "No Project");
    EXPECT_EQ(host.log[0].p2, 10);
    host.log.clear();

    Send(msg::kProjectNew);
    host.log.clear();
    host.pathAnswers = {""};
    Send(msg::kProjectSave);  // a new project asks for a name; an empty answer ends quietly
    EXPECT_EQ(host.TakeIds(), Ids{msg::kAskSavePath});

    const std::string file = dir.File("p.pvxp");
    host.pathAnswers = {file};
    Send(msg::kProjectSave);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSavePath, msg::kNotifySaved}));
    EXPECT_EQ(Path(), file);

    std::filesystem::remove(file);
    Send(msg::kProjectSave);  // unchanged and has a file
    EXPECT_EQ(host.TakeIds(), Ids{msg::kNotifyNothingToSave});
    EXPECT_FALSE(std::filesystem::exists(file));

    Project()->SetModified();
    Send(msg::kProjectSave);  // its own file: no question
    EXPECT_EQ(host.TakeIds(), Ids{msg::kNotifySaved});
    EXPECT_TRUE(std::filesystem::exists(file));

    const std::string other = dir.File("q.pvxp");
    host.pathAnswers = {other};
    Send(msg::kProjectSaveAs);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveAsPath, msg::kNotifySaved}));
    EXPECT_EQ(Path(), other);
    EXPECT_EQ(ReadFile(other), ReadFile(file));
    host.pathAnswers = {""};
    Send(msg::kProjectSaveAs);
    EXPECT_EQ(host.TakeIds(), Ids{msg::kAskSaveAsPath});
}

TEST_F(ProjectMgrTest, APathQueryNeverCutsThePath) {
    Send(msg::kProjectNew);
    host.pathAnswers = {dir.File("long-enough-name.pvxp")};
    Send(msg::kProjectSave);
    char small[8] = "xxxxxxx";
    Send(msg::kProjectGetPath, reinterpret_cast<intptr_t>(small), sizeof small);
    EXPECT_STREQ(small, "");
}

// Lets the test process write at most `bytes` bytes to any file, as a full
// disk would; writes beyond fail with EFBIG instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, saved_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(ProjectMgrTest, AFailedSaveKeepsTheOldFileAndTheEditsUnsaved) {
    const std::string file = dir.File("p.pvxp");
    Send(msg::kProjectNew);
    host.pathAnswers = {file};
    Send(msg::kProjectSave);
    const std::string saved = ReadFile(file);
    ASSERT_FALSE(saved.empty());
    Project()->SetModified();
    host.log.clear();
    {
        FileSizeLimit full(16);
        Send(msg::kProjectSave);
    }
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log[0].id, msg::kNotifySaveFailed);
    EXPECT_EQ(host.log[0].p2, 0);
    EXPECT_EQ(host.log[0].text, "");
    EXPECT_EQ(ReadFile(file), saved);
    EXPECT_TRUE(Project()->IsModified());  // the next Save or Close still knows
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1);  // no temporary left behind
    host.log.clear();
    Send(msg::kProjectSave);
    EXPECT_EQ(host.TakeIds(), Ids{msg::kNotifySaved});

    // Save as into a folder that does not exist fails the same way.
    host.pathAnswers = {dir.File("missing/q.pvxp")};
    Send(msg::kProjectSaveAs);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveAsPath, msg::kNotifySaveFailed}));
    EXPECT_EQ(Path(), file);
}

TEST_F(ProjectMgrTest, OpenReplacesTheProjectAndRoundTripsItsBytes) {
    const std::string file = dir.File("p.pvxp");
    Send(msg::kProjectNew);
    host.pathAnswers = {file};
    Send(msg::kProjectSave);
    host.log.clear();

    host.pathAnswers = {""};
    Send(msg::kProjectOpen);  // cancelled
    EXPECT_EQ(host.TakeIds(), Ids{msg::kAskOpenPath});

    CBaseListener* before = ProjectListener();
    host.pathAnswers = {file};
    Send(msg::kProjectOpen);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskOpenPath, msg::kNotifyClosed, msg::kNotifyOpened}));
    EXPECT_NE(ProjectListener(), nullptr);
    EXPECT_NE(ProjectListener(), before);
    EXPECT_EQ(Path(), file);

    const std::string copy = dir.File("copy.pvxp");
    host.pathAnswers = {copy};
    Send(msg::kProjectSaveAs);
    EXPECT_EQ(ReadFile(copy), ReadFile(file));
}

TEST_F(ProjectMgrTest, AFailedOpenKeepsTheCurrentProjectAndTheManagerUsable) {
    const std::string good = dir.File("good.pvxp");
    Send(msg::kProjectNew);
    host.pathAnswers = {good};
    Send(msg::kProjectSave);
    Project()->SetModified();
    CBaseListener* before = ProjectListener();
    host.log.clear();

    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not XML", "not xml at all"},
        {"another root", "<?xml version=\"1.0\"?><root><project/></root>"},
        {"no required groups", "<stream><project/></stream>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.File("bad.pvxp"), c.content);
        host.saveChangesAnswers = {kSaveChangesDiscard};
        host.pathAnswers = {dir.File("bad.pvxp")};
        Send(msg::kProjectOpen);
        EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveChanges, msg::kAskOpenPath, msg::kNotifyOpenFailed}));
        EXPECT_EQ(ProjectListener(), before);
        EXPECT_EQ(Path(), good);
        EXPECT_TRUE(Project()->IsModified());  // the edits are still there
    }
    host.saveChangesAnswers = {kSaveChangesDiscard};
    Send(msg::kProjectNew);
    EXPECT_EQ(host.TakeIds(), (Ids{msg::kAskSaveChanges, msg::kNotifyClosed, msg::kNotifyNewDone}));
}

TEST_F(ProjectMgrTest, TheHostHearsTheProjectsManagersUntilItCloses) {
    Send(msg::kProjectNew);
    CBaseListener* project = ProjectListener();
    CBaseListener* conversion = nullptr;
    DirectSendMessage(project, msg::kGetConversionManager, reinterpret_cast<intptr_t>(&conversion), 8);
    ASSERT_NE(conversion, nullptr);
    auto* caster = dynamic_cast<CBaseBrocaster*>(static_cast<CListenerImpl*>(conversion));
    ASSERT_NE(caster, nullptr);
    host.log.clear();
    caster->Notify(110581301, 0, 0);
    EXPECT_EQ(host.TakeIds(), Ids{110581301});
}

}  // namespace
