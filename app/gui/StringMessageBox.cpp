#include "app/gui/StringMessageBox.h"

#include "app/gui/CContextHelp.h"
#include "app/gui/DisplayText.h"
#include "app/gui/HelpIds.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

QMessageBox::StandardButton StringMessageBox(QWidget* parent, unsigned id, std::string_view arg,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, DisplayText(CStringTable::Load(ids::kApplicationName)),
                    DisplayText(CStringTable::Format(id, arg)), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    SetHelpContextId(&box, id);
    CContextHelp::Attach(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
