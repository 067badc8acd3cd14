#include "app/gui/CContextHelp.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/CHelpDialog.h"
#include "app/gui/HelpIds.h"
#include "support/TempHome.h"

namespace {

constexpr uint32_t kEditId = 1008;
constexpr uint32_t kComboId = 3000;
constexpr uint32_t kButtonId = 3001;
constexpr uint32_t kButtonContext = 0x80990BB9;
constexpr uint32_t kUnknownId = 3002;

// A dialog of the kinds of controls the program's dialogs have.
class SampleDialog : public CHelpDialog {
  public:
    SampleDialog() : CHelpDialog(99, nullptr) {
        auto* layout = new QVBoxLayout(this);
        label = new QLabel("&Account:", this);
        edit = new QLineEdit(this);
        label->setBuddy(edit);
        combo = new QComboBox(this);
        combo->setEditable(true);
        button = new QPushButton("Go", this);
        unknown = new QPushButton("Unknown", this);
        plain = new QPushButton("Plain", this);
        for (QWidget* widget :
             std::initializer_list<QWidget*>{label, edit, combo, button, unknown, plain})
            layout->addWidget(widget);
        SetControlId(edit, kEditId);
        SetControlId(combo, kComboId);
        SetControlId(button, kButtonId);
        SetHelpContextId(button, kButtonContext);
        SetControlId(unknown, kUnknownId);
    }
    QLabel* label;
    QLineEdit* edit;
    QComboBox* combo;
    QPushButton* button;
    QPushButton* unknown;
    QPushButton* plain; // no number: no help
};

class ContextHelpTest : public testing::Test {
  protected:
    void SetUp() override {
        TestApplication<QApplication>();
        WriteFile(m_folder / "Gleanwick.hlp", "== Sample ==\n"
                                              "[1008] Account\nThe account.\n"
                                              "[3000] Choice\nPick one.\n"
                                              "[3001] Go by number\nNot shown: the context wins.\n"
                                              "[0x80990BB9] Go\nStarts.\n");
        CContextHelp::UseHelpFile(m_folder / "Gleanwick.hlp");
    }
    void TearDown() override { CContextHelp::UseHelpFile(RepositoryHelpFile()); }

    // F1 on the control, as a user presses it, and the popups it brought.
    std::vector<PopupRecorder::Popup> PressF1(QWidget* control) {
        PopupRecorder recorder;
        control->setFocus();
        QTest::keyClick(control, Qt::Key_F1);
        return recorder.Popups();
    }

    TempFolder m_folder;
};

TEST_F(ContextHelpTest, TopicTextHasTitleAndParagraphs) {
    const QString text = CContextHelp::TopicText(kEditId);
    EXPECT_EQ(text, "<p><b>Account</b></p><p>The account.</p>");
}

TEST_F(ContextHelpTest, MissingTopicsAndFilesAreSaidInThePopup) {
    EXPECT_EQ(CContextHelp::TopicText(kUnknownId), "No help topic 3002 in the help file.");
    EXPECT_EQ(CContextHelp::TopicText(0x80640001), "No help topic 0x80640001 in the help file.");
    CContextHelp::UseHelpFile(m_folder / "absent.hlp");
    EXPECT_EQ(CContextHelp::TopicText(kEditId),
              "No help topic 1008: the help file Gleanwick.hlp was not found.");
}

TEST_F(ContextHelpTest, TitlesAndTextAreNotReadAsMarkup) {
    WriteFile(m_folder / "markup.hlp", "[5] <b>bold</b> & co\nx < y\n");
    CContextHelp::UseHelpFile(m_folder / "markup.hlp");
    EXPECT_EQ(CContextHelp::TopicText(5),
              "<p><b>&lt;b&gt;bold&lt;/b&gt; &amp; co</b></p><p>x &lt; y</p>");
}

// The help context ID comes before the control ID; a control with neither shows nothing; a
// control whose topic is missing says so.
TEST_F(ContextHelpTest, ContextIdBeforeControlIdBeforeNothing) {
    SampleDialog dialog;
    dialog.show();
    auto popups = PressF1(dialog.button);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].control, dialog.button);
    EXPECT_TRUE(popups[0].text.contains("Starts.")) << popups[0].text.toStdString();

    EXPECT_TRUE(PressF1(dialog.plain).empty());

    popups = PressF1(dialog.unknown);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].text, "No help topic 3002 in the help file.");
}

// The line edit inside an editable combo box has the focus; the help is the combo box's.
TEST_F(ContextHelpTest, PartsOfACompoundControlShowTheControlsTopic) {
    SampleDialog dialog;
    dialog.show();
    ASSERT_NE(dialog.combo->lineEdit(), nullptr);
    const auto popups = PressF1(dialog.combo->lineEdit());
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].control, dialog.combo);
    EXPECT_TRUE(popups[0].text.contains("Pick one.")) << popups[0].text.toStdString();
}

// Other keys keep working as before: Escape still closes the dialog.
TEST_F(ContextHelpTest, OtherKeysReachTheDialog) {
    SampleDialog dialog;
    dialog.show();
    PopupRecorder recorder;
    QTest::keyClick(dialog.edit, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(recorder.Popups().empty());
}

// What's This mode (the caption's question mark) shows each control's whatsThis, set from the
// help file when the dialog is shown; a label shows the topic of the control it names.
TEST_F(ContextHelpTest, WhatsThisTextsAreSetWhenTheDialogIsShown) {
    SampleDialog dialog;
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    dialog.show();
    EXPECT_EQ(dialog.edit->whatsThis(), CContextHelp::TopicText(kEditId));
    EXPECT_EQ(dialog.label->whatsThis(), CContextHelp::TopicText(kEditId));
    EXPECT_EQ(dialog.button->whatsThis(), CContextHelp::TopicText(kButtonContext));
    EXPECT_TRUE(dialog.plain->whatsThis().isEmpty());
}

// The popup Qt shows in What's This mode, if one is up.
bool WhatsThisPopupShown() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QWhatsThat") && widget->isVisible())
            return true;
    }
    return false;
}

TEST_F(ContextHelpTest, AClickInWhatsThisModeShowsThePopup) {
    SampleDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CContextHelp::EnterContextHelpMode();
    EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
    QTest::mouseClick(dialog.edit, Qt::LeftButton);
    EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
    EXPECT_TRUE(WhatsThisPopupShown());
    QWhatsThis::hideText();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(WhatsThisPopupShown());

    // A control without help: nothing to show.
    CContextHelp::EnterContextHelpMode();
    QTest::mouseClick(dialog.plain, Qt::LeftButton);
    EXPECT_FALSE(WhatsThisPopupShown());
    QWhatsThis::leaveWhatsThisMode();
}

TEST_F(ContextHelpTest, MainWindowPartsGetTheirTopics) {
    QWidget pane;
    QAction action("Extract");
    CContextHelp::SetHelpTopic(&pane, kComboId);
    CContextHelp::SetHelpTopic(&action, kEditId);
    EXPECT_EQ(HelpTopicId(&pane), kComboId);
    EXPECT_EQ(pane.whatsThis(), CContextHelp::TopicText(kComboId));
    EXPECT_EQ(action.whatsThis(), CContextHelp::TopicText(kEditId));
}

TEST(ContextHelpPathsTest, TheFileIsLookedForBesideTheProgramThenInShare) {
    TestApplication<QApplication>();
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    const std::string parent = dir.substr(0, dir.rfind('/'));
    EXPECT_EQ(CContextHelp::SearchPaths(),
              (std::vector<std::string>{dir + "/Gleanwick.hlp",
                                        parent + "/share/gleanwick/Gleanwick.hlp"}));
}

} // namespace
