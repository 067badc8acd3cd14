#include "nntp/gui/CLogonDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/HelpIds.h"
#include "nntp/CLogonPrompt.h"
#include "support/ProfileHome.h"

namespace {

QLineEdit* Edit(QWidget* dialog, uint32_t id) {
    return qobject_cast<QLineEdit*>(FindControl(dialog, id));
}

QPushButton* Button(QWidget* dialog, uint32_t id) {
    return qobject_cast<QPushButton*>(FindControl(dialog, id));
}

class LogonDialogTest : public testing::Test {
  protected:
    void SetUp() override { UseRepositoryHelp(); }
};

TEST_F(LogonDialogTest, TextsFieldsAndFocus) {
    CLogonDialog dialog("ann", "secret", "news.example.com");
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), "Logon");
    EXPECT_EQ(dialog.TemplateId(), 16u);
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const char* text : {"Please enter your account and password for\nthe following Server.",
                             "&Account:", "&Password:", "Server:", "news.example.com"})
        EXPECT_TRUE(texts.contains(text)) << text;
    EXPECT_EQ(qobject_cast<QLabel*>(FindControl(&dialog, CLogonDialog::kServerField))->text(),
              "news.example.com");
    EXPECT_EQ(Edit(&dialog, CLogonDialog::kAccountEdit)->text(), "ann");
    EXPECT_EQ(Edit(&dialog, CLogonDialog::kPasswordEdit)->text(), "secret");
    EXPECT_EQ(Edit(&dialog, CLogonDialog::kPasswordEdit)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.focusWidget(), Edit(&dialog, CLogonDialog::kAccountEdit));
    EXPECT_EQ(Button(&dialog, 1)->text(), "OK");
    EXPECT_EQ(Button(&dialog, 2)->text(), "Cancel");
}

TEST_F(LogonDialogTest, OkReturnsTheEditedValues) {
    std::string account = "ann";
    std::string password = "old";
    WhenOpen([](QWidget* dialog) {
        QLineEdit* accountEdit = Edit(dialog, CLogonDialog::kAccountEdit);
        accountEdit->selectAll();
        QTest::keyClicks(accountEdit, "bob");
        QTest::keyClick(accountEdit, Qt::Key_Tab);
        QLineEdit* passwordEdit = Edit(dialog, CLogonDialog::kPasswordEdit);
        EXPECT_EQ(dialog->focusWidget(), passwordEdit);
        passwordEdit->selectAll();
        QTest::keyClicks(passwordEdit, "n3w pass");
        QTest::mouseClick(Button(dialog, 1), Qt::LeftButton);
    });
    EXPECT_TRUE(CLogonDialog::Ask(account, password, "news.example.com", nullptr));
    EXPECT_EQ(account, "bob");
    EXPECT_EQ(password, "n3w pass");
}

TEST_F(LogonDialogTest, EnterConfirmsAndUntouchedFieldsKeepTheirBytes) {
    std::string account = "j\xF6rg"; // Latin-1, not UTF-8
    std::string password = "pw";
    WhenOpen([](QWidget* dialog) {
        EXPECT_EQ(Edit(dialog, CLogonDialog::kAccountEdit)->text(), QString::fromUtf8("jörg"));
        QTest::keyClick(Edit(dialog, CLogonDialog::kAccountEdit), Qt::Key_Return);
    });
    EXPECT_TRUE(CLogonDialog::Ask(account, password, "news.example.com", nullptr));
    EXPECT_EQ(account, "j\xF6rg");
    EXPECT_EQ(password, "pw");
}

TEST_F(LogonDialogTest, CancelReturnsFalseAndChangesNothing) {
    std::string account = "ann";
    std::string password = "secret";
    WhenOpen([](QWidget* dialog) {
        QTest::keyClicks(Edit(dialog, CLogonDialog::kAccountEdit), "xyz");
        QTest::mouseClick(Button(dialog, 2), Qt::LeftButton);
    });
    EXPECT_FALSE(CLogonDialog::Ask(account, password, "news.example.com", nullptr));
    EXPECT_EQ(account, "ann");
    EXPECT_EQ(password, "secret");

    WhenOpen([](QWidget* dialog) {
        QTest::keyClick(Edit(dialog, CLogonDialog::kAccountEdit), Qt::Key_Escape);
    });
    EXPECT_FALSE(CLogonDialog::Ask(account, password, "news.example.com", nullptr));
}

// Installed as the logon prompt, the dialog's values reach the server's record.
TEST_F(LogonDialogTest, AsTheLogonPrompt) {
    ProfileHome home;
    home.profile.WriteProfileString("Servers\\news.example.com", "Login User", "ann");
    CLogonPrompt::Install([](std::string& account, std::string& password, const std::string& s) {
        return CLogonDialog::Ask(account, password, s, nullptr);
    });
    WhenOpen([](QWidget* dialog) {
        EXPECT_EQ(Edit(dialog, CLogonDialog::kAccountEdit)->text(), "ann");
        QTest::keyClicks(Edit(dialog, CLogonDialog::kPasswordEdit), "pw");
        QTest::mouseClick(Button(dialog, 1), Qt::LeftButton);
    });
    EXPECT_TRUE(CLogonPrompt::Run(home.profile, "news.example.com"));
    CLogonPrompt::Install(nullptr);
    EXPECT_EQ(home.profile.GetProfileInt("Servers\\news.example.com", "Login Required", 0), 1u);
    EXPECT_EQ(home.profile.GetProfileString("Servers\\news.example.com", "Login Password"), "pw");
}

TEST_F(LogonDialogTest, F1OnAFieldShowsItsTopic) {
    CLogonDialog dialog("ann", "secret", "news.example.com");
    dialog.show();
    PopupRecorder recorder;
    QLineEdit* password = Edit(&dialog, CLogonDialog::kPasswordEdit);
    password->setFocus();
    QTest::keyClick(password, Qt::Key_F1);
    ASSERT_EQ(recorder.Popups().size(), 1u);
    EXPECT_EQ(recorder.Popups()[0].control, password);
    ASSERT_EQ(TopicTitle(CLogonDialog::kPasswordEdit), "Password");
    EXPECT_TRUE(recorder.Popups()[0].text.contains("Password"));
}

TEST_F(LogonDialogTest, ControlCharactersOfTheServerNameDoNotReachTheScreen) {
    CLogonDialog dialog("", "", "news\x1B[2J.example.com");
    const QString shown =
        qobject_cast<QLabel*>(FindControl(&dialog, CLogonDialog::kServerField))->text();
    EXPECT_FALSE(shown.contains(QChar(0x1B)));
    EXPECT_TRUE(shown.contains(".example.com"));
}

} // namespace
