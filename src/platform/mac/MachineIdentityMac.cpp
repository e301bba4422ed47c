#include "platform/MachineIdentity.h"

#include <ctime>
#include <unistd.h>
#include <uuid/uuid.h>

QString machineIdentity()
{
    // The hardware UUID, as System Information shows it; gethostuuid waits at most this long.
    uuid_t uuid{};
    const timespec wait{1, 0};
    if (::gethostuuid(uuid, &wait) != 0)
        return {};
    uuid_string_t text{};
    ::uuid_unparse_upper(uuid, text);
    return hashedMachineIdentity(QByteArray(text));
}
