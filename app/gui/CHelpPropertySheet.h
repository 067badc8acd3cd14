#pragma once

#include <QDialog>

class CHelpPropertyPage;
class QTabWidget;

// A tabbed dialog of CHelpPropertyPage pages with OK and Cancel at the bottom right (no Help
// and no Apply button). Leaving a page validates it; OK validates every page, then applies
// every page; Cancel applies nothing. F1 on OK and Cancel shows the sheets' topics for them.
class CHelpPropertySheet : public QDialog {
    Q_OBJECT

  public:
    // The caption is a string-table number; `selectPage` is the page shown first.
    CHelpPropertySheet(unsigned captionId, QWidget* parent, int selectPage = 0);

    // The sheet takes the page over.
    void AddPage(CHelpPropertyPage* page);
    int PageCount() const;
    CHelpPropertyPage* Page(int index) const;
    CHelpPropertyPage* CurrentPage() const;

    void accept() override;

  private:
    // False, with the page made current, when the page refuses its values.
    bool ValidatePage(int index);
    void LeavePage(int next);

    const int m_nSelectPage;
    QTabWidget* m_pTabs;
    int m_nShownPage = -1; // the page the user sees, which is validated when they leave it
};
