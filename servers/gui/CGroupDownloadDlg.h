#pragma once

#include <string>

#include "app/gui/CHelpDialog.h"
#include "servers/IGroupListHost.h"

class CDownloadAnimation;
class QLabel;

// The progress window of a group-list download: modeless, shown from construction until the
// download destroys it. Cancel, Escape and the close box only note the wish to stop; the
// download asks for it between two reply lines.
class CGroupDownloadDlg : public CHelpDialog, public IGroupDownloadProgress {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 41;
    static constexpr uint32_t kAnimation = 1001;
    static constexpr uint32_t kCounter = 1013;

    // `mainWindow` is the window to stay above and be centred on, unless a modal dialog is open,
    // which is then; it may be disabled while the download runs, which leaves this window usable.
    explicit CGroupDownloadDlg(const std::string& server, QWidget* mainWindow = nullptr);

    void SetCounterText(const std::string& text) override;
    // Handles the events waiting (painting, the animation, Cancel) without waiting for more.
    bool PumpMessages() override;

    bool IsCancelled() const { return m_bCancelled; }

  public slots:
    void reject() override;

  private:
    void KeepAbove(QWidget* mainWindow);

    bool m_bCancelled = false;
    CDownloadAnimation* m_pAnimation;
    QLabel* m_pCounter;
};
