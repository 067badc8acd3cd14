#pragma once

#include <QFrame>
#include <QString>

#include "mainwnd/CPaneRefreshTimer.h"

// A one-line text field that never asks for more room than it is given: text that does not
// fit ends in an ellipsis, and the whole text is the tooltip. A field that follows a run
// changes with every article, hundreds of times a second: it is painted at most once per
// pane refresh, with the latest text.
class CElidedLabel : public QFrame {
    Q_OBJECT

  public:
    explicit CElidedLabel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    const QString& Text() const { return m_text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_text;
    CPaneRefreshTimer m_redraw;
};
