#include "options/gui/CMimeOptionsPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/HelpIds.h"
#include "options/CMimeTable.h"
#include "options/gui/CAddMimeTypeDlg.h"
#include "options/gui/CMimeTypeModel.h"

namespace {

constexpr int kIconSize = 16;
constexpr QSize kListSize(380, 220); // room for a full type such as application/octet-stream

QPushButton* MakeButton(const char* text, uint32_t controlId, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    SetControlId(button, controlId);
    return button;
}

} // namespace

CMimeOptionsPage::CMimeOptionsPage(CHive& hive, QWidget* parent)
    : CHelpPropertyPage(kTemplateId, 0, parent), m_hive(hive), m_pModel(new CMimeTypeModel(this)),
      m_pList(new QTreeView(this)), m_pAdd(MakeButton("&Add...", kAdd, this)),
      m_pEdit(MakeButton("&Edit...", kEdit, this)),
      m_pRemove(MakeButton("&Remove", kRemove, this)) {
    SetCaption(QStringLiteral("Mime"));
    SetControlId(m_pList, kTypeList);
    m_pList->setModel(m_pModel);
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setIconSize(QSize(kIconSize, kIconSize));
    m_pList->setMinimumSize(kListSize);
    // The two columns share the width; the rows keep the table's order.
    m_pList->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_pList->header()->setSectionsClickable(false);
    m_pList->header()->setSectionsMovable(false);

    connect(m_pAdd, &QPushButton::clicked, this, &CMimeOptionsPage::Add);
    connect(m_pEdit, &QPushButton::clicked, this, &CMimeOptionsPage::Edit);
    connect(m_pRemove, &QPushButton::clicked, this, &CMimeOptionsPage::Remove);
    connect(m_pList, &QTreeView::doubleClicked, this, &CMimeOptionsPage::Edit);
    connect(new QShortcut(QKeySequence::Delete, m_pList, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &CMimeOptionsPage::Remove);
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMimeOptionsPage::UpdateButtons);
    connect(m_pModel, &QAbstractItemModel::modelReset, this, &CMimeOptionsPage::UpdateButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pAdd);
    buttons->addWidget(m_pEdit);
    buttons->addWidget(m_pRemove);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList, 1);
    layout->addLayout(buttons);
    UpdateButtons();
}

void CMimeOptionsPage::showEvent(QShowEvent* event) {
    CHelpPropertyPage::showEvent(event);
    if (!m_bLoaded)
        Load();
}

void CMimeOptionsPage::Load() {
    m_bLoaded = true;
    m_pModel->SetRows(CMimeTable::LoadMimeTable(m_hive));
}

void CMimeOptionsPage::Apply() {
    if (m_bLoaded)
        CMimeTable::SaveMimeTable(m_hive, m_pModel->Rows());
}

int CMimeOptionsPage::SelectedRow() const {
    const QModelIndexList rows = m_pList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CMimeOptionsPage::Select(int row) {
    const QModelIndex index = m_pModel->index(row, CMimeTypeModel::kTypeColumn);
    m_pList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_pList->scrollTo(index);
}

void CMimeOptionsPage::UpdateButtons() {
    const bool selected = SelectedRow() >= 0;
    m_pEdit->setEnabled(selected);
    m_pRemove->setEnabled(selected);
}

void CMimeOptionsPage::Add() {
    CAddMimeTypeDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        Select(m_pModel->AddRow(dialog.Entry()));
}

void CMimeOptionsPage::Edit() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    CAddMimeTypeDlg dialog(m_pModel->Row(row), this);
    if (dialog.exec() == QDialog::Accepted)
        Select(m_pModel->ReplaceRow(row, dialog.Entry()));
}

void CMimeOptionsPage::Remove() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    m_pModel->RemoveRow(row);
    // The row that moved up takes the selection, so that rows can be removed one after another.
    if (m_pModel->rowCount() > 0)
        Select(std::min(row, m_pModel->rowCount() - 1));
    else
        m_pList->selectionModel()->clear();
    UpdateButtons();
}
