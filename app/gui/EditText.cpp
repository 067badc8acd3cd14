#include "app/gui/EditText.h"

#include <QByteArray>
#include <QLineEdit>

QString EditText(const std::string& bytes) {
    const QString utf8 = QString::fromUtf8(bytes);
    return utf8.toUtf8() == QByteArray::fromStdString(bytes) ? utf8 : QString::fromLatin1(bytes);
}

std::string EditedValue(const QLineEdit* edit, const std::string& original) {
    if (edit->text() == EditText(original))
        return original;
    return edit->text().toStdString();
}
