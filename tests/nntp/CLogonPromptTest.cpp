#include <gtest/gtest.h>

#include "NntpTestSupport.h"
#include "nntp/CLogonPrompt.h"

namespace {

class LogonPromptTest : public NntpTest {};

TEST_F(LogonPromptTest, ShowsStoredValuesAndStoresConfirmedOnes) {
    const std::string section = Section("news.example");
    m_profile.WriteProfileString(section, "Login User", "joe");
    m_profile.WriteProfileString(section, "Login Password", "old");
    std::string shown;
    CLogonPrompt::Install(
        [&](std::string& account, std::string& password, const std::string& server) {
            shown = server + ":" + account + ":" + password;
            account = "ann";
            password = "";
            return true;
        });
    EXPECT_TRUE(CLogonPrompt::Run(m_profile, "news.example"));
    EXPECT_EQ(shown, "news.example:joe:old");
    EXPECT_EQ(m_profile.GetProfileInt(section, "Login Required", 0), 1u);
    EXPECT_EQ(m_profile.GetProfileString(section, "Login User"), "ann");
    EXPECT_EQ(m_profile.GetProfileString(section, "Login Password"), "");
}

TEST_F(LogonPromptTest, CancelOrNoPromptChangesNothing) {
    const std::string section = Section("news.example");
    CLogonPrompt::Install([](std::string& account, std::string&, const std::string&) {
        account = "typed";
        return false;
    });
    EXPECT_FALSE(CLogonPrompt::Run(m_profile, "news.example"));
    CLogonPrompt::Install({});
    EXPECT_FALSE(CLogonPrompt::Run(m_profile, "news.example"));
    EXPECT_EQ(m_profile.GetProfileInt(section, "Login Required", 7), 7u);
    EXPECT_EQ(m_profile.GetProfileString(section, "Login User", "none"), "none");
}

} // namespace
