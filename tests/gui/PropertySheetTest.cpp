#include "app/gui/CHelpPropertySheet.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/CHelpPropertyPage.h"
#include "app/gui/HelpIds.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

constexpr uint32_t kCheckBoxId = 1011;

// How a derived page looks: it shows a copy of a setting, refuses while told to, and stores the
// copy back only when applied.
class SamplePage : public CHelpPropertyPage {
  public:
    SamplePage(unsigned captionId, bool& setting, std::vector<std::string>& calls)
        : CHelpPropertyPage(2000, captionId), box(new QCheckBox("&Generate Logfile", this)),
          m_setting(setting), m_calls(calls) {
        (new QVBoxLayout(this))->addWidget(box);
        SetControlId(box, kCheckBoxId);
        box->setChecked(setting);
    }
    bool Validate() override {
        m_calls.push_back("validate " + Caption().toStdString());
        return !refuse;
    }
    void Apply() override {
        m_calls.push_back("apply " + Caption().toStdString());
        m_setting = box->isChecked();
    }

    QCheckBox* box;
    bool refuse = false;

  private:
    bool& m_setting;
    std::vector<std::string>& m_calls;
};

class PropertySheetTest : public testing::Test {
  protected:
    void SetUp() override { UseRepositoryHelp(); }

    // A sheet "Options" with the pages "General" (string 1, "All") and "Subscribed" (2).
    std::unique_ptr<CHelpPropertySheet> MakeSheet(int selectPage = 0) {
        auto sheet = std::make_unique<CHelpPropertySheet>(ids::kOptions, nullptr, selectPage);
        first = new SamplePage(ids::kTabAll, firstSetting, calls);
        second = new SamplePage(ids::kTabSubscribed, secondSetting, calls);
        sheet->AddPage(first);
        sheet->AddPage(second);
        return sheet;
    }
    static QPushButton* Button(QWidget* sheet, uint32_t id) {
        return qobject_cast<QPushButton*>(FindControl(sheet, id));
    }

    bool firstSetting = false;
    bool secondSetting = false;
    std::vector<std::string> calls;
    SamplePage* first = nullptr;
    SamplePage* second = nullptr;
};

TEST_F(PropertySheetTest, CaptionTabsAndThePageShownFirst) {
    auto sheet = MakeSheet(1);
    EXPECT_EQ(sheet->windowTitle(), "Options");
    auto* tabs = sheet->findChild<QTabWidget*>();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "All");
    EXPECT_EQ(tabs->tabText(1), "Subscribed");
    EXPECT_EQ(sheet->CurrentPage(), second);
    EXPECT_EQ(MakeSheet()->CurrentPage()->Caption(), "All");
    EXPECT_TRUE(calls.empty()); // building the sheet validates nothing
}

// OK and Cancel only, at the bottom right, OK first; F1 on them shows the sheets' topics.
TEST_F(PropertySheetTest, OkAndCancelCarryTheSheetsHelpIds) {
    auto sheet = MakeSheet();
    sheet->show();
    QPushButton* ok = Button(sheet.get(), 1);
    QPushButton* cancel = Button(sheet.get(), 2);
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(sheet->findChildren<QPushButton*>().size(), 2);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_LT(ok->geometry().right(), cancel->geometry().left());
    EXPECT_GT(cancel->geometry().right(), sheet->width() * 3 / 4);
    EXPECT_GT(ok->geometry().top(), sheet->findChild<QTabWidget*>()->geometry().bottom());
    EXPECT_EQ(HelpTopicId(ok), helpids::kSheetOk);
    EXPECT_EQ(HelpTopicId(cancel), helpids::kSheetCancel);

    for (auto [button, id] : {std::pair{ok, helpids::kSheetOk}, {cancel, helpids::kSheetCancel}}) {
        PopupRecorder recorder;
        button->setFocus();
        QTest::keyClick(button, Qt::Key_F1);
        ASSERT_EQ(recorder.Popups().size(), 1u);
        EXPECT_EQ(recorder.Popups()[0].text, CContextHelp::TopicText(id));
        EXPECT_TRUE(recorder.Popups()[0].text.contains(TopicTitle(id)));
    }
}

TEST_F(PropertySheetTest, F1OnAPageControlShowsItsTopic) {
    auto sheet = MakeSheet();
    sheet->show();
    PopupRecorder recorder;
    first->box->setFocus();
    QTest::keyClick(first->box, Qt::Key_F1);
    ASSERT_EQ(recorder.Popups().size(), 1u);
    EXPECT_EQ(recorder.Popups()[0].control, first->box);
    EXPECT_EQ(recorder.Popups()[0].text, CContextHelp::TopicText(kCheckBoxId));
}

TEST_F(PropertySheetTest, OkValidatesEveryPageThenAppliesEveryPage) {
    auto sheet = MakeSheet(1);
    sheet->show();
    first->box->setChecked(true);
    QTest::mouseClick(Button(sheet.get(), 1), Qt::LeftButton);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_FALSE(sheet->isVisible());
    // The page in view first.
    EXPECT_EQ(calls, (std::vector<std::string>{"validate Subscribed", "validate All", "apply All",
                                               "apply Subscribed"}));
    EXPECT_TRUE(firstSetting);
}

// A page that refuses is made current; nothing is applied and the sheet stays open.
TEST_F(PropertySheetTest, ARefusingPageKeepsTheSheetOpen) {
    auto sheet = MakeSheet(1);
    sheet->show();
    first->refuse = true;
    first->box->setChecked(true);
    QTest::mouseClick(Button(sheet.get(), 1), Qt::LeftButton);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->CurrentPage(), first);
    EXPECT_FALSE(firstSetting);
    EXPECT_EQ(calls, (std::vector<std::string>{"validate Subscribed", "validate All"}));

    first->refuse = false;
    calls.clear();
    QTest::mouseClick(Button(sheet.get(), 1), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_TRUE(firstSetting);
}

TEST_F(PropertySheetTest, CancelAppliesNothing) {
    auto sheet = MakeSheet();
    sheet->show();
    first->box->setChecked(true);
    QTest::mouseClick(Button(sheet.get(), 2), Qt::LeftButton);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(firstSetting);
}

// Leaving a page validates it; a page that refuses keeps the user on it.
TEST_F(PropertySheetTest, LeavingAPageValidatesIt) {
    auto sheet = MakeSheet();
    sheet->show();
    auto* tabs = sheet->findChild<QTabWidget*>();
    first->refuse = true;
    tabs->setCurrentIndex(1);
    EXPECT_EQ(sheet->CurrentPage(), first);
    EXPECT_EQ(calls, std::vector<std::string>{"validate All"});

    first->refuse = false;
    tabs->setCurrentIndex(1);
    EXPECT_EQ(sheet->CurrentPage(), second);
    tabs->setCurrentIndex(0);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"validate All", "validate All", "validate Subscribed"}));
}

} // namespace
