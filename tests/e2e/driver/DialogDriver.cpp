// Sets the program up through its dialogs only, as a user would, then runs an extraction in
// the window and closes it: the end-to-end tests check what it decoded and saved.
//
//   GLEANWICK_HOME=DIR gw_dialog_driver SERVER PORT GROUP DECODES MINLINES
//
// Adds SERVER on PORT in the Servers dialog (its group list is fetched at once), subscribes
// GROUP in the Newsgroups dialog through the filter, writes two kill rules in the Kill File
// dialog, sets the decode folder, the minimum line count and two MIME rows in the Options
// sheet, and presses Extract. Each step waits for its dialog for at most a minute; a step
// that cannot be done ends the program with status 3 and says which.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/gui/HelpIds.h"
#include "engine/CExtractionRun.h"
#include "mainwnd/CCommandTable.h"
#include "mainwnd/CMainFrame.h"
#include "mainwnd/WindowMain.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
    std::string what;
    // Tries the step; true once it is done. Retried every tick until it succeeds.
    std::function<bool()> attempt;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "dialog driver: %s\n", what.c_str());
    std::fflush(stderr);
    std::_Exit(3);
}

// The modal dialog on top when it is of class `className`, else null.
QWidget* Modal(const char* className) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal->inherits(className) ? modal : nullptr;
}

template <typename T> T* Control(QWidget* root, uint32_t id) {
    T* control = qobject_cast<T*>(FindControl(root, id));
    if (control == nullptr)
        Fail("no control " + std::to_string(id) + " in " + root->metaObject()->className());
    return control;
}

// Clicks once the current event has been handled: a button that opens a modal dialog must
// not run that dialog's event loop inside the driver's tick.
void ClickLater(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

void ClickLater(QWidget* root, uint32_t id) {
    ClickLater(Control<QAbstractButton>(root, id));
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// The button of `root` whose text is exactly `text` (mnemonic included).
QAbstractButton* Button(QWidget* root, const QString& text) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (button->text() == text && button->isVisible())
            return button;
    Fail("no button " + text.toStdString() + " in " + root->metaObject()->className());
}

// The field a label of `root` names (the label's buddy), found by the label's text.
template <typename T> T* Labelled(QWidget* root, const QString& text) {
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->text() == text && label->buddy() != nullptr)
            if (T* field = qobject_cast<T*>(label->buddy()))
                return field;
    Fail("no field labelled " + text.toStdString() + " in " + root->metaObject()->className());
}

void ClickLater(QWidget* root, const QString& text) {
    ClickLater(Button(root, text));
}

void ShowPage(QWidget* sheet, int index) {
    sheet->findChild<QTabWidget*>()->setCurrentIndex(index);
}

// A step that waits for the modal dialog of class `className` and then acts on it once.
Step OnDialog(const std::string& what, const char* className, std::function<void(QWidget*)> act) {
    return {what, [className, act = std::move(act)] {
                QWidget* dialog = Modal(className);
                if (dialog == nullptr)
                    return false;
                act(dialog);
                return true;
            }};
}

// A step that waits until no dialog is modal any more.
Step BackInWindow(const std::string& what) {
    return {what, [] { return QApplication::activeModalWidget() == nullptr; }};
}

Step Command(CMainFrame& frame, unsigned id, const std::string& what) {
    return {what, [&frame, id] {
                if (QApplication::activeModalWidget() != nullptr)
                    return false;
                frame.PostCommand(id);
                return true;
            }};
}

std::vector<Step> ServerSteps(CMainFrame& frame, const QString& server, const QString& port) {
    return {
        Command(frame, CMainFrame::kServers, "Servers dialog opened"),
        OnDialog("Add pressed", "CServersDlg", [](QWidget* d) { ClickLater(d, "A&dd..."); }),
        OnDialog("server name and port entered", "CHelpPropertySheet",
                 [server, port](QWidget* sheet) {
                     Type(Labelled<QLineEdit>(sheet, "&News Server Name:"), server);
                     ShowPage(sheet, 1);
                     Type(Labelled<QLineEdit>(sheet, "&News Server:"), port);
                     ClickLater(sheet, "OK");
                 }),
        // The group list is fetched at once, under its progress dialog, before the list shows
        // the new server.
        {"group list fetched",
         [] {
             QWidget* dialog = Modal("CServersDlg");
             return dialog != nullptr &&
                    Control<QAbstractItemView>(dialog, 1048)->model()->rowCount() == 1;
         }},
        OnDialog("Servers dialog closed", "CServersDlg",
                 [](QWidget* d) { ClickLater(d, "Close"); }),
        BackInWindow("back in the window"),
    };
}

std::vector<Step> NewsgroupSteps(CMainFrame& frame, const QString& group) {
    return {
        Command(frame, CMainFrame::kNewsgroups, "Newsgroups dialog opened"),
        OnDialog("filter typed", "CNewsgroupsDlg",
                 [group](QWidget* d) {
                     Type(Control<QLineEdit>(d, 1002), group);
                     // Leaving the edit filters at once instead of after the timer.
                     Control<QAbstractItemView>(d, 1010)->setFocus();
                 }),
        {"group found and subscribed",
         [group] {
             QWidget* dialog = Modal("CNewsgroupsDlg");
             if (dialog == nullptr)
                 return false;
             auto* list = Control<QAbstractItemView>(dialog, 1010);
             const QAbstractItemModel* model = list->model();
             for (int row = 0; row < model->rowCount(); ++row) {
                 if (model->index(row, 0).data().toString() != group)
                     continue;
                 list->selectionModel()->select(model->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect);
                 ClickLater(dialog, 1005);
                 return true;
             }
             return false;
         }},
        OnDialog("Newsgroups dialog closed", "CNewsgroupsDlg",
                 [](QWidget* d) { ClickLater(d, "Close"); }),
        BackInWindow("back in the window"),
    };
}

void AddKillRule(std::vector<Step>& steps, int field, const QString& pattern) {
    steps.push_back(
        OnDialog("Add pressed", "CKillFileDlg", [](QWidget* d) { ClickLater(d, "A&dd..."); }));
    steps.push_back(OnDialog("kill rule " + pattern.toStdString() + " entered", "CKillRuleDlg",
                             [field, pattern](QWidget* d) {
                                 Labelled<QComboBox>(d, "Search &Field:")->setCurrentIndex(field);
                                 Type(Labelled<QLineEdit>(d, "Search &String:"), pattern);
                                 ClickLater(d, "OK");
                             }));
}

std::vector<Step> KillSteps(CMainFrame& frame) {
    std::vector<Step> steps{Command(frame, CMainFrame::kKills, "Kill File dialog opened")};
    AddKillRule(steps, 0, "*@spam.test>");
    AddKillRule(steps, 2, "*.exe");
    steps.push_back(OnDialog("Kill File dialog closed", "CKillFileDlg",
                             [](QWidget* d) { ClickLater(d, "Close"); }));
    steps.push_back(BackInWindow("back in the window"));
    return steps;
}

void AddMimeRow(std::vector<Step>& steps, const QString& type) {
    steps.push_back(OnDialog("Add pressed", "COptionsSheet", [](QWidget* sheet) {
        ShowPage(sheet, 2);
        ClickLater(sheet, "&Add...");
    }));
    steps.push_back(OnDialog("MIME type " + type.toStdString() + " entered", "CAddMimeTypeDlg",
                             [type](QWidget* d) {
                                 Type(Labelled<QLineEdit>(d, "&Type:"), type);
                                 ClickLater(d, "OK");
                             }));
}

std::vector<Step> OptionSteps(CMainFrame& frame, const QString& decodes, const QString& minLines) {
    std::vector<Step> steps{
        Command(frame, CMainFrame::kOptions, "Options opened"),
        OnDialog("decode folder and line counts entered", "COptionsSheet",
                 [decodes, minLines](QWidget* sheet) {
                     Type(Labelled<QLineEdit>(sheet, "Decode &Folder:"), decodes);
                     ShowPage(sheet, 1);
                     Type(Labelled<QLineEdit>(sheet, "Min Lines"), minLines);
                 }),
    };
    AddMimeRow(steps, "image");
    AddMimeRow(steps, "application");
    steps.push_back(OnDialog("Options closed with OK", "COptionsSheet",
                             [](QWidget* sheet) { ClickLater(sheet, "OK"); }));
    steps.push_back(BackInWindow("back in the window"));
    return steps;
}

std::vector<Step> DriverSteps(CMainFrame& frame, const QString& server, const QString& port,
                              const QString& group, const QString& decodes,
                              const QString& minLines) {
    std::vector<Step> steps;
    for (std::vector<Step> part : {ServerSteps(frame, server, port), NewsgroupSteps(frame, group),
                                   KillSteps(frame), OptionSteps(frame, decodes, minLines)})
        std::move(part.begin(), part.end(), std::back_inserter(steps));
    steps.push_back(Command(frame, CMainFrame::kExtract, "Extract pressed"));
    steps.push_back({"extraction complete, window closed", [&frame] {
                         const CExtractionRun& run = frame.Run();
                         if (run.IsRunning() || !run.HasCompleted())
                             return false;
                         frame.close();
                         return true;
                     }});
    return steps;
}

class DialogDriver : public QObject {
  public:
    explicit DialogDriver(std::vector<Step> steps) : m_steps(std::move(steps)) {
        connect(&m_timer, &QTimer::timeout, this, &DialogDriver::Tick);
        m_timer.start(50);
        m_stepStarted = Clock::now();
    }

  private:
    void Tick() {
        if (m_next == m_steps.size())
            return;
        const Step& step = m_steps[m_next];
        if (step.attempt()) {
            std::fprintf(stderr, "dialog driver: %s\n", step.what.c_str());
            ++m_next;
            m_stepStarted = Clock::now();
            return;
        }
        if (Clock::now() - m_stepStarted > std::chrono::seconds(60))
            Fail("timed out: " + step.what);
    }

    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    Clock::time_point m_stepStarted;
    QTimer m_timer;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: gw_dialog_driver SERVER PORT GROUP DECODES MINLINES\n");
        return 2;
    }
    const QString server = QString::fromLocal8Bit(argv[1]);
    const QString port = QString::fromLocal8Bit(argv[2]);
    const QString group = QString::fromLocal8Bit(argv[3]);
    const QString decodes = QString::fromLocal8Bit(argv[4]);
    const QString minLines = QString::fromLocal8Bit(argv[5]);
    int programArgc = 1;
    CMainCommandLineInfo commandLine;
    commandLine.m_bShowSplash = false;
    return RunWindow(commandLine, programArgc, argv, [&](CMainFrame& frame) {
        new DialogDriver(DriverSteps(frame, server, port, group, decodes, minLines));
    });
}
