#include "app/gui/CAboutDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/AboutFigures.h"
#include "app/gui/HelpIds.h"
#include "support/TempHome.h"

namespace {

QString FieldText(QWidget* dialog, uint32_t id) {
    auto* label = qobject_cast<QLabel*>(FindControl(dialog, id));
    return label != nullptr ? label->text() : QString();
}

QStringList Texts(QWidget* dialog) {
    QStringList texts;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

class AboutDialogTest : public testing::Test {
  protected:
    void SetUp() override { UseRepositoryHelp(); }
    TestHome m_home;
};

TEST_F(AboutDialogTest, TitleNameVersionAndLabels) {
    CAboutDialog dialog;
    EXPECT_EQ(dialog.TemplateId(), 100u);
    EXPECT_EQ(dialog.windowTitle(), "About Hollowfen Gleanwick");
    const QStringList texts = Texts(&dialog);
    for (const char* text :
         {"Hollowfen Gleanwick", "Version 2.0", "Memory Available:", "Disk Space Available:"})
        EXPECT_TRUE(texts.contains(text)) << text;
    auto* ok = qobject_cast<QPushButton*>(FindControl(&dialog, 1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
}

// The figures of the program folder's file system (here the test's own folder).
TEST_F(AboutDialogTest, MemoryAndDiskFigures) {
    CAboutDialog dialog;
    EXPECT_EQ(FieldText(&dialog, CAboutDialog::kMemoryField),
              QString::fromStdString(MemoryAvailableText()));
    EXPECT_TRUE(FieldText(&dialog, CAboutDialog::kMemoryField).endsWith(" KB"));
    const std::optional<DiskSpace> space = QueryDiskSpace(m_home.Path());
    ASSERT_TRUE(space);
    EXPECT_TRUE(FieldText(&dialog, CAboutDialog::kDiskField)
                    .endsWith(" KB Free on " + QString::fromStdString(space->mountPoint)))
        << FieldText(&dialog, CAboutDialog::kDiskField).toStdString();
}

TEST_F(AboutDialogTest, DiskFigureUnavailableWhenTheQueryFails) {
    CAboutDialog dialog(nullptr, "/nonexistent/gleanwick");
    EXPECT_EQ(FieldText(&dialog, CAboutDialog::kDiskField), "Unavailable");
}

TEST_F(AboutDialogTest, OkHasTheFocusAndCloses) {
    CAboutDialog dialog;
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    auto* ok = qobject_cast<QPushButton*>(FindControl(&dialog, 1));
    EXPECT_EQ(dialog.focusWidget(), ok);
    EXPECT_TRUE(ok->isDefault());
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(AboutDialogTest, WhatsThisOnAFigureShowsItsTopic) {
    CAboutDialog dialog;
    dialog.show();
    const uint32_t memoryTopic = DialogHelpId(100, CAboutDialog::kMemoryField);
    ASSERT_EQ(TopicTitle(memoryTopic), "Memory Available");
    EXPECT_EQ(FindControl(&dialog, CAboutDialog::kMemoryField)->whatsThis(),
              CContextHelp::TopicText(memoryTopic));
}

} // namespace
