#include "mainwnd/CProgressPanel.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>

#include "mainwnd/CElidedLabel.h"
#include "mainwnd/CWideProgressBar.h"

namespace {

// The panel was designed 194 dialog units wide: a unit is a quarter of the font's average
// character width.
constexpr int kDesignWidthQuarterChars = 194;

struct FieldRow {
    const char* label;
    CProgressPanel::Control id;
};

constexpr FieldRow kArticleFields[] = {
    {"Message ID:", CProgressPanel::kMessageId}, {"Author:", CProgressPanel::kAuthor},
    {"Subject:", CProgressPanel::kSubject},      {"File Name:", CProgressPanel::kFileName},
    {"Multipart:", CProgressPanel::kMultipart},
};

int AverageCharWidth(const QFontMetrics& metrics) {
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return (metrics.horizontalAdvance(alphabet) + alphabet.size() - 1) / alphabet.size();
}

} // namespace

CProgressPanel::CProgressPanel(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    int row = 0;
    AddField(row++, QStringLiteral("Current Group:"), kGroupName);
    m_pGroupBar = AddBar(row++, kGroupBar);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    grid->addWidget(separator, row++, 0, 1, 2);

    for (const FieldRow& field : kArticleFields)
        AddField(row++, QString::fromLatin1(field.label), field.id);
    m_pArticleBar = AddBar(row++, kArticleBar);
    // A taller pane leaves its extra room below the controls.
    grid->setRowStretch(row, 1);
}

CElidedLabel* CProgressPanel::AddField(int row, const QString& label, Control id) {
    auto* grid = static_cast<QGridLayout*>(layout());
    auto* caption = new QLabel(label, this);
    auto* field = new CElidedLabel(this);
    field->setObjectName(QString::number(id));
    grid->addWidget(caption, row, 0);
    grid->addWidget(field, row, 1);
    m_fields.insert(id, field);
    return field;
}

CWideProgressBar* CProgressPanel::AddBar(int row, Control id) {
    auto* bar = new CWideProgressBar(this);
    bar->setObjectName(QString::number(id));
    static_cast<QGridLayout*>(layout())->addWidget(bar, row, 0, 1, 2);
    return bar;
}

QSize CProgressPanel::sizeHint() const {
    const QSize laidOut = QWidget::sizeHint();
    const int designWidth = kDesignWidthQuarterChars * AverageCharWidth(fontMetrics()) / 4;
    return {std::max(laidOut.width(), designWidth), laidOut.height()};
}
