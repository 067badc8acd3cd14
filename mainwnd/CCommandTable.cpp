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

QAction* CCommandTable::Add(unsigned id, const QString& menuText, const QString& icon,
                            std::function<void()> handler, std::function<bool()> enabled,
                            std::function<bool()> checked) {
    auto* action = new QAction(m_pActionParent);
    const qsizetype tab = menuText.indexOf('\t');
    Entry entry;
    entry.action = action;
    entry.handler = std::move(handler);
    entry.enabled = std::move(enabled);
    entry.checked = std::move(checked);
    entry.normal = {tab < 0 ? menuText : menuText.left(tab),
                    icon.isEmpty() ? QIcon() : QIcon(icon)};
    action->setText(entry.normal.text);
    action->setIcon(entry.normal.icon);
    if (tab >= 0)
        action->setShortcut(QKeySequence(menuText.mid(tab + 1)));
    const auto [prompt, tip] = PromptAndTip(id);
    action->setStatusTip(prompt);
    action->setToolTip(tip);
    action->setCheckable(static_cast<bool>(entry.checked));
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_commands[id] = std::move(entry);
    return action;
}

void CCommandTable::SetAlternate(unsigned id, std::function<bool()> when, const QString& text,
                                 const QString& icon) {
    Entry& entry = m_commands.at(id);
    entry.alternateWhen = std::move(when);
    entry.alternate = {text, QIcon(icon)};
}

QAction* CCommandTable::Action(unsigned id) const {
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : it->second.action;
}

template <class Bar> void CCommandTable::AddTo(Bar* bar, const std::vector<unsigned>& ids) const {
    for (const unsigned id : ids) {
        if (id == 0)
            bar->addSeparator();
        else
            bar->addAction(Action(id));
    }
}

void CCommandTable::AddToMenu(QMenu* menu, const std::vector<unsigned>& ids) const {
    AddTo(menu, ids);
}

void CCommandTable::AddToToolBar(QToolBar* toolBar, const std::vector<unsigned>& ids) const {
    AddTo(toolBar, ids);
}

void CCommandTable::Update() {
    for (auto& [id, entry] : m_commands) {
        entry.action->setEnabled(IsEnabled(id));
        if (entry.checked)
            entry.action->setChecked(entry.checked());
        const bool alternate = entry.alternateWhen && entry.alternateWhen();
        if (alternate == entry.alternateShown)
            continue;
        entry.alternateShown = alternate;
        const Look& look = alternate ? entry.alternate : entry.normal;
        entry.action->setText(look.text);
        entry.action->setIcon(look.icon);
    }
}

bool CCommandTable::IsEnabled(unsigned id) const {
    const auto it = m_commands.find(id);
    if (it == m_commands.end())
        return false;
    return !it->second.enabled || it->second.enabled();
}

bool CCommandTable::Execute(unsigned id) {
    if (!IsEnabled(id))
        return false;
    // Copied: a handler may replace the table's entries while it runs.
    const std::function<void()> handler = m_commands.at(id).handler;
    if (handler)
        handler();
    Update();
    return true;
}

void CCommandTable::Post(unsigned id) {
    QTimer::singleShot(0, this, [this, id] { Execute(id); });
}
