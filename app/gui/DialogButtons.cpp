#include "app/gui/DialogButtons.h"

#include <QBoxLayout>
#include <QPushButton>

#include "app/gui/HelpIds.h"

namespace {

QPushButton* MakeButton(const char* text, uint32_t controlId, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    SetControlId(button, controlId);
    return button;
}

} // namespace

QPushButton* MakeOkButton(QWidget* parent) {
    QPushButton* button = MakeButton("OK", 1, parent);
    button->setDefault(true);
    return button;
}

QPushButton* MakeCancelButton(QWidget* parent) {
    return MakeButton("Cancel", 2, parent);
}

void AddButtonRow(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    layout->addLayout(row);
}
