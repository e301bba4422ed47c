#pragma once

#include "SimulatedMac.h"
#include "TestFiles.h"

#include <QJsonDocument>
#include <QProcess>
#include <QSettings>

// Runs tandrill-cli as a separate process with the home and XDG directories of one simulated Mac.
struct CliOutput {
    int exitCode = -1; // -1 when the process did not end normally
    QByteArray out;
    QByteArray err;

    QJsonDocument json() const { return QJsonDocument::fromJson(out); }
};

class CliRunner {
public:
    // Its own HOME and XDG directories, so its backups and settings are the Mac's own; no display.
    explicit CliRunner(const SimulatedMac &mac) : m_environment(QProcessEnvironment::systemEnvironment())
    {
        for (const auto &[name, path] : {std::pair{"HOME", ""},
                                         {"XDG_CONFIG_HOME", "/.config"},
                                         {"XDG_DATA_HOME", "/.local/share"},
                                         {"XDG_CACHE_HOME", "/.cache"},
                                         {"XDG_STATE_HOME", "/.local/state"}})
            m_environment.insert(QLatin1String(name), mac.home() + QLatin1String(path));
        m_environment.remove(QStringLiteral("DISPLAY"));
        m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }

    CliOutput run(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(QStringLiteral(TANDRILL_CLI_PATH), arguments);
        CliOutput output;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return output;
        }
        output.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        output.out = process.readAllStandardOutput();
        output.err = process.readAllStandardError();
        return output;
    }

    // The language the environment asks for messages in, as a shell would set it: LANG, and
    // perhaps a variable that outranks it ("LC_ALL=C").
    CliRunner &withLanguage(const QString &lang, const QString &outranking = {})
    {
        for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            m_environment.remove(QString::fromLatin1(name));
        m_environment.insert(QStringLiteral("LANG"), lang);
        if (const qsizetype equals = outranking.indexOf(u'='); equals > 0)
            m_environment.insert(outranking.left(equals), outranking.mid(equals + 1));
        return *this;
    }

    // The folder the app keeps in its settings, where the tool finds it without --folder.
    void setAppFolder(const QString &folder) const
    {
        QSettings settings(m_environment.value(QStringLiteral("XDG_CONFIG_HOME")) +
                               QLatin1String("/Tandrill/Tandrill.conf"),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("TandrillFolderPath"), folder);
    }

private:
    QProcessEnvironment m_environment;
};
