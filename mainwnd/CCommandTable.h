#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QToolBar;

// The frame's commands: per command its ID, menu text ("&Extract\tCtrl+E": the text after the
// tab is the shortcut), icon, handler and enable rule. Menus, toolbar, shortcuts and context
// menus all show the same QAction, so one evaluation of the rules (Update) serves them all. A
// command that arrives without a control (a shortcut, or one the program posts to itself) is
// tested against its rule when it arrives and dropped when the rule says disabled.
class CCommandTable : public QObject {
    Q_OBJECT
  public:
    struct Command {
        unsigned id = 0;
        QString menuText;
        QString icon;                  // resource path, empty for none
        std::function<void()> handler; // what the command does
        std::function<bool()> enabled; // empty: always enabled
        std::function<bool()> checked; // empty: not a check item
        std::function<QString()> text; // empty: menuText always
    };

    explicit CCommandTable(QObject* actionParent);

    // Prompt and tooltip come from the string table entry under the command's ID.
    QAction* Add(Command command);
    QAction* Add(unsigned id, QString menuText, QString icon, std::function<void()> handler,
                 std::function<bool()> enabled = {}, std::function<bool()> checked = {},
                 std::function<QString()> text = {});
    QAction* Action(unsigned id) const;

    // Fills a menu or toolbar in order; ID 0 is a separator.
    void AddToMenu(QMenu* menu, const std::vector<unsigned>& ids) const;
    void AddToToolBar(QToolBar* toolBar, const std::vector<unsigned>& ids) const;

    // Evaluates every rule: enabled state, check mark and text of each command.
    void Update();
    bool IsEnabled(unsigned id) const;
    // Runs the command when its rule allows it now; false when it was dropped.
    bool Execute(unsigned id);
    // Queues the command for the event loop, as a posted command message would be.
    void Post(unsigned id);

  private:
    struct Entry {
        Command command;
        QAction* action = nullptr;
    };
    static void ApplyMenuText(QAction* action, const QString& menuText);

    QObject* m_pActionParent;
    std::map<unsigned, Entry> m_commands;
};
