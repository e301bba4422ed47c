#include "platform/DockPreferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QSaveFile file(m_path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return m_path + QLatin1String(": ") + file.errorString();
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
