#include "mainwnd/CElidedLabel.h"

#include <QPainter>

CElidedLabel::CElidedLabel(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    connect(&m_redraw, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void CElidedLabel::SetText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    // Tooltips take text that looks like markup for rich text: a subject such as "<b>x" must
    // show as typed.
    setToolTip(text.isEmpty() ? QString()
                              : "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>");
    m_redraw.Schedule();
}

QSize CElidedLabel::sizeHint() const {
    return minimumSizeHint();
}

QSize CElidedLabel::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void CElidedLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideRight, area.width());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
