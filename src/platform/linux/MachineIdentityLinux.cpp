#include "platform/MachineIdentity.h"

#include <QFile>

QString machineIdentity()
{
    // systemd's identifier, and the D-Bus copy of it on systems without systemd.
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly)) {
            const QString hashed = hashedMachineIdentity(file.read(256));
            if (!hashed.isEmpty())
                return hashed;
        }
    }
    return {};
}
