#include "servers/gui/CGroupDownloadDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/gui/DialogButtons.h"
#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "servers/gui/CDownloadAnimation.h"

namespace {

constexpr int kTextWidth = 340;

QString CaptionFor(const std::string& server) {
    return QStringLiteral("%1 %2").arg(QStringLiteral("Downloading Groups from "),
                                       DisplayText(server));
}

} // namespace

CGroupDownloadDlg::CGroupDownloadDlg(const std::string& server, QWidget* mainWindow)
    : CHelpDialog(kTemplateId, nullptr), m_pAnimation(new CDownloadAnimation(this)),
      m_pCounter(new QLabel(this)) {
    setWindowTitle(CaptionFor(server));
    SetControlId(m_pAnimation, kAnimation);
    // 1001 is also the Newsgroups dialog's server list.
    SetHelpContextId(m_pAnimation, DialogHelpId(kTemplateId, kAnimation));

    auto* text = new QLabel(QStringLiteral("Downloading the list of news groups available on the "
                                           "server.  This may take a few minutes if you have a "
                                           "slow connection to your server."),
                            this);
    text->setWordWrap(true);
    text->setFixedWidth(kTextWidth);
    m_pCounter->setAlignment(Qt::AlignCenter);
    SetControlId(m_pCounter, kCounter);

    QPushButton* cancel = MakeCancelButton(this);
    // Cancel here stops the download rather than closing a dialog.
    SetHelpContextId(cancel, DialogHelpId(kTemplateId, 2));
    connect(cancel, &QPushButton::clicked, this, &CGroupDownloadDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_pAnimation, 0, Qt::AlignHCenter);
    layout->addWidget(text);
    layout->addWidget(m_pCounter);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel);
    row->addStretch();
    layout->addLayout(row);

    KeepAbove(mainWindow);
    show();
}

// Not a child of the main window: disabling the main window for the download would disable
// its child windows too, and this one must keep its Cancel button. The window system keeps a
// transient window above its parent all the same. A modal dialog that started the download (Add
// in the Servers dialog, Reset List) blocks every window that does not belong to it, so this
// one belongs to that dialog then.
void CGroupDownloadDlg::KeepAbove(QWidget* mainWindow) {
    QWidget* top = QApplication::activeModalWidget();
    if (top == nullptr && mainWindow != nullptr)
        top = mainWindow->window();
    // At start-up the main window is not shown yet; the window system places the dialog then.
    if (top == nullptr || !top->isVisible())
        return;
    winId();
    if (top->windowHandle() != nullptr)
        windowHandle()->setTransientParent(top->windowHandle());
    adjustSize();
    move(top->geometry().center() - rect().center());
}

void CGroupDownloadDlg::SetCounterText(const std::string& text) {
    m_pCounter->setText(DisplayText(text));
}

bool CGroupDownloadDlg::PumpMessages() {
    QCoreApplication::processEvents();
    return m_bCancelled;
}

void CGroupDownloadDlg::reject() {
    m_bCancelled = true;
}
