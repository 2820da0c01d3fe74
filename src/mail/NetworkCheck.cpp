#include "mail/NetworkCheck.h"

#include <QNetworkInterface>

namespace tarvik {

bool HasNetworkConnection() {
    const auto allInterfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : allInterfaces) {
        const QNetworkInterface::InterfaceFlags flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            if (!entry.ip().isNull() && !entry.ip().isLoopback())
                return true;
    }
    return false;
}

} // namespace tarvik
