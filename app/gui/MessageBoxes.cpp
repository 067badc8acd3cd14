#include "app/gui/MessageBoxes.h"

#include "app/gui/CContextHelp.h"
#include "app/gui/HelpIds.h"
#include "app/gui/TableText.h"
#include "platform/StringIds.h"

QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        const QString& details, unsigned helpTopic) {
    const QString shown = details.isEmpty() ? text : text + QStringLiteral("\n\n") + details;
    QMessageBox box(icon, TableText(ids::kApplicationName), shown, buttons, parent);
    // Server replies and file names show as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    if (helpTopic != 0) {
        SetHelpContextId(&box, helpTopic);
        CContextHelp::Attach(&box);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
