#include "folder_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Depend/qn_folders.h"
#include "Depend/qn_log.h"

namespace views {

FolderProblem CheckFolder(const QString& folder, bool probe)
{
    // The drive test of the folder's text becomes: absolute, from the root.
    if (folder.size() > kMaxFolderLength || !folder.startsWith(QLatin1Char('/'))) return FolderProblem::Invalid;
    for (QChar c : QStringLiteral("*?\"<>|"))
        if (folder.contains(c)) return FolderProblem::ForbiddenChar;
    if (!QNMakeDir(folder.toStdWString().c_str()) && !QFileInfo::exists(folder)) {
        const QByteArray text = folder.toUtf8();
        QNLogPrint("%s(%d) mkpath %s\n", __FUNCTION__, __LINE__, text.constData());
        if (!QDir().mkpath(folder)) return FolderProblem::NotCreated;
    }
    if (probe) {
        QFile file(QDir(folder).filePath(QStringLiteral("test.txt")));
        if (!file.open(QIODevice::WriteOnly)) return FolderProblem::NoProbe;
        file.close();
        file.remove();
    }
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable()) return FolderProblem::NotWritable;
    return FolderProblem::None;
}

} // namespace views
