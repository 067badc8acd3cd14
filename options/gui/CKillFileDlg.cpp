#include "options/gui/CKillFileDlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <utility>

#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "options/gui/CKillRuleDlg.h"

namespace {

constexpr int kListWidth = 340;
constexpr int kListHeight = 200;
constexpr int kRuleRole = Qt::UserRole;

// Rule indices in row order: by field name ignoring case, rules of one field in list order.
std::vector<int> RowOrder(const std::vector<KillRule>& rules) {
    std::vector<int> order(rules.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&rules](int a, int b) {
        return CKillRuleDlg::FieldName(rules[a].field)
                   .compare(CKillRuleDlg::FieldName(rules[b].field), Qt::CaseInsensitive) < 0;
    });
    return order;
}

} // namespace

CKillFileDlg::CKillFileDlg(std::vector<KillRule>& rules, QWidget* parent)
    : CHelpDialog(kTemplateId, parent), m_rules(rules), m_pList(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Kill File"));
    m_pList->setHeaderLabels({QStringLiteral("Field"), QStringLiteral("Search")});
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setUniformRowHeights(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setMinimumSize(kListWidth, kListHeight);
    SetDialogControlId(m_pList, kTemplateId, kRuleList);

    auto* group = new QGroupBox(QStringLiteral("&Rules"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_pList);

    QPushButton* add = AddButton("A&dd...", kAddButton);
    m_pRemove = AddButton("&Remove", kRemoveButton);
    m_pEdit = AddButton("&Edit...", kEditButton);
    QPushButton* close = AddButton("Close", kCloseButton);
    close->setDefault(true);
    connect(add, &QPushButton::clicked, this, &CKillFileDlg::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CKillFileDlg::OnRemove);
    connect(m_pEdit, &QPushButton::clicked, this, &CKillFileDlg::OnEdit);
    connect(close, &QPushButton::clicked, this, &CKillFileDlg::accept);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CKillFileDlg::UpdateButtons);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, &CKillFileDlg::OnEdit);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {add, m_pRemove, m_pEdit})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);

    Fill(-1);
    m_pList->setFocus();
}

QPushButton* CKillFileDlg::AddButton(const char* text, uint32_t controlId) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setAutoDefault(false);
    // The dialog's own topics: 1 is OK elsewhere, 1001 to 1003 are other controls.
    SetDialogControlId(button, kTemplateId, controlId);
    return button;
}

void CKillFileDlg::showEvent(QShowEvent* event) {
    CHelpDialog::showEvent(event);
    if (!std::exchange(m_bColumnsSplit, true))
        SplitColumns();
}

// The width left of a vertical scroll bar goes half to each column, the odd pixel to Field.
void CKillFileDlg::SplitColumns() {
    const int scrollBar = m_pList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                        m_pList->verticalScrollBar());
    const int usable = m_pList->width() - m_pList->frameWidth() * 2 - scrollBar;
    m_pList->setColumnWidth(0, usable - usable / 2);
    m_pList->setColumnWidth(1, usable / 2);
}

void CKillFileDlg::Fill(int selected) {
    m_pList->clear();
    for (const int index : RowOrder(m_rules)) {
        const KillRule& rule = m_rules[static_cast<size_t>(index)];
        auto* row = new QTreeWidgetItem(
            m_pList, {CKillRuleDlg::FieldName(rule.field), DisplayText(rule.pattern)});
        row->setData(0, kRuleRole, index);
        if (index == selected) {
            m_pList->setCurrentItem(row);
            m_pList->scrollToItem(row);
        }
    }
    UpdateButtons();
}

int CKillFileDlg::SelectedRule() const {
    const QList<QTreeWidgetItem*> rows = m_pList->selectedItems();
    return rows.isEmpty() ? -1 : rows.front()->data(0, kRuleRole).toInt();
}

void CKillFileDlg::UpdateButtons() {
    const bool selected = SelectedRule() >= 0;
    m_pRemove->setEnabled(selected);
    m_pEdit->setEnabled(selected);
}

void CKillFileDlg::OnAdd() {
    KillRule rule;
    if (!CKillRuleDlg::Edit(rule, this))
        return;
    m_rules.push_back(std::move(rule));
    Fill(static_cast<int>(m_rules.size()) - 1);
}

void CKillFileDlg::OnRemove() {
    const int index = SelectedRule();
    if (index < 0)
        return;
    m_rules.erase(m_rules.begin() + index);
    Fill(-1);
    m_pList->setFocus(); // the Remove button that had it is disabled now
}

void CKillFileDlg::OnEdit() {
    const int index = SelectedRule();
    if (index < 0)
        return;
    if (CKillRuleDlg::Edit(m_rules[static_cast<size_t>(index)], this))
        Fill(index);
}
