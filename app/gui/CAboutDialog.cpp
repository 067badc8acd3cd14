#include "app/gui/CAboutDialog.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AboutFigures.h"
#include "app/gui/DialogButtons.h"
#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "app/gui/ResourceIcon.h"

namespace {

constexpr int kIconSize = 48;

QLabel* ProductName(QWidget* parent) {
    auto* name = new QLabel(QStringLiteral("Hollowfen Gleanwick"), parent);
    QFont font = name->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    name->setFont(font);
    return name;
}

QFrame* Separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

CAboutDialog::CAboutDialog(QWidget* parent, const std::string& folder)
    : CHelpDialog(kTemplateId, parent) {
    setWindowTitle(QStringLiteral("About Hollowfen Gleanwick"));
    const QIcon icon = ResourceIcon("gleanwick", QStyle::SP_MessageBoxInformation);
    setWindowIcon(icon);

    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(kIconSize, kIconSize));
    picture->setAlignment(Qt::AlignTop);
    auto* title = new QVBoxLayout;
    title->addWidget(ProductName(this));
    title->addWidget(new QLabel(QStringLiteral("Version 2.0"), this));
    title->addStretch();
    auto* head = new QHBoxLayout;
    head->setSpacing(16);
    head->addWidget(picture);
    head->addLayout(title, 1);

    auto* figures = new QGridLayout;
    figures->setColumnStretch(1, 1);
    figures->setHorizontalSpacing(16);
    AddFigure(figures, 0, QStringLiteral("Memory Available:"), kMemoryField, MemoryAvailableText());
    AddFigure(figures, 1, QStringLiteral("Disk Space Available:"), kDiskField,
              DiskSpaceAvailableText(folder));

    QPushButton* ok = MakeOkButton(this);
    connect(ok, &QPushButton::clicked, this, &CAboutDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(head);
    layout->addWidget(Separator(this));
    layout->addLayout(figures);
    layout->addSpacing(8);
    AddButtonRow(layout, {ok});
    ok->setFocus();
}

// A label and its value field in a row of the grid.
void CAboutDialog::AddFigure(QGridLayout* grid, int row, const QString& label, uint32_t controlId,
                             const std::string& text) {
    auto* field = new QLabel(DisplayText(text), this);
    field->setTextFormat(Qt::PlainText);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SetControlId(field, controlId);
    // 1011 and 1012 name other controls in the server properties.
    SetHelpContextId(field, DialogHelpId(kTemplateId, controlId));
    auto* name = new QLabel(label, this);
    name->setBuddy(field); // What's This on the label shows the field's topic
    grid->addWidget(name, row, 0);
    grid->addWidget(field, row, 1);
}
