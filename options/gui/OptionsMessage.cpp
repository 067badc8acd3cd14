#include "options/gui/OptionsMessage.h"

#include <QMessageBox>

#include "platform/CStringTable.h"
#include "platform/StringIds.h"

void ShowOptionsMessage(QWidget* page, unsigned stringId) {
    QMessageBox::warning(page, QString::fromStdString(CStringTable::Load(ids::kApplicationName)),
                         QString::fromStdString(CStringTable::Load(stringId)));
}
