#include "app/gui/CHelpPropertySheet.h"

#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

#include "app/gui/CContextHelp.h"
#include "app/gui/CHelpPropertyPage.h"
#include "app/gui/DialogButtons.h"
#include "app/gui/HelpIds.h"
#include "platform/CStringTable.h"

CHelpPropertySheet::CHelpPropertySheet(unsigned captionId, QWidget* parent, int selectPage)
    : QDialog(parent), m_nSelectPage(selectPage), m_pTabs(new QTabWidget(this)) {
    setWindowTitle(QString::fromStdString(CStringTable::Load(captionId)));
    setWindowFlag(Qt::WindowContextHelpButtonHint);
    CContextHelp::Attach(this);
    QPushButton* ok = MakeOkButton(this);
    QPushButton* cancel = MakeCancelButton(this);
    SetHelpContextId(ok, helpids::kSheetOk);
    SetHelpContextId(cancel, helpids::kSheetCancel);
    connect(ok, &QPushButton::clicked, this, &CHelpPropertySheet::accept);
    connect(cancel, &QPushButton::clicked, this, &CHelpPropertySheet::reject);
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CHelpPropertySheet::LeavePage);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    AddButtonRow(layout, {ok, cancel});
}

// A page that refuses its values keeps the user on it.
void CHelpPropertySheet::LeavePage(int next) {
    const int left = std::exchange(m_nShownPage, next);
    if (left < 0 || left == next || left >= PageCount() || Page(left)->Validate())
        return;
    m_nShownPage = left;
    const QSignalBlocker quiet(m_pTabs);
    m_pTabs->setCurrentIndex(left);
}

void CHelpPropertySheet::AddPage(CHelpPropertyPage* page) {
    const QSignalBlocker quiet(m_pTabs); // nothing is left while the sheet is being built
    m_pTabs->addTab(page, page->Caption());
    if (m_pTabs->count() - 1 == m_nSelectPage)
        m_pTabs->setCurrentIndex(m_nSelectPage);
    m_nShownPage = m_pTabs->currentIndex();
}

int CHelpPropertySheet::PageCount() const {
    return m_pTabs->count();
}

CHelpPropertyPage* CHelpPropertySheet::Page(int index) const {
    return static_cast<CHelpPropertyPage*>(m_pTabs->widget(index));
}

CHelpPropertyPage* CHelpPropertySheet::CurrentPage() const {
    return static_cast<CHelpPropertyPage*>(m_pTabs->currentWidget());
}

bool CHelpPropertySheet::ValidatePage(int index) {
    if (Page(index)->Validate())
        return true;
    const QSignalBlocker quiet(m_pTabs);
    m_pTabs->setCurrentIndex(index);
    m_nShownPage = index;
    return false;
}

void CHelpPropertySheet::accept() {
    // The page in view first: when it is wrong, the user stays where they are.
    const int current = m_pTabs->currentIndex(); // -1 without pages
    if (current >= 0 && !ValidatePage(current))
        return;
    for (int index = 0; index < PageCount(); ++index) {
        if (index != current && !ValidatePage(index))
            return;
    }
    for (int index = 0; index < PageCount(); ++index)
        Page(index)->Apply();
    QDialog::accept();
}
