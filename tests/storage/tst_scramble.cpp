#include "storage/ProfileFile.h"
#include "storage/Scramble.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tarvik;

class ScrambleTest : public QObject {
    Q_OBJECT
private slots:
    void knownValues_data();
    void knownValues();
    void positionsRepeatEverySixCharacters();
    void roundTripsThroughAScriptFile_data();
    void roundTripsThroughAScriptFile();
    void lineBreakResultsAreRefused();
};

void ScrambleTest::knownValues_data() {
    // "quillbax" sums to 866, so the key number is 14 and the shifts for
    // positions 1..6 are +10, -8, +15, -7, +14, -12.
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("scrambled");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("seven letters") << "Secret1"
                                   << "]]rksh;";
}

void ScrambleTest::knownValues() {
    QFETCH(QString, plain);
    QFETCH(QString, scrambled);
    QCOMPARE(Scramble(plain).value_or(QStringLiteral("<refused>")), scrambled);
    QCOMPARE(Unscramble(scrambled), plain);
}

void ScrambleTest::positionsRepeatEverySixCharacters() {
    const QString s = Scramble(QStringLiteral("abcdefa")).value();
    QCOMPARE(s.size(), 7);
    QCOMPARE(s[6], s[0]);
    const QString a = Scramble(QStringLiteral("passwordA")).value();
    const QString b = Scramble(QStringLiteral("passwordB")).value();
    QCOMPARE(a.left(8), b.left(8));
    QVERIFY(a[8] != b[8]);
    // Another key text gives another shift.
    QVERIFY(Scramble(QStringLiteral("abc"), u"zzzzzzzz").value() != Scramble(u"abc").value());
}

void ScrambleTest::roundTripsThroughAScriptFile_data() {
    QTest::addColumn<QString>("password");
    QTest::newRow("blanks at both ends") << "  pass word  ";
    // Code 22 + 10 is a blank at position 1; code 17 + 15 a blank at position 3.
    QTest::newRow("scrambles to leading blank") << QStringLiteral("\x16x");
    QTest::newRow("scrambles to trailing blank") << QStringLiteral("ab\x11");
    QTest::newRow("control characters") << QStringLiteral("\x0b\x09\x1b tab");
    QTest::newRow("quotes") << "\"quoted\"";
    QTest::newRow("latin-1 high characters") << QStringLiteral("\u00e9t\u00e9\u00a0");
    QTest::newRow("eighty characters") << QString(80, u'Z');
    // Characters the scrambling once refused: beyond 0-255, or shifted out of it.
    QTest::newRow("any language") << QStringLiteral("Grüße пароль");
    QTest::newRow("beyond the basic plane") << QStringLiteral("k\U0001F511y");
    QTest::newRow("shifted above 255") << QStringLiteral("\u00ff");
    QTest::newRow("shifted below 0") << QStringLiteral("a\x03");
}

void ScrambleTest::roundTripsThroughAScriptFile() {
    QFETCH(QString, password);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    const std::optional<QString> scrambled = Scramble(password);
    QVERIFY(scrambled);
    QVERIFY(WriteIni(QStringLiteral("Options"), QStringLiteral("Password"), *scrambled, path));
    const QString stored = ReadIni(QStringLiteral("Options"), QStringLiteral("Password"), {}, path);
    QCOMPARE(stored, *scrambled);
    QCOMPARE(Unscramble(stored), password);
}

// A stored value cannot hold a line break: code 18 at position 2 would become one.
void ScrambleTest::lineBreakResultsAreRefused() {
    QVERIFY(!Scramble(QStringLiteral("a\x12")).has_value());
    QVERIFY(Scramble(QStringLiteral("a\x13")).has_value());
}

QTEST_GUILESS_MAIN(ScrambleTest)
#include "tst_scramble.moc"
