#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

// One page of a CHelpPropertySheet, with the same context help as CHelpDialog for its
// controls. A page shows copies of the values it edits; the sheet's OK asks every page to
// Validate() and then, when all agreed, to Apply(); Cancel applies nothing.
class CHelpPropertyPage : public QWidget {
    Q_OBJECT

  public:
    // The caption (string-table number) is the page's tab text; with 0 the page sets it with
    // SetCaption in its constructor.
    CHelpPropertyPage(uint32_t templateId, unsigned captionId, QWidget* parent = nullptr);

    uint32_t TemplateId() const { return m_nTemplateId; }
    const QString& Caption() const { return m_strCaption; }

    // Checks what the user entered. A page that returns false has told the user what is
    // wrong; the sheet then makes it the current page and stays open.
    virtual bool Validate() { return true; }
    // Stores the page's values where they belong; called only after every page validated.
    virtual void Apply() {}

  protected:
    void SetCaption(const QString& caption) { m_strCaption = caption; }

  private:
    const uint32_t m_nTemplateId;
    QString m_strCaption;
};
