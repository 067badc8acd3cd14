#include "options/gui/COptionsSheet.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/HelpIds.h"
#include "options/CMimeTable.h"
#include "options/CSettings.h"
#include "options/gui/CAddMimeTypeDlg.h"
#include "options/gui/CDecodeOptionsPage.h"
#include "options/gui/CGenOptionsPage.h"
#include "options/gui/CMimeOptionsPage.h"
#include "options/gui/CMimeTypeModel.h"
#include "platform/CHive.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"
#include "support/TempHome.h"

namespace {

using Rows = std::vector<std::pair<std::string, uint32_t>>;

template <class Control> Control* Find(QWidget* root, uint32_t id) {
    auto* control = qobject_cast<Control*>(FindControl(root, id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

// A check box or radio button reacts to its box and its text only, so the click goes to its
// left end.
void Click(QWidget* root, uint32_t id) {
    QAbstractButton* button = Find<QAbstractButton>(root, id);
    const bool box = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    const QPoint centre = button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, box ? QPoint(6, centre.y()) : centre);
}

void Type(QWidget* root, uint32_t id, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(root, id);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

Rows RowsOf(const std::vector<MimeActionEntry>& table) {
    Rows rows;
    for (const MimeActionEntry& entry : table)
        rows.emplace_back(entry.type, entry.action);
    return rows;
}

// Every check box of the sheet and the flag it edits.
const std::pair<uint32_t, bool CSettings::*> kCheckBoxes[] = {
    {CGenOptionsPage::kDeleteFails, &CSettings::m_bDeleteFails},
    {CGenOptionsPage::kCheckVer, &CSettings::m_bCheckVer},
    {CGenOptionsPage::kBackupNewsrc, &CSettings::m_bBackupNewsrc},
    {CGenOptionsPage::kGroupDirs, &CSettings::m_bGroupDirs},
    {CGenOptionsPage::kLog, &CSettings::m_bLog},
    {CGenOptionsPage::kAutoStart, &CSettings::m_bAutoStart},
    {CGenOptionsPage::kAutoExit, &CSettings::m_bAutoExit},
    {CDecodeOptionsPage::kReplies, &CSettings::m_bDecodeReplies},
    {CDecodeOptionsPage::kNoSubject, &CSettings::m_bDecodeNoSubject},
    {CDecodeOptionsPage::kNoLines, &CSettings::m_bDecodeNoLines},
    {CDecodeOptionsPage::kNoPartID, &CSettings::m_bDecodeNoPartID}, // last: it greys the others
};

class OptionsSheetTest : public testing::Test {
  protected:
    void SetUp() override {
        UseRepositoryHelp();
        hive.SetDword(CMimeTable::kKey, "video", 0);
        hive.SetDword(CMimeTable::kKey, "image", 1);
        hive.SetDword(CMimeTable::kKey, "application/zip", 5);
    }

    std::unique_ptr<COptionsSheet> OpenSheet(int page = 0) {
        auto sheet = std::make_unique<COptionsSheet>(settings, hive);
        sheet->show();
        ShowPage(sheet.get(), page);
        return sheet;
    }
    static QTabWidget* Tabs(QWidget* sheet) { return sheet->findChild<QTabWidget*>(); }
    // Clicks the page's tab; the page is laid out at once, as it is before a user can click.
    static void ShowPage(QWidget* sheet, int index) {
        Tabs(sheet)->setCurrentIndex(index);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    static void ShowPageOf(QWidget* sheet, uint32_t controlId) {
        ShowPage(sheet, Tabs(sheet)->indexOf(FindControl(sheet, controlId)->parentWidget()));
    }
    static QTreeView* List(COptionsSheet& sheet) {
        return Find<QTreeView>(sheet.MimePage(), CMimeOptionsPage::kTypeList);
    }
    static void SelectRow(COptionsSheet& sheet, int row) {
        QTreeView* list = List(sheet);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    // Answers the next "Add/Edit Mime Type" dialog.
    static void AnswerMimeDialog(const QString& type, uint32_t radio) {
        WhenOpen([type, radio](QWidget* dialog) {
            ASSERT_NE(qobject_cast<CAddMimeTypeDlg*>(dialog), nullptr);
            Type(dialog, CAddMimeTypeDlg::kTypeEdit, type);
            Click(dialog, radio);
            Click(dialog, 1);
        });
    }
    // Notes the text of the next message box and closes it.
    void CatchMessage() {
        WhenOpen([this](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            messages.push_back(box->text().toStdString());
            box->accept();
        });
    }
    Rows StoredRows() const { return RowsOf(CMimeTable::LoadMimeTable(hive)); }

    TestHome home; // the program folder, where the default decode folder lies
    CSettings settings;
    CHive hive;
    std::vector<std::string> messages;
};

TEST_F(OptionsSheetTest, CaptionPagesAndFirstPage) {
    auto sheet = OpenSheet();
    EXPECT_EQ(sheet->windowTitle(), "Options");
    QTabWidget* tabs = Tabs(sheet.get());
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "General");
    EXPECT_EQ(tabs->tabText(1), "Decode");
    EXPECT_EQ(tabs->tabText(2), "Mime");
    const COptionsSheet fresh(settings, hive);
    EXPECT_EQ(fresh.CurrentPage(), fresh.GeneralPage());
    EXPECT_EQ(sheet->findChildren<QPushButton*>().size(), 2 + 1 + 3)
        << "OK, Cancel, Browse, Mime's";
}

// Each check box edits its own flag, and only on OK.
TEST_F(OptionsSheetTest, EveryCheckBoxStoresItsFlagOnOk) {
    const CSettings before = settings;
    auto sheet = OpenSheet();
    for (auto [id, member] : kCheckBoxes) {
        auto* box = Find<QCheckBox>(sheet.get(), id);
        EXPECT_EQ(box->isChecked(), settings.*member) << id;
        ShowPageOf(sheet.get(), id);
        Click(sheet.get(), id);
    }
    for (auto [id, member] : kCheckBoxes)
        EXPECT_EQ(settings.*member, before.*member) << "changed before OK: " << id;
    Click(sheet.get(), 1);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    for (auto [id, member] : kCheckBoxes)
        EXPECT_EQ(settings.*member, !(before.*member)) << id;
}

TEST_F(OptionsSheetTest, CancelAfterEditingEveryPageChangesNothing) {
    const CSettings before = settings;
    hive.Load(home / "HKCU.reg");
    hive.SetDword(CMimeTable::kKey, "image", 1);
    ASSERT_TRUE(hive.Save());
    auto sheet = OpenSheet();
    for (auto [id, member] : kCheckBoxes) {
        ShowPageOf(sheet.get(), id);
        Click(sheet.get(), id);
    }
    ShowPage(sheet.get(), 0);
    Type(sheet.get(), CGenOptionsPage::kDecodeDir, "/srv/news");
    ShowPage(sheet.get(), 1);
    Click(sheet.get(), CDecodeOptionsPage::kNoPartID); // the line counts are enabled again
    Type(sheet.get(), CDecodeOptionsPage::kMinLines, "1");
    Type(sheet.get(), CDecodeOptionsPage::kMaxLines, "2");
    ShowPage(sheet.get(), 2);
    AnswerMimeDialog("text", CAddMimeTypeDlg::kIgnoreRadio);
    Click(sheet.get(), CMimeOptionsPage::kAdd);
    SelectRow(*sheet, 0);
    Click(sheet.get(), CMimeOptionsPage::kRemove);
    EXPECT_EQ(sheet->MimePage()->Model().rowCount(), 1);

    Click(sheet.get(), 2);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    for (auto [id, member] : kCheckBoxes)
        EXPECT_EQ(settings.*member, before.*member) << id;
    EXPECT_EQ(settings.m_DecodeDir, before.m_DecodeDir);
    EXPECT_EQ(settings.m_uMinLines, before.m_uMinLines);
    EXPECT_EQ(settings.m_uMaxLines, before.m_uMaxLines);
    EXPECT_FALSE(hive.IsModified());
    EXPECT_EQ(StoredRows(), (Rows{{"image", 1}}));
}

TEST_F(OptionsSheetTest, DecodeFolderGetsItsClosingSlashOnOk) {
    for (auto [typed, stored] : {std::pair{"/srv/out", "/srv/out/"},
                                 {"/srv/out/", "/srv/out/"},
                                 {"relative", "relative/"}}) {
        auto sheet = OpenSheet();
        Type(sheet.get(), CGenOptionsPage::kDecodeDir, typed);
        Click(sheet.get(), 1);
        EXPECT_EQ(settings.m_DecodeDir, stored);
    }
}

// A decode folder left as it was keeps its bytes, also when they are not UTF-8.
TEST_F(OptionsSheetTest, AnUntouchedDecodeFolderKeepsItsBytes) {
    settings.m_DecodeDir = "/srv/caf\xe9/";
    auto sheet = OpenSheet();
    EXPECT_EQ(Find<QLineEdit>(sheet.get(), CGenOptionsPage::kDecodeDir)->text(),
              QString::fromUtf8("/srv/caf\u00e9/"));
    Click(sheet.get(), 1);
    EXPECT_EQ(settings.m_DecodeDir, "/srv/caf\xe9/");
}

TEST_F(OptionsSheetTest, BrowsePutsTheChosenFolderInTheField) {
    auto sheet = OpenSheet();
    std::vector<QString> startedAt;
    QString answer = "/home/ann/pictures";
    sheet->GeneralPage()->SetFolderChooser([&](QWidget* parent, const QString& current) {
        EXPECT_EQ(parent, sheet->GeneralPage());
        startedAt.push_back(current);
        return answer;
    });
    Type(sheet.get(), CGenOptionsPage::kDecodeDir, "/srv/out");
    Click(sheet.get(), CGenOptionsPage::kBrowse);
    EXPECT_EQ(Find<QLineEdit>(sheet.get(), CGenOptionsPage::kDecodeDir)->text(),
              "/home/ann/pictures");
    answer.clear(); // the user cancels the browser
    Click(sheet.get(), CGenOptionsPage::kBrowse);
    EXPECT_EQ(startedAt, (std::vector<QString>{"/srv/out", "/home/ann/pictures"}));
    EXPECT_EQ(Find<QLineEdit>(sheet.get(), CGenOptionsPage::kDecodeDir)->text(),
              "/home/ann/pictures");
    Click(sheet.get(), 1);
    EXPECT_EQ(settings.m_DecodeDir, "/home/ann/pictures/");
}

// An empty folder would become "/": the sheet refuses it.
TEST_F(OptionsSheetTest, AnEmptyDecodeFolderKeepsTheSheetOpen) {
    const std::string before = settings.m_DecodeDir;
    auto sheet = OpenSheet(1);
    ShowPage(sheet.get(), 0);
    Type(sheet.get(), CGenOptionsPage::kDecodeDir, "   ");
    CatchMessage();
    ShowPage(sheet.get(), 1);
    CatchMessage();
    Click(sheet.get(), 1);
    EXPECT_EQ(messages, std::vector<std::string>(2, CStringTable::Load(ids::kEnterDecodeFolder)));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->CurrentPage(), sheet->GeneralPage());
    EXPECT_EQ(settings.m_DecodeDir, before);
}

TEST_F(OptionsSheetTest, ClearingPartIdentifiersGreysOutTheFiveControlsBelowIt) {
    auto sheet = OpenSheet(1);
    CDecodeOptionsPage* page = sheet->DecodePage();
    const uint32_t dependents[] = {CDecodeOptionsPage::kReplies, CDecodeOptionsPage::kNoSubject,
                                   CDecodeOptionsPage::kNoLines, CDecodeOptionsPage::kMinLines,
                                   CDecodeOptionsPage::kMaxLines};
    Click(page, CDecodeOptionsPage::kReplies);
    Type(page, CDecodeOptionsPage::kMinLines, "10");
    Click(page, CDecodeOptionsPage::kNoPartID);
    for (uint32_t id : dependents)
        EXPECT_FALSE(FindControl(page, id)->isEnabled()) << id;
    for (QLabel* label : page->findChildren<QLabel*>())
        EXPECT_FALSE(label->isEnabled()) << label->text().toStdString();
    Click(sheet.get(), 1);
    EXPECT_FALSE(settings.m_bDecodeNoPartID);
    EXPECT_TRUE(settings.m_bDecodeReplies) << "kept while greyed out";
    EXPECT_EQ(settings.m_uMinLines, 10u);

    settings.m_bDecodeNoPartID = false;
    auto reopened = OpenSheet(1);
    EXPECT_FALSE(FindControl(reopened.get(), CDecodeOptionsPage::kMaxLines)->isEnabled());
    Click(reopened.get(), CDecodeOptionsPage::kNoPartID);
    for (uint32_t id : dependents)
        EXPECT_TRUE(FindControl(reopened.get(), id)->isEnabled()) << id;
}

TEST_F(OptionsSheetTest, LineCountsAcceptUnsignedIntegersOnly) {
    auto sheet = OpenSheet(1);
    Type(sheet.get(), CDecodeOptionsPage::kMaxLines, "many");
    CatchMessage();
    ShowPage(sheet.get(), 0); // leaving the page is refused
    EXPECT_EQ(sheet->CurrentPage(), sheet->DecodePage());
    CatchMessage();
    Click(sheet.get(), 1);
    EXPECT_EQ(messages, std::vector<std::string>(2, "Please enter a positive integer."));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->focusWidget(), FindControl(sheet.get(), CDecodeOptionsPage::kMaxLines));
    EXPECT_EQ(settings.m_uMaxLines, 4294967295u);

    Type(sheet.get(), CDecodeOptionsPage::kMaxLines, " 4294967295 ");
    Type(sheet.get(), CDecodeOptionsPage::kMinLines, "0");
    Click(sheet.get(), 1);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(settings.m_uMinLines, 0u);
    EXPECT_EQ(settings.m_uMaxLines, 4294967295u);

    for (const char* refused :
         {"", " ", "-1", "+1", "4294967296", "99999999999999999999", "1 2", "0x10", "\u0663"})
        EXPECT_FALSE(CDecodeOptionsPage::ParseUnsigned(QString::fromUtf8(refused))) << refused;
    EXPECT_EQ(CDecodeOptionsPage::ParseUnsigned("007"), 7u);
}

// A bad number typed before the box above it was cleared still stops OK; the box that brings
// the field back gets the focus.
TEST_F(OptionsSheetTest, ABadNumberInAGreyedOutFieldPointsAtItsBox) {
    auto sheet = OpenSheet(1);
    Type(sheet.get(), CDecodeOptionsPage::kMinLines, "ten");
    Click(sheet.get(), CDecodeOptionsPage::kNoPartID);
    CatchMessage();
    Click(sheet.get(), 1);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->focusWidget(), FindControl(sheet.get(), CDecodeOptionsPage::kNoPartID));
}

TEST_F(OptionsSheetTest, MimePageShowsTheTableInItsOrderOnceShown) {
    auto sheet = OpenSheet();
    EXPECT_FALSE(sheet->MimePage()->IsLoaded());
    ShowPage(sheet.get(), 2);
    ASSERT_TRUE(sheet->MimePage()->IsLoaded());
    const QAbstractItemModel* model = List(*sheet)->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Type");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Action");
    const char* expected[][2] = {
        {"video", "Ignore"}, {"image", "Extract"}, {"application/zip", "Extract"}};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(model->index(row, 0).data().toString(), expected[row][0]);
        EXPECT_EQ(model->index(row, 1).data().toString(), expected[row][1]);
        EXPECT_FALSE(model->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    }
    EXPECT_FALSE(FindControl(sheet.get(), CMimeOptionsPage::kRemove)->isEnabled());
    EXPECT_FALSE(FindControl(sheet.get(), CMimeOptionsPage::kEdit)->isEnabled());
    SelectRow(*sheet, 1);
    EXPECT_TRUE(FindControl(sheet.get(), CMimeOptionsPage::kRemove)->isEnabled());
    EXPECT_TRUE(FindControl(sheet.get(), CMimeOptionsPage::kEdit)->isEnabled());
    // The columns share the width.
    const QTreeView* list = List(*sheet);
    EXPECT_NEAR(list->columnWidth(0), list->viewport()->width() / 2, 1);
}

TEST_F(OptionsSheetTest, IconsFollowTheMajorTypeLetterCaseIgnored) {
    EXPECT_STREQ(CMimeTypeModel::IconName("text/plain"), "mime-text");
    EXPECT_STREQ(CMimeTypeModel::IconName("TEXT"), "mime-text");
    EXPECT_STREQ(CMimeTypeModel::IconName("Application/Zip"), "mime-application");
    EXPECT_STREQ(CMimeTypeModel::IconName("imagex/raw"), "mime-image"); // a prefix is enough
    EXPECT_STREQ(CMimeTypeModel::IconName("x-foo"), "mime-general");
    EXPECT_STREQ(CMimeTypeModel::IconName(""), "mime-general");
    for (const char* type :
         {"application", "audio", "image", "message", "multipart", "text", "video", "x-foo"})
        EXPECT_TRUE(QFile::exists(QString(":/icons/%1.svg").arg(CMimeTypeModel::IconName(type))))
            << type;
}

// Adding a listed type replaces its row where it stands; OK stores the rows in their order.
TEST_F(OptionsSheetTest, AddReplacesARowOfTheSameType) {
    auto sheet = OpenSheet(2);
    AnswerMimeDialog("IMAGE", CAddMimeTypeDlg::kIgnoreRadio);
    Click(sheet.get(), CMimeOptionsPage::kAdd);
    AnswerMimeDialog(" text/plain ", CAddMimeTypeDlg::kExtractRadio);
    Click(sheet.get(), CMimeOptionsPage::kAdd);
    EXPECT_EQ(List(*sheet)->currentIndex().row(), 3) << "the new row is selected";
    EXPECT_EQ(StoredRows(), (Rows{{"video", 0}, {"image", 1}, {"application/zip", 5}}));
    Click(sheet.get(), 1);
    EXPECT_EQ(StoredRows(),
              (Rows{{"video", 0}, {"IMAGE", 0}, {"application/zip", 5}, {"text/plain", 1}}));
}

TEST_F(OptionsSheetTest, EditChangesTheSelectedRow) {
    auto sheet = OpenSheet(2);
    SelectRow(*sheet, 0);
    WhenOpen([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Edit Mime Type");
        EXPECT_EQ(Find<QLineEdit>(dialog, CAddMimeTypeDlg::kTypeEdit)->text(), "video");
        EXPECT_TRUE(Find<QRadioButton>(dialog, CAddMimeTypeDlg::kIgnoreRadio)->isChecked());
        Click(dialog, CAddMimeTypeDlg::kExtractRadio);
        Click(dialog, 1);
    });
    Click(sheet.get(), CMimeOptionsPage::kEdit);
    // Renamed onto another row's type: that row goes.
    SelectRow(*sheet, 2);
    AnswerMimeDialog("Video", CAddMimeTypeDlg::kExtractRadio);
    Click(sheet.get(), CMimeOptionsPage::kEdit);
    Click(sheet.get(), 1);
    EXPECT_EQ(StoredRows(), (Rows{{"image", 1}, {"Video", 5}}));
}

TEST_F(OptionsSheetTest, RemovedRowsLeaveTheRegistryOnOk) {
    auto sheet = OpenSheet(2);
    SelectRow(*sheet, 1);
    Click(sheet.get(), CMimeOptionsPage::kRemove);
    EXPECT_EQ(List(*sheet)->selectionModel()->selectedRows().value(0).row(), 1)
        << "the row that moved up is selected";
    SelectRow(*sheet, 0);
    QApplication::setActiveWindow(sheet.get());
    List(*sheet)->setFocus();
    QTest::keyClick(List(*sheet), Qt::Key_Delete);
    Click(sheet.get(), CMimeOptionsPage::kRemove);
    EXPECT_FALSE(FindControl(sheet.get(), CMimeOptionsPage::kRemove)->isEnabled());
    EXPECT_FALSE(FindControl(sheet.get(), CMimeOptionsPage::kEdit)->isEnabled());
    AnswerMimeDialog("application/zip", CAddMimeTypeDlg::kExtractRadio);
    Click(sheet.get(), CMimeOptionsPage::kAdd);
    Click(sheet.get(), 1);
    EXPECT_EQ(StoredRows(), (Rows{{"application/zip", 1}}));
    EXPECT_EQ(hive.QueryValue(CMimeTable::kKey, "image"), nullptr);
}

// The first rows of a fresh installation, which has no key yet, are kept.
TEST_F(OptionsSheetTest, RowsAddedWithoutAKeyAreStored) {
    hive.DeleteKey(CMimeTable::kKey);
    auto sheet = OpenSheet(2);
    EXPECT_EQ(sheet->MimePage()->Model().rowCount(), 0);
    AnswerMimeDialog("image/jpeg", CAddMimeTypeDlg::kExtractRadio);
    Click(sheet.get(), CMimeOptionsPage::kAdd);
    Click(sheet.get(), 1);
    EXPECT_EQ(StoredRows(), (Rows{{"image/jpeg", 1}}));
}

TEST_F(OptionsSheetTest, AddMimeTypeDialog) {
    CAddMimeTypeDlg dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Add Mime Type");
    EXPECT_EQ(dialog.TemplateId(), 144u);
    QLineEdit* type = Find<QLineEdit>(&dialog, CAddMimeTypeDlg::kTypeEdit);
    QPushButton* ok = Find<QPushButton>(&dialog, 1);
    EXPECT_EQ(type->maxLength(), 100);
    EXPECT_TRUE(Find<QRadioButton>(&dialog, CAddMimeTypeDlg::kExtractRadio)->isChecked());
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(type, "  ");
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(type, "audio ");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.Entry().type, "audio");
    EXPECT_EQ(dialog.Entry().action, 1u);
    Click(&dialog, CAddMimeTypeDlg::kIgnoreRadio);
    EXPECT_EQ(dialog.Entry().action, 0u);

    // A row's own number for Extract survives an edit that keeps Extract.
    CAddMimeTypeDlg edit(MimeActionEntry{5, "application/zip"}, nullptr);
    EXPECT_EQ(edit.Entry().action, 5u);
    EXPECT_EQ(edit.Entry().type, "application/zip");
    const std::string stored = "x-" + std::string(120, 'a');
    EXPECT_EQ(CAddMimeTypeDlg(MimeActionEntry{1, stored}, nullptr).Entry().type, stored);
}

TEST_F(OptionsSheetTest, ModelKeepsOneRowPerTypeAndPassesTheModelTester) {
    CMimeTypeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetRows({{1, "image"}, {0, "video"}, {0, "Image"}, {1, "text"}});
    EXPECT_EQ(RowsOf(model.Rows()), (Rows{{"image", 1}, {"video", 0}, {"text", 1}}));
    EXPECT_EQ(model.AddRow({0, "TEXT"}), 2);
    EXPECT_EQ(model.AddRow({1, "audio"}), 3);
    EXPECT_EQ(model.ReplaceRow(3, {1, "image"}), 2) << "the other image row went";
    model.RemoveRow(0);
    EXPECT_EQ(RowsOf(model.Rows()), (Rows{{"TEXT", 0}, {"image", 1}}));
    EXPECT_EQ(model.FindType("Text"), 0);
    EXPECT_EQ(model.FindType("tex"), -1);
}

// The round trip through the page keeps the stored table exactly, also what the page could
// not show.
TEST_F(OptionsSheetTest, ATableShownAndAcceptedIsStoredBackExactly) {
    hive.SetString(CMimeTable::kKey, "Text", "\x01");
    hive.SetDword(CMimeTable::kKey, std::string(1000, 'x'), 1);
    hive.SetDword(CMimeTable::kKey, "audio", 1);
    std::vector<std::string> before;
    for (size_t i = 0; const CHive::Value* value = hive.EnumValue(CMimeTable::kKey, i); ++i)
        before.push_back(value->name + ':' + std::to_string(value->type) + ':' + value->data);
    auto sheet = OpenSheet(2);
    EXPECT_EQ(sheet->MimePage()->Model().rowCount(), 4);
    Click(sheet.get(), 1);
    std::vector<std::string> after;
    for (size_t i = 0; const CHive::Value* value = hive.EnumValue(CMimeTable::kKey, i); ++i)
        after.push_back(value->name + ':' + std::to_string(value->type) + ':' + value->data);
    EXPECT_EQ(after, before);
}

TEST_F(OptionsSheetTest, F1OnACheckBoxShowsTheTopicOfItsControlId) {
    auto sheet = OpenSheet(1);
    PopupRecorder recorder;
    QWidget* box = FindControl(sheet.get(), CDecodeOptionsPage::kNoLines);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_F1);
    ASSERT_EQ(recorder.Popups().size(), 1u);
    EXPECT_EQ(recorder.Popups()[0].text, CContextHelp::TopicText(CDecodeOptionsPage::kNoLines));
}

// Tab walks each page from top to bottom.
TEST_F(OptionsSheetTest, TabOrderFollowsThePage) {
    auto sheet = OpenSheet();
    for (QWidget* page : {static_cast<QWidget*>(sheet->GeneralPage()),
                          static_cast<QWidget*>(sheet->DecodePage())}) {
        std::vector<QWidget*> chain;
        for (QWidget* w = page->nextInFocusChain(); w != page && chain.size() < 50;
             w = w->nextInFocusChain()) {
            if (w->parentWidget() == page && (w->focusPolicy() & Qt::TabFocus))
                chain.push_back(w);
        }
        ASSERT_GE(chain.size(), 6u);
        // A row's controls (the folder and Browse) share a middle line, give or take a pixel.
        for (size_t i = 1; i < chain.size(); ++i)
            EXPECT_GE(chain[i]->geometry().center().y() + 1, chain[i - 1]->geometry().center().y())
                << i;
    }
}

} // namespace
