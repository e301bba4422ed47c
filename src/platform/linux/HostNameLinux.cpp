#include "platform/HostName.h"

#include <QFile>
#include <QSysInfo>

namespace {

// hostnamectl --pretty reads PRETTY_HOSTNAME from /etc/machine-info, a shell-style assignment.
QString prettyHostName()
{
    QFile file(QStringLiteral("/etc/machine-info"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString name;
    for (const QByteArray &raw : file.read(64 * 1024).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("PRETTY_HOSTNAME="))
            continue;
        QByteArray value = line.mid(16);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            const char quote = value.front();
            value = value.mid(1, value.size() - 2);
            if (quote == '"') {
                QByteArray unescaped;
                for (qsizetype i = 0; i < value.size(); ++i) {
                    if (value[i] == '\\' && i + 1 < value.size())
                        ++i;
                    unescaped.append(value[i]);
                }
                value = unescaped;
            }
        }
        name = QString::fromUtf8(value);
    }
    return name;
}

} // namespace

QString systemHostName()
{
    const QString pretty = prettyHostName();
    return pretty.isEmpty() ? QSysInfo::machineHostName() : pretty;
}
