#include <gtest/gtest.h>

#include "ScriptedHost.h"
#include "TempDir.h"
#include "model/PravexProject.h"
#include "model/XMLSerialStream.h"

namespace {

const char kNewProjectFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<stream>\n"
    "    <meta>\n"
    "        <VerMajor>0</VerMajor>\n"
    "        <VerMinor>0</VerMinor>\n"
    "        <ProjectFormat>PRAVEX</ProjectFormat>\n"
    "        <Author/>\n"
    "        <Comment/>\n"
    "    </meta>\n"
    "    <project>\n"
    "        <CFLVSequenceManager>\n"
    "            <ClipNumber>0</ClipNumber>\n"
    "            <m_FlvSequenceData/>\n"
    "        </CFLVSequenceManager>\n"
    "        <ImportedResourceManager>\n"
    "            <Resources/>\n"
    "        </ImportedResourceManager>\n"
    "        <TrashResourceManager>\n"
    "            <ClipNumber>0</ClipNumber>\n"
    "            <Resources/>\n"
    "        </TrashResourceManager>\n"
    "    </project>\n"
    "</stream>\n";

std::string SaveText(CPravexProject& p) {
    CXMLSerialStream s;
    p.Serial(&s);
    return s.ToText();
}

TEST(ProjectFile, ANewProjectWritesExactlyItsEmptyTree) {
    ScriptedHost host;
    CPravexProject project(&host);
    EXPECT_EQ(SaveText(project), kNewProjectFile);
    EXPECT_FALSE(project.IsModified());
}

TEST(ProjectFile, SaveLoadSaveRepeatsTheBytes) {
    TempDir dir;
    ScriptedHost host;
    const std::string file = dir.File("p.pvxp");
    const std::string withEntries =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<stream><meta><VerMajor>0</VerMajor><VerMinor>0</VerMinor>"
        "<ProjectFormat>PRAVEX</ProjectFormat><Author>  Ann  </Author><Comment>a\nb &amp; c</Comment></meta>"
        "<project><CFLVSequenceManager><ClipNumber>0</ClipNumber><m_FlvSequenceData/></CFLVSequenceManager>"
        "<ImportedResourceManager><Resources><Resource0><ResIndex>0</ResIndex><ResType>0</ResType>"
        "<Name>/v/a.FLV</Name></Resource0><Resource1><ResIndex>1</ResIndex><ResType>1</ResType>"
        "<Name>/v/ü.jpg</Name></Resource1></Resources></ImportedResourceManager>"
        "<TrashResourceManager><ClipNumber>0</ClipNumber><Resources/></TrashResourceManager></project></stream>";
    WriteFile(file, withEntries);
    CPravexProject first(file.c_str(), &host);
    const std::string once = SaveText(first);
    EXPECT_NE(once.find("<Name>/v/ü.jpg</Name>"), std::string::npos);
    EXPECT_NE(once.find("<Author>  Ann  </Author>"), std::string::npos);

    WriteFile(file, once);
    CPravexProject second(file.c_str(), &host);
    EXPECT_EQ(SaveText(second), once);
}

TEST(ProjectFile, TolerantOfMissingMetaAndOtherFormatWords) {
    TempDir dir;
    ScriptedHost host;
    const std::string body =
        "<project><CFLVSequenceManager><ClipNumber>0</ClipNumber></CFLVSequenceManager>"
        "<TrashResourceManager><ClipNumber>0</ClipNumber></TrashResourceManager></project>";
    WriteFile(dir.File("nometa.pvxp"), "<stream>" + body + "<Extra>ignored</Extra></stream>");
    CPravexProject noMeta(dir.File("nometa.pvxp").c_str(), &host);
    EXPECT_EQ(noMeta.ProjectFormat(), "PRAVEX");
    EXPECT_FALSE(noMeta.IsModified());
    EXPECT_EQ(noMeta.FilePath(), dir.File("nometa.pvxp"));

    WriteFile(dir.File("other.pvxp"),
              "<stream><meta><ProjectFormat>OTHER</ProjectFormat></meta>" + body + "</stream>");
    CPravexProject other(dir.File("other.pvxp").c_str(), &host);
    EXPECT_EQ(other.ProjectFormat(), "OTHER");
}

TEST(ProjectFile, FilesThatAreNotProjectsAreRefused) {
    TempDir dir;
    ScriptedHost host;
    const std::string seq = "<CFLVSequenceManager><ClipNumber>0</ClipNumber></CFLVSequenceManager>";
    const std::string trash = "<TrashResourceManager><ClipNumber>0</ClipNumber></TrashResourceManager>";
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not XML", "PK\x03\x04 garbage"},
        {"another root", "<project>" + seq + trash + "</project>"},
        {"no project group", "<stream>" + seq + trash + "</stream>"},
        {"no sequence clip count", "<stream><project><CFLVSequenceManager/>" + trash + "</project></stream>"},
        {"no trash clip count", "<stream><project>" + seq + "<TrashResourceManager/></project></stream>"},
        {"no trash", "<stream><project>" + seq + "</project></stream>"},
        {"broken imported list",
         "<stream><project>" + seq + "<ImportedResourceManager><Resources><Resource0><ResIndex>0</ResIndex>"
         "</Resource0></Resources></ImportedResourceManager>" + trash + "</project></stream>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.File("bad.pvxp"), c.content);
        EXPECT_THROW(CPravexProject(dir.File("bad.pvxp").c_str(), &host), int);
    }
    EXPECT_THROW(CPravexProject(dir.File("missing.pvxp").c_str(), &host), int);
    EXPECT_TRUE(host.log.empty());  // nothing was announced for a refused file
}

TEST(ProjectFile, ClipCountsAnnouncedByTheFileEndWithOneFinalProgressMessage) {
    TempDir dir;
    const std::string body =
        "<stream><project><CFLVSequenceManager><ClipNumber>%S</ClipNumber></CFLVSequenceManager>"
        "<TrashResourceManager><ClipNumber>%T</ClipNumber></TrashResourceManager></project></stream>";
    auto file = [&](int s, int t) {
        std::string c = body;
        c.replace(c.find("%S"), 2, std::to_string(s));
        c.replace(c.find("%T"), 2, std::to_string(t));
        WriteFile(dir.File("p.pvxp"), c);
        return dir.File("p.pvxp");
    };
    {
        ScriptedHost host;
        CPravexProject p(file(0, 0).c_str(), &host);
        EXPECT_TRUE(host.log.empty());
    }
    {
        ScriptedHost host;
        CPravexProject p(file(2, 1).c_str(), &host);
        ASSERT_EQ(host.log.size(), 1u);
        EXPECT_EQ(host.log[0].id, msg::kNotifyLoadProgress);
        EXPECT_EQ(host.log[0].p2, static_cast<intptr_t>(sizeof(LoadProgress)));
        EXPECT_EQ(host.log[0].text, "");
        EXPECT_EQ(host.log[0].progress.state, 1);
        EXPECT_EQ(host.log[0].progress.total, 3u);
        EXPECT_EQ(host.log[0].progress.done, 3u);
    }
}

TEST(ProjectFile, HandsOutEveryManagersListener) {
    ScriptedHost host;
    CPravexProject project(&host);
    std::vector<CBaseListener*> seen;
    for (int32_t id = msg::kGetSequenceManager; id <= msg::kGetConversionManager; ++id) {
        CBaseListener* answer = nullptr;
        project.OnMessage(nullptr, id, reinterpret_cast<intptr_t>(&answer), sizeof answer);
        ASSERT_NE(answer, nullptr) << id;
        for (auto* s : seen) EXPECT_NE(s, answer);
        seen.push_back(answer);
    }
    project.OnMessage(nullptr, msg::kGetSequenceManager, 0, 0);  // a null slot is ignored
}

}  // namespace
