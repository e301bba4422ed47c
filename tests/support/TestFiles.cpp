#include "TestFiles.h"
#include "TestDock.h"

#include "SafeFile.h"
#include "SimulatedMac.h"

#include <QDir>

#include <sys/stat.h>

namespace TestFiles {

QStringList entryNames(const QString &directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList logMessages(const QString &logFilePath)
{
    QStringList messages;
    for (const QByteArray &line : readBytes(logFilePath).split('\n')) {
        if (line.isEmpty())
            continue;
        // "[yyyy-MM-dd HH:mm:ss] [" is 23 bytes; the host name ends at the next "] ".
        const qsizetype end = line.indexOf("] ", 23);
        messages.append(QString::fromUtf8(end < 0 ? line : line.mid(end + 2)));
    }
    return messages;
}

void writeFile(const QString &path, const QByteArray &bytes, double mtime)
{
    writeBytes(path, bytes);
    if (!SafeFile::setModificationTime(path, mtime))
        qFatal("cannot set the modification time of %s", qPrintable(path));
}

bool place(const QString &path, const QString &kind)
{
    QDir(path).removeRecursively();
    QFile::remove(path);
    if (kind == QLatin1String("empty"))
        writeBytes(path, {});
    else if (kind == QLatin1String("directory"))
        return QDir().mkpath(path);
    else if (kind == QLatin1String("FIFO"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    else if (kind == QLatin1String("dangling link"))
        return QFile::link(path + QLatin1String(".gone"), path);
    else if (kind == QLatin1String("iCloud stub")) // evicted before macOS 14: only the stub is left
        writeBytes(QFileInfo(path).path() + QLatin1String("/.") + QFileInfo(path).fileName() + QLatin1String(".icloud"),
                   "stub");
    else if (kind == QLatin1String("not a Dock") || kind == QLatin1String("over 16 MiB")) {
        QFile file(path); // raw: writeBytes would make a Dock of the text
        const bool large = kind == QLatin1String("over 16 MiB");
        return file.open(QIODevice::WriteOnly) && file.write(large ? TestDock::marker("big") : "<html/>") > 0 &&
               (!large || file.resize(17 * 1024 * 1024));
    }
    return kind == QLatin1String("missing") || kind == QLatin1String("empty") || kind == QLatin1String("iCloud stub");
}

} // namespace TestFiles
