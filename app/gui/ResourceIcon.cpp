#include "app/gui/ResourceIcon.h"

#include <QApplication>
#include <QFile>

QIcon ResourceIcon(const char* name, QStyle::StandardPixmap fallback) {
    const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(name));
    if (QFile::exists(path))
        return QIcon(path);
    return QApplication::style()->standardIcon(fallback);
}
