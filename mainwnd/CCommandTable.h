#pragma once

#include <QIcon>
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
    explicit CCommandTable(QObject* actionParent);

    // Prompt and tooltip come from the string table entry under the command's ID. An empty
    // `enabled` is always enabled; with `checked` the command is a check item.
    QAction* Add(unsigned id, const QString& menuText, const QString& icon,
                 std::function<void()> handler, std::function<bool()> enabled = {},
                 std::function<bool()> checked = {});
    // While `when` holds, the command shows another text and icon (Extract while a run is
    // active reads "Stop &Extracting"); its shortcut stays.
    void SetAlternate(unsigned id, std::function<bool()> when, const QString& text,
                      const QString& icon);
    QAction* Action(unsigned id) const;

    // Fills a menu or toolbar in order; ID 0 is a separator.
    void AddToMenu(QMenu* menu, const std::vector<unsigned>& ids) const;
    void AddToToolBar(QToolBar* toolBar, const std::vector<unsigned>& ids) const;

    // Evaluates every rule: enabled state, check mark, text and icon of each command.
    void Update();
    bool IsEnabled(unsigned id) const;
    // Runs the command when its rule allows it now; false when it was dropped.
    bool Execute(unsigned id);
    // Queues the command for the event loop, as a posted command message would be.
    void Post(unsigned id);

  private:
    struct Look {
        QString text; // without the shortcut
        QIcon icon;
    };
    struct Entry {
        QAction* action = nullptr;
        std::function<void()> handler;
        std::function<bool()> enabled;
        std::function<bool()> checked;
        std::function<bool()> alternateWhen;
        Look normal;
        Look alternate;
        bool alternateShown = false;
    };
    template <class Bar> void AddTo(Bar* bar, const std::vector<unsigned>& ids) const;

    QObject* m_pActionParent;
    std::map<unsigned, Entry> m_commands;
};
