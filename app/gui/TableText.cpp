#include "app/gui/TableText.h"

#include "platform/CStringTable.h"

QString TableText(unsigned id) {
    return QString::fromStdString(CStringTable::Load(id));
}
