#include "storage/IniDocument.h"
#include "storage/ZipScript.h"

#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

// Versions is optional: absent or not a count, a script keeps one archive,
// and a script without versions is written without the key.
class ScriptVersionsTest : public QObject {
    Q_OBJECT
private slots:
    void readAndWrite_data() {
        QTest::addColumn<QString>("stored"); // "<none>": no key
        QTest::addColumn<int>("read");
        QTest::addColumn<QString>("written");
        QTest::newRow("absent") << u"<none>"_s << 0 << u"<none>"_s;
        QTest::newRow("a count") << u" 7 "_s << 7 << u"7"_s;
        QTest::newRow("zero removes the key") << u"0"_s << 0 << u"<none>"_s;
        QTest::newRow("not a number") << u"three"_s << 0 << u"<none>"_s;
        QTest::newRow("negative") << u"-2"_s << 0 << u"<none>"_s;
        QTest::newRow("above the limit") << u"5000"_s << 999 << u"999"_s;
    }
    void readAndWrite() {
        QFETCH(QString, stored);
        QFETCH(int, read);
        QFETCH(QString, written);
        IniDocument doc = IniDocument::parse(u"[Options]\nZipFile=Backup\n"_s);
        if (stored != u"<none>")
            QVERIFY(doc.setValue(u"Options"_s, u"Versions"_s, stored));
        const ZipScriptOptions o = ReadZipScript(doc).options;
        QCOMPARE(o.versions, read);
        QVERIFY(WriteZipScriptOptions(doc, o, false, false));
        QCOMPARE(doc.value(u"Options"_s, u"Versions"_s, u"<none>"_s), written);
    }
};

QTEST_GUILESS_MAIN(ScriptVersionsTest)
#include "tst_script_versions.moc"
