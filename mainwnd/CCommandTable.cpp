#include "mainwnd/CCommandTable.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QTimer>
#include <QToolBar>

#include "platform/CStringTable.h"

namespace {

// "prompt\ntooltip" under the command's ID.
std::pair<QString, QString> PromptAndTip(unsigned id) {
    const QString both = QString::fromStdString(CStringTable::Load(id));
    const qsizetype cut = both.indexOf('\n');
    if (cut < 0)
        return {both, both};
    return {both.left(cut), both.mid(cut + 1)};
}

} // namespace

CCommandTable::CCommandTable(QObject* actionParent)
    : QObject(actionParent), m_pActionParent(actionParent) {}

void CCommandTable::ApplyMenuText(QAction* action, const QString& menuText) {
    const qsizetype tab = menuText.indexOf('\t');
    action->setText(tab < 0 ? menuText : menuText.left(tab));
    action->setShortcut(tab < 0 ? QKeySequence() : QKeySequence(menuText.mid(tab + 1)));
}

QAction* CCommandTable::Add(Command command) {
    auto* action = new QAction(m_pActionParent);
    ApplyMenuText(action, command.menuText);
    const auto [prompt, tip] = PromptAndTip(command.id);
    action->setStatusTip(prompt);
    action->setToolTip(tip);
    action->setWhatsThis(QString());
    if (!command.icon.isEmpty())
        action->setIcon(QIcon(command.icon));
    action->setCheckable(static_cast<bool>(command.checked));
    const unsigned id = command.id;
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_commands[id] = Entry{std::move(command), action};
    return action;
}

QAction* CCommandTable::Add(unsigned id, QString menuText, QString icon,
                            std::function<void()> handler, std::function<bool()> enabled,
                            std::function<bool()> checked, std::function<QString()> text) {
    return Add(Command{id, std::move(menuText), std::move(icon), std::move(handler),
                       std::move(enabled), std::move(checked), std::move(text)});
}

QAction* CCommandTable::Action(unsigned id) const {
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : it->second.action;
}

void CCommandTable::AddToMenu(QMenu* menu, const std::vector<unsigned>& ids) const {
    for (const unsigned id : ids) {
        if (id == 0)
            menu->addSeparator();
        else
            menu->addAction(Action(id));
    }
}

void CCommandTable::AddToToolBar(QToolBar* toolBar, const std::vector<unsigned>& ids) const {
    for (const unsigned id : ids) {
        if (id == 0)
            toolBar->addSeparator();
        else
            toolBar->addAction(Action(id));
    }
}

void CCommandTable::Update() {
    for (auto& [id, entry] : m_commands) {
        const Command& command = entry.command;
        entry.action->setEnabled(IsEnabled(id));
        if (command.checked)
            entry.action->setChecked(command.checked());
        if (command.text)
            ApplyMenuText(entry.action, command.text());
    }
}

bool CCommandTable::IsEnabled(unsigned id) const {
    const auto it = m_commands.find(id);
    if (it == m_commands.end())
        return false;
    const Command& command = it->second.command;
    return !command.enabled || command.enabled();
}

bool CCommandTable::Execute(unsigned id) {
    if (!IsEnabled(id))
        return false;
    // Copied: a handler may replace the table's entries while it runs.
    const std::function<void()> handler = m_commands.at(id).command.handler;
    if (handler)
        handler();
    Update();
    return true;
}

void CCommandTable::Post(unsigned id) {
    QTimer::singleShot(0, this, [this, id] { Execute(id); });
}
