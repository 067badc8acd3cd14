#include "app/gui/EditText.h"

#include <QByteArray>

QString EditText(const std::string& bytes) {
    const QString utf8 = QString::fromUtf8(bytes);
    return utf8.toUtf8() == QByteArray::fromStdString(bytes) ? utf8 : QString::fromLatin1(bytes);
}

std::string EditedBytes(const QString& text, const std::string& original) {
    if (text == EditText(original))
        return original;
    return text.toStdString();
}
