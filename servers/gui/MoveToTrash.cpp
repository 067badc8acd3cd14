#include "servers/gui/MoveToTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Where Qt put a file when it found no trash at all: with an empty trash path it files the
// file below the working folder as "files/<name>", its record as "info/<name>.trashinfo".
// Both go, and the file returns to `path`.
void PutBack(const QString& path, const QString& misfiled) {
    const QString name = QFileInfo(misfiled).fileName();
    if (!QFile::rename(misfiled, path))
        return;
    QFile::remove(QStringLiteral("info/%1.trashinfo").arg(name));
    QDir here;
    // Only folders left empty: they may have been there before.
    here.rmdir(QStringLiteral("files"));
    here.rmdir(QStringLiteral("info"));
}

} // namespace

bool MoveToTrash(const QString& path) {
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed))
        return false;
    // Every trash Qt can establish has an absolute path.
    if (QDir::isAbsolutePath(trashed))
        return true;
    PutBack(path, trashed);
    return false;
}
