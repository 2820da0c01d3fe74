// Writes script files from a separate process, for the crash and concurrency tests.
//   ini_stress keys FILE PREFIX COUNT   writes PREFIX1..PREFIXCOUNT one WriteIni each
//   ini_stress rewrite FILE             rewrites K1..K40 to the next round, forever
#include "storage/ProfileFile.h"

#include <QCoreApplication>

using namespace tarvik;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const QString options = QStringLiteral("Options");
    if (a.size() == 5 && a[1] == QLatin1String("keys")) {
        const int count = a[4].toInt();
        for (int i = 1; i <= count; ++i)
            if (!WriteIni(options, a[3] + QString::number(i), QString::number(i), a[2]))
                return 1;
        return 0;
    }
    if (a.size() == 3 && a[1] == QLatin1String("rewrite")) {
        for (;;) {
            UpdateIni(a[2], [&](IniDocument& doc) {
                const int round =
                    doc.value(options, QStringLiteral("K1"), {}).section(u' ', 0, 0).toInt() + 1;
                // A long value makes each write take a while, widening the window.
                const QString value = QString::number(round) + u' ' + QString(500, u'r');
                for (int k = 1; k <= 40; ++k)
                    doc.setValue(options, u'K' + QString::number(k), value);
                return true;
            });
        }
    }
    return 2;
}
