// One profile write in a process of its own, so a preloaded fault shim sees
// only it:  ini_writer FILE KEY VALUE   exits 0 when WriteIni reported success.
#include "storage/ProfileFile.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 4)
        return 2;
    return tarvik::WriteIni(QStringLiteral("Options"), a[2], a[3], a[1]) ? 0 : 1;
}
