#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

// This computer's own identity, which no renaming, restore or migration of the user's account
// carries to another Mac: the hardware UUID on macOS, /etc/machine-id on Linux. Status files
// carry it hashed, so the shared folder tells two Macs of the same name apart without holding
// the raw identifier. Empty when the system gives none.
QString machineIdentity();

// The hashed form of a raw identifier: 32 hex digits of a SHA-256 digest.
inline QString hashedMachineIdentity(const QByteArray &raw)
{
    const QByteArray id = raw.trimmed();
    if (id.isEmpty())
        return {};
    const QByteArray salted = QByteArray("tandrill-machine:") + id;
    return QString::fromLatin1(QCryptographicHash::hash(salted, QCryptographicHash::Sha256).toHex().left(32));
}
