// Every control of every dialog has help: the numbers the dialogs give their controls all name
// topics of the shipped help file, and no control a user can reach lacks a number. A new
// dialog joins by adding a line to Dialogs().

#include <QTabBar>
#include <QTabWidget>

#include <cctype>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/CAboutDialog.h"
#include "app/gui/CHelpPropertyPage.h"
#include "app/gui/CHelpPropertySheet.h"
#include "app/gui/HelpIds.h"
#include "nntp/gui/CCertificateDialog.h"
#include "nntp/gui/CLogonDialog.h"
#include "options/CSettings.h"
#include "options/gui/CAddMimeTypeDlg.h"
#include "options/gui/CDecodeOptionsPage.h"
#include "options/gui/CGenOptionsPage.h"
#include "options/gui/CKillFileDlg.h"
#include "options/gui/CKillRuleDlg.h"
#include "options/gui/CMimeOptionsPage.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "platform/StringIds.h"
#include "servers/gui/CGroupDownloadDlg.h"
#include "servers/gui/CNewsgroupsDlg.h"
#include "servers/gui/CServerAdvancedPage.h"
#include "servers/gui/CServerGeneralPage.h"
#include "servers/gui/CServersDlg.h"

namespace {

struct DialogCase {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
};

std::unique_ptr<QWidget> EmptySheet() {
    auto sheet = std::make_unique<CHelpPropertySheet>(ids::kOptions, nullptr);
    sheet->AddPage(new CHelpPropertyPage(1, ids::kOptions));
    return sheet;
}

std::unique_ptr<QWidget> Newsgroups() {
    // A hive in memory only: without servers the dialog reads nothing from it.
    static CHive hive;
    static CProfile profile(hive);
    return std::make_unique<CNewsgroupsDlg>(profile);
}

// What the options pages show; they keep references to it.
CSettings& PageSettings() {
    static CSettings settings;
    return settings;
}

CHive& PageHive() {
    static CHive hive;
    return hive;
}

// A server's sheet as Add (`name` empty) or Properties shows it.
std::unique_ptr<QWidget> ServerSheet(std::string name) {
    static std::string server;
    static CServerRecord::Settings settings;
    server = std::move(name);
    auto sheet = std::make_unique<CHelpPropertySheet>(ids::kAddNewsServer, nullptr);
    sheet->AddPage(new CServerGeneralPage(server, settings));
    sheet->AddPage(new CServerAdvancedPage(settings));
    return sheet;
}

std::vector<DialogCase> Dialogs() {
    static CHive hive;
    static CProfile profile(hive);
    return {
        {"About", [] { return std::make_unique<CAboutDialog>(nullptr, "/"); }},
        {"Logon",
         [] { return std::make_unique<CLogonDialog>("user", "secret", "news.example.com"); }},
        {"Untrusted Certificate",
         [] {
             return std::make_unique<CCertificateDialog>(CertificateDetails{
                 "news.example.com", "it has expired", "news.example.com", "Example CA",
                 "2020-01-01 00:00:00 UTC", "2020-02-01 00:00:00 UTC", std::string(64, 'A')});
         }},
        {"Downloading groups",
         [] { return std::make_unique<CGroupDownloadDlg>("news.example.com"); }},
        {"Property sheet", EmptySheet},
        {"Newsgroups", Newsgroups},
        {"Kill File",
         [] {
             static std::vector<KillRule> rules = {{0, "someone"}, {2, "*.exe"}};
             return std::make_unique<CKillFileDlg>(rules);
         }},
        {"Kill Rule",
         [] {
             return std::make_unique<CKillRuleDlg>(KillRule{1, "*sale*"});
         }},
        {"Options General", [] { return std::make_unique<CGenOptionsPage>(PageSettings()); }},
        {"Options Decode", [] { return std::make_unique<CDecodeOptionsPage>(PageSettings()); }},
        {"Options Mime", [] { return std::make_unique<CMimeOptionsPage>(PageHive()); }},
        {"Add Mime Type", [] { return std::make_unique<CAddMimeTypeDlg>(); }},
        {"Servers", [] { return std::make_unique<CServersDlg>(profile, nullptr); }},
        {"Add News Server", [] { return ServerSheet(""); }},
        {"News Server Properties", [] { return ServerSheet("news.example.com"); }},
    };
}

class DialogHelpTopicsTest : public testing::TestWithParam<DialogCase> {
  protected:
    void SetUp() override { UseRepositoryHelp(); }
};

TEST_P(DialogHelpTopicsTest, EveryHelpNumberHasATopic) {
    const std::unique_ptr<QWidget> dialog = GetParam().make();
    const std::vector<QWidget*> controls = ControlsWithHelp(dialog.get());
    EXPECT_FALSE(controls.empty());
    for (QWidget* control : controls) {
        const uint32_t id = *HelpTopicId(control);
        EXPECT_NE(CContextHelp::HelpFile().Find(id), nullptr)
            << GetParam().name << ": no topic " << CHelpFile::NumberText(id) << " for a "
            << control->metaObject()->className();
    }
}

// The tabs of a sheet (the tab widget, its bar and the bar's scroll buttons) choose a page;
// they are no control of their own.
bool IsPageSelector(const QWidget* widget) {
    if (qobject_cast<const QTabWidget*>(widget) != nullptr)
        return true;
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (qobject_cast<const QTabBar*>(widget) != nullptr)
            return true;
    }
    return false;
}

// Whatever takes the focus (Tab or a click) shows a topic on F1.
TEST_P(DialogHelpTopicsTest, EveryControlAUserCanReachHasHelp) {
    const std::unique_ptr<QWidget> dialog = GetParam().make();
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus) || IsPageSelector(widget))
            continue;
        EXPECT_NE(HelpControl(widget), nullptr)
            << GetParam().name << ": a " << widget->metaObject()->className() << " \""
            << widget->property("text").toString().toStdString() << "\" has no help number";
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogHelpTopicsTest, testing::ValuesIn(Dialogs()),
                         [](const testing::TestParamInfo<DialogCase>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

} // namespace
