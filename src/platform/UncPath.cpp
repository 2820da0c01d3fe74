#include "platform/UncPath.h"

namespace tarvik {
namespace {

constexpr quint32 kNotConnected = 2250;

} // namespace

QString NetworkErrorText(quint32 code) {
    switch (code) {
    case 0:
        return {};
    case 8:
        return QStringLiteral("The System is Out of Memory.");
    case 50:
        return QStringLiteral("This Function is Not supported");
    case 59:
        return QStringLiteral("An error occurred On the network");
    case 87:
        return QStringLiteral("Invalid local device name");
    case 234:
        return QStringLiteral("The buffer was too small to return the file service name");
    case 487:
        return QStringLiteral("The network path is invalid");
    case kNotConnected:
        return QStringLiteral("The drive is Not connected");
    default:
        return QStringLiteral("Unrecognized Error - ") + QString::number(code) + u'.';
    }
}

quint32 NetworkNameOfDrive(const QString& /*device*/, QString& networkName, QString& errorText) {
    // No drive letters here, so nothing is ever connected to one.
    errorText = NetworkErrorText(kNotConnected);
    networkName.clear();
    return kNotConnected;
}

QString ToUncPath(const QString& path, bool uncPaths) {
    if (!uncPaths || path.size() < 2 || path.startsWith(QStringLiteral("\\\\")))
        return path;
    QString networkName;
    QString errorText;
    if (NetworkNameOfDrive(path.left(2), networkName, errorText) != 0)
        return path;
    return networkName + path.mid(2);
}

} // namespace tarvik
