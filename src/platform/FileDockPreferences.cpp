#include "platform/DockPreferences.h"

#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

// Far above any real Dock file; keeps a runaway file from filling memory.
constexpr qint64 kReadLimit = 64 * 1024 * 1024;

class FileDockPreferences final : public DockPreferences {
public:
    explicit FileDockPreferences(QString path) : m_path(std::move(path)) {}

    std::optional<QByteArray> exportCurrent() override
    {
        QFile file(m_path);
        if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QByteArray bytes = file.read(kReadLimit + 1);
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        return bytes;
    }

    std::optional<QString> import(const QByteArray &bytes) override
    {
        // Synced to the disk before and after its rename: a power cut leaves the old Dock or the new
        // one, never an empty file.
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        const SafeFile::IoResult written = SafeFile::writeAtomically(m_path, bytes);
        if (!written.ok())
            return written.description;
        return std::nullopt;
    }

    void restartDock() override { terminateUserDockProcesses(); }

private:
    QString m_path;
};

} // namespace

std::unique_ptr<DockPreferences> createFileDockPreferences(const QString &dockFilePath)
{
    return std::make_unique<FileDockPreferences>(dockFilePath);
}
