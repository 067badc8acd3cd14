#include "app/gui/DisplayText.h"

#include <QStringDecoder>

namespace {

// The replacement character: every common font has it, unlike the control pictures.
constexpr QChar kSubstitute = u'\uFFFD';

bool IsPrintableAscii(std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f)
            return false;
    }
    return true;
}

bool IsUnsafe(char16_t c) {
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        return true;
    if (c < 0x2028)
        return false;
    return c <= 0x202e || (c >= 0x2066 && c <= 0x2069);
}

void ReplaceUnsafe(QString& text) {
    const qsizetype length = text.size();
    const QChar* read = text.constData();
    qsizetype first = 0;
    while (first < length && !IsUnsafe(read[first].unicode()))
        ++first;
    if (first == length)
        return;
    QChar* write = text.data(); // detaches only when something is replaced
    for (qsizetype i = first; i < length; ++i) {
        if (IsUnsafe(write[i].unicode()))
            write[i] = kSubstitute;
    }
}

} // namespace

QString DisplayText(std::string_view bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    if (IsPrintableAscii(bytes))
        return QString::fromLatin1(bytes.data(), size);
    // Stateless: a sequence cut off at the end is an error, not something to wait for. The
    // initial byte order mark is kept as a character, so that nothing of the bytes is lost.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder(QByteArrayView(bytes.data(), size));
    if (decoder.hasError())
        text = QString::fromLatin1(bytes.data(), size);
    ReplaceUnsafe(text);
    return text;
}
