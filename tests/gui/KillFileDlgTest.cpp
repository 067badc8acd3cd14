#include "options/gui/CKillFileDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/gui/HelpIds.h"
#include "options/gui/CKillRuleDlg.h"

namespace {

template <class Control> Control* Find(QWidget* dialog, uint32_t id) {
    return qobject_cast<Control*>(FindControl(dialog, id));
}

QPushButton* Button(QWidget* dialog, uint32_t id) {
    return Find<QPushButton>(dialog, id);
}

QTreeWidget* List(QWidget* dialog) {
    return Find<QTreeWidget>(dialog, CKillFileDlg::kRuleList);
}

QComboBox* FieldCombo(QWidget* dialog) {
    return Find<QComboBox>(dialog, CKillRuleDlg::kFieldCombo);
}

QLineEdit* PatternEdit(QWidget* dialog) {
    return Find<QLineEdit>(dialog, CKillRuleDlg::kPatternEdit);
}

// The rows as "field|search", top to bottom.
QStringList Rows(QWidget* dialog) {
    QStringList rows;
    QTreeWidget* list = List(dialog);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
    return rows;
}

QString SelectedRow(QWidget* dialog) {
    const QList<QTreeWidgetItem*> selected = List(dialog)->selectedItems();
    return selected.size() == 1 ? selected[0]->text(0) + "|" + selected[0]->text(1) : QString();
}

void SelectRow(QWidget* dialog, int row) {
    List(dialog)->setCurrentItem(List(dialog)->topLevelItem(row));
}

// Works the Kill Rule dialog once it is open, as a person at the keyboard would.
void WhenRuleDialogOpens(std::function<void(QWidget*)> user) {
    QTimer::singleShot(0, [user] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(qobject_cast<CKillRuleDlg*>(dialog), nullptr);
        user(dialog);
    });
}

// Chooses the field, types the pattern into the emptied edit field and clicks OK.
std::function<void(QWidget*)> Enter(int field, const QString& pattern) {
    return [field, pattern](QWidget* dialog) {
        FieldCombo(dialog)->setCurrentIndex(field);
        PatternEdit(dialog)->clear();
        QTest::keyClicks(PatternEdit(dialog), pattern);
        QTest::mouseClick(Button(dialog, 1), Qt::LeftButton);
    };
}

void Cancel(QWidget* dialog) {
    QTest::keyClicks(PatternEdit(dialog), "changed");
    QTest::mouseClick(Button(dialog, 2), Qt::LeftButton);
}

class KillFileDlgTest : public testing::Test {
  protected:
    void SetUp() override { UseRepositoryHelp(); }

    // Opens the Kill File dialog on `rules` (not modally: the test is the user).
    std::unique_ptr<CKillFileDlg> Open() {
        auto dialog = std::make_unique<CKillFileDlg>(rules);
        dialog->show();
        return dialog;
    }

    std::vector<KillRule> rules;
};

TEST_F(KillFileDlgTest, RowsAreSortedByFieldNameAndTiedToTheirRules) {
    rules = {{1, "x"}, {0, "y"}, {2, "*.exe"}, {1, "a*"}, {7, "odd"}};
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Kill File");
    EXPECT_EQ(List(dialog.get())->headerItem()->text(0), "Field");
    EXPECT_EQ(List(dialog.get())->headerItem()->text(1), "Search");
    EXPECT_EQ(Rows(dialog.get()),
              QStringList({"7|odd", "Author|y", "File Name|*.exe", "Subject|x", "Subject|a*"}));

    // Removing the author row removes the author rule, not the second rule of the list.
    SelectRow(dialog.get(), 1);
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kRemoveButton), Qt::LeftButton);
    EXPECT_EQ(rules, (std::vector<KillRule>{{1, "x"}, {2, "*.exe"}, {1, "a*"}, {7, "odd"}}));
    EXPECT_EQ(Rows(dialog.get()),
              QStringList({"7|odd", "File Name|*.exe", "Subject|x", "Subject|a*"}));
    EXPECT_TRUE(SelectedRow(dialog.get()).isEmpty());
}

TEST_F(KillFileDlgTest, RemoveAndEditNeedASelectedRow) {
    rules = {{0, "spammer"}};
    auto dialog = Open();
    QPushButton* remove = Button(dialog.get(), CKillFileDlg::kRemoveButton);
    QPushButton* edit = Button(dialog.get(), CKillFileDlg::kEditButton);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(edit->isEnabled());
    SelectRow(dialog.get(), 0);
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_TRUE(edit->isEnabled());
    List(dialog.get())->clearSelection();
    EXPECT_FALSE(remove->isEnabled());
    SelectRow(dialog.get(), 0);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_TRUE(rules.empty());
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_TRUE(Button(dialog.get(), CKillFileDlg::kAddButton)->isEnabled());
}

TEST_F(KillFileDlgTest, AddAppendsTheRuleAndSelectsItsRow) {
    rules = {{1, "x"}, {0, "y"}};
    auto dialog = Open();
    WhenRuleDialogOpens([](QWidget* rule) {
        EXPECT_EQ(FieldCombo(rule)->currentText(), "Author");
        EXPECT_TRUE(PatternEdit(rule)->text().isEmpty());
        Enter(0, "*troll*")(rule);
    });
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kAddButton), Qt::LeftButton);
    EXPECT_EQ(rules, (std::vector<KillRule>{{1, "x"}, {0, "y"}, {0, "*troll*"}}));
    EXPECT_EQ(Rows(dialog.get()), QStringList({"Author|y", "Author|*troll*", "Subject|x"}));
    EXPECT_EQ(SelectedRow(dialog.get()), "Author|*troll*");
    EXPECT_TRUE(Button(dialog.get(), CKillFileDlg::kEditButton)->isEnabled());

    WhenRuleDialogOpens(Enter(2, "virus.exe"));
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kAddButton), Qt::LeftButton);
    EXPECT_EQ(rules.back(), (KillRule{2, "virus.exe"}));
    EXPECT_EQ(SelectedRow(dialog.get()), "File Name|virus.exe");
}

TEST_F(KillFileDlgTest, EditChangesTheRuleOfTheSelectedRow) {
    rules = {{1, "x"}, {0, "y"}};
    auto dialog = Open();
    SelectRow(dialog.get(), 1); // Subject|x, the first rule
    WhenRuleDialogOpens([](QWidget* rule) {
        EXPECT_EQ(FieldCombo(rule)->currentText(), "Subject");
        EXPECT_EQ(PatternEdit(rule)->text(), "x");
        Enter(0, "*spam*")(rule);
    });
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kEditButton), Qt::LeftButton);
    EXPECT_EQ(rules, (std::vector<KillRule>{{0, "*spam*"}, {0, "y"}}));
    EXPECT_EQ(Rows(dialog.get()), QStringList({"Author|*spam*", "Author|y"}));
    EXPECT_EQ(SelectedRow(dialog.get()), "Author|*spam*");

    // A double click edits the row too.
    QTreeWidget* list = List(dialog.get());
    const QRect second = list->visualItemRect(list->topLevelItem(1));
    WhenRuleDialogOpens(Enter(2, "y.zip"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(rules, (std::vector<KillRule>{{0, "*spam*"}, {2, "y.zip"}}));
}

// The Kill Rule dialog's Cancel leaves the rule list as it was; the Kill File dialog has no
// cancel of its own: what was done before it closes stays done.
TEST_F(KillFileDlgTest, CancelInTheRuleDialogChangesNothing) {
    rules = {{1, "x"}};
    auto dialog = Open();
    WhenRuleDialogOpens(Cancel);
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kAddButton), Qt::LeftButton);
    SelectRow(dialog.get(), 0);
    WhenRuleDialogOpens(Cancel);
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kEditButton), Qt::LeftButton);
    WhenRuleDialogOpens([](QWidget* rule) { QTest::keyClick(PatternEdit(rule), Qt::Key_Escape); });
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kEditButton), Qt::LeftButton);
    EXPECT_EQ(rules, (std::vector<KillRule>{{1, "x"}}));
    EXPECT_EQ(Rows(dialog.get()), QStringList({"Subject|x"}));

    SelectRow(dialog.get(), 0);
    QTest::mouseClick(Button(dialog.get(), CKillFileDlg::kRemoveButton), Qt::LeftButton);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(rules.empty());
}

TEST_F(KillFileDlgTest, RuleDialogOkNeedsAPattern) {
    CKillRuleDlg dialog(KillRule{});
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), "Kill Rule");
    QComboBox* field = FieldCombo(&dialog);
    ASSERT_EQ(field->count(), 3);
    EXPECT_EQ(field->itemText(0), "Author");
    EXPECT_EQ(field->itemText(1), "Subject");
    EXPECT_EQ(field->itemText(2), "File Name");
    QLineEdit* pattern = PatternEdit(&dialog);
    EXPECT_EQ(dialog.focusWidget(), pattern);
    QPushButton* ok = Button(&dialog, 1);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClick(pattern, Qt::Key_Return); // the disabled default button does nothing
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClicks(pattern, "a");
    EXPECT_TRUE(ok->isEnabled());
    QTest::keyClick(pattern, Qt::Key_Backspace);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(pattern, " ");
    EXPECT_TRUE(ok->isEnabled());
    QTest::keyClick(pattern, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Rule(), (KillRule{0, " "}));
}

// A rule that came from a hand-edited kill file, or from a Latin-1 header, survives an edit
// that does not touch that part.
TEST_F(KillFileDlgTest, RuleDialogKeepsWhatWasNotChanged) {
    CKillRuleDlg latin1(KillRule{1, "Gr\xFC\xDF"
                                    "e"});
    EXPECT_EQ(PatternEdit(&latin1)->text(), QString::fromUtf8("Grüße"));
    FieldCombo(&latin1)->setCurrentIndex(2);
    EXPECT_EQ(latin1.Rule(), (KillRule{2, "Gr\xFC\xDF"
                                          "e"}));

    CKillRuleDlg unknown(KillRule{5, "x"});
    EXPECT_EQ(FieldCombo(&unknown)->currentIndex(), -1);
    QTest::keyClicks(PatternEdit(&unknown), "y");
    EXPECT_EQ(unknown.Rule(), (KillRule{5, "xy"}));
    FieldCombo(&unknown)->setCurrentIndex(1);
    EXPECT_EQ(unknown.Rule(), (KillRule{1, "xy"}));
}

} // namespace
