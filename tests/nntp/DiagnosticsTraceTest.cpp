#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "NntpTestSupport.h"
#include "nntp/CNewsConnection.h"
#include "platform/Diagnostics.h"
#include "support/ScriptedServer.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class DiagnosticsTraceTest : public NntpTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath("GLEANWICK.DBG").toStdString();
        ASSERT_TRUE(OpenDiagnosticsFile(m_path));
    }
    void TearDown() override {
        g_nDebugLevel = 0;
        CloseDiagnosticsFile();
        NntpTest::TearDown();
    }
    std::string Trace() const {
        std::ifstream file(m_path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    QTemporaryDir m_dir;
    std::string m_path;
};

// Sent lines are traced from level 3, received lines from level 5; the password never
// reaches the file, on either kind of connection.
TEST_F(DiagnosticsTraceTest, LinesAreTracedByLevelAndThePasswordIsMasked) {
    Script login = Script()
                       .Send("200 ready\r\n")
                       .Expect("AUTHINFO USER joe")
                       .Send("381 more\r\n")
                       .Expect("AUTHINFO PASS s3cr3t")
                       .Send("281 welcome\r\n")
                       .Expect("MODE READER")
                       .Send("200 reader\r\n");
    ScriptedServer server(
        {Script().Send("200 async ready\r\n").Expect("AUTHINFO PASS s3cr3t"), login});
    Configure("127.0.0.1", server.Port(), 5000);
    m_profile.WriteProfileInt(Section("127.0.0.1"), "Login Required", 1);
    m_profile.WriteProfileString(Section("127.0.0.1"), "Login User", "joe");
    m_profile.WriteProfileString(Section("127.0.0.1"), "Login Password", "s3cr3t");

    g_nDebugLevel = 3;
    RecordingOwner owner;
    auto async = std::make_unique<CNewsConnection>("127.0.0.1", m_profile, &owner);
    owner.onLine = [&](std::string_view) {
        async->SendLine("AUTHINFO PASS s3cr3t");
        return true;
    };
    async->Start();
    ASSERT_TRUE(PumpUntil([&] { return !owner.lines.empty(); }, 5000));
    async.reset();

    g_nDebugLevel = 5;
    CNewsConnection blocking("127.0.0.1", m_profile);
    blocking.Connect();
    blocking.Close();
    ASSERT_TRUE(server.WaitDone(5000));

    std::string trace = Trace();
    EXPECT_THAT(trace, Not(HasSubstr("s3cr3t")));
    EXPECT_THAT(trace, Not(HasSubstr("200 async ready"))); // level 3 only
    EXPECT_THAT(trace, HasSubstr("AUTHINFO PASS ********\nQUIT\n"));
    EXPECT_THAT(trace, HasSubstr("200 ready\nAUTHINFO USER joe\n381 more\nAUTHINFO PASS ********\n"
                                 "281 welcome\nMODE READER\n200 reader\nQUIT\n"));
}

} // namespace
