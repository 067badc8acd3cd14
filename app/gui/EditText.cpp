#include "app/gui/EditText.h"

#include <QByteArray>

QString EditText(std::string_view bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString utf8 = QString::fromUtf8(raw);
    return utf8.toUtf8() == raw ? utf8 : QString::fromLatin1(raw);
}

std::string EditedBytes(const QString& text, const std::string& original) {
    if (text == EditText(original))
        return original;
    return text.toStdString();
}
