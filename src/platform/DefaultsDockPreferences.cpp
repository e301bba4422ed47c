#include "platform/DockPreferences.h"

#include <QProcess>

#include <utility>

namespace {

const QString kDomain = QStringLiteral("com.apple.dock");
constexpr int kTimeoutMs = 30'000;

// `defaults export|import com.apple.dock -` talks to the preferences daemon, which serves the
// settings it holds even while the file on disk lags behind, and keeps what was imported instead
// of writing its older cache back over it.
class DefaultsDockPreferences final : public DockPreferences {
public:
    DefaultsDockPreferences(QString tool, std::function<void()> restart)
        : m_tool(std::move(tool)), m_restart(std::move(restart))
    {}

    std::optional<QByteArray> exportCurrent() override
    {
        QProcess process;
        process.start(m_tool, {QStringLiteral("export"), kDomain, QStringLiteral("-")});
        process.closeWriteChannel();
        if (!finished(process))
            return std::nullopt;
        return process.readAllStandardOutput();
    }

    std::optional<QString> import(const QByteArray &bytes) override
    {
        QProcess process;
        process.start(m_tool, {QStringLiteral("import"), kDomain, QStringLiteral("-")});
        if (!process.waitForStarted(kTimeoutMs))
            return m_tool + QLatin1String(": ") + process.errorString();
        process.write(bytes);
        process.closeWriteChannel();
        if (!finished(process)) {
            const QString detail = QString::fromUtf8(process.readAllStandardError()).trimmed();
            return m_tool + QLatin1String(" import: ") + (detail.isEmpty() ? process.errorString() : detail);
        }
        return std::nullopt;
    }

    void restartDock() override
    {
        if (m_restart)
            m_restart();
    }

private:
    static bool finished(QProcess &process)
    {
        if (!process.waitForFinished(kTimeoutMs)) {
            process.kill();
            process.waitForFinished();
            return false;
        }
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QString m_tool;
    std::function<void()> m_restart;
};

} // namespace

std::unique_ptr<DockPreferences> createDefaultsDockPreferences(const QString &toolPath, std::function<void()> restart)
{
    return std::make_unique<DefaultsDockPreferences>(toolPath, std::move(restart));
}
