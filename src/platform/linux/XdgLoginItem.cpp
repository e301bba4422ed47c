#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Quotes one Exec argument as desktop entries want it, then escapes it as a string value.
QString execArgument(const QString &argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    return quoted;
}

// The autostart entry $XDG_CONFIG_HOME/autostart/tandrill.desktop, starting this very executable.
class XdgLoginItem final : public LoginItem {
public:
    Status status() const override
    {
        QFile file(entryPath());
        if (!file.open(QIODevice::ReadOnly))
            return Status::NotRegistered;
        for (const QByteArray &line : file.read(64 * 1024).split('\n')) {
            if (line.trimmed() == "Hidden=true")
                return Status::NotRegistered;
        }
        return Status::Enabled;
    }

    bool registerItem() override
    {
        QDir().mkpath(QFileInfo(entryPath()).absolutePath());
        QSaveFile file(entryPath());
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QString content = QLatin1String("[Desktop Entry]\n"
                                              "Type=Application\n"
                                              "Name=Tandrill\n"
                                              "Comment=Keeps the Dock identical on several Macs\n"
                                              "Exec=") +
                                execArgument(QCoreApplication::applicationFilePath()) +
                                // A login start stays in the tray.
                                QLatin1String(" --background\n"
                                              "Icon=tandrill\n"
                                              "Terminal=false\n"
                                              "X-GNOME-Autostart-enabled=true\n");
        file.write(content.toUtf8());
        return file.commit();
    }

    bool unregisterItem() override { return !QFile::exists(entryPath()) || QFile::remove(entryPath()); }

private:
    static QString entryPath()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QLatin1String("/autostart/tandrill.desktop");
    }
};

} // namespace

std::unique_ptr<LoginItem> createSystemLoginItem()
{
    return std::make_unique<XdgLoginItem>();
}

std::optional<bool> launchedAsLoginItem(const QStringList &arguments)
{
    return loginStartFrom(arguments, false); // the desktop says nothing beyond the arguments
}
