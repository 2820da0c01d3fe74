#include "storage/FileNameText.h"

#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

// Names as bytes: every byte survives the trip through text, and only bytes
// outside well-formed UTF-8 are written \xNN for people.
class FileNameTextTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
};

void FileNameTextTest::roundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readable");
    QTest::newRow("ASCII") << QByteArray("a.txt") << u"a.txt"_s;
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9") << u"café"_s;
    QTest::newRow("Latin-1") << QByteArray("caf\xe9.txt") << u"caf\\xE9.txt"_s;
    QTest::newRow("four bytes, then a stray one")
        << QByteArray("\xf0\x9f\x98\x80\xe9") << u"\U0001F600\\xE9"_s;
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << u"\\xC0\\xAF"_s;
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << u"\\xED\\xA0\\x80"_s;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << u"\\xF4\\x90\\x80\\x80"_s;
    QTest::newRow("cut off") << QByteArray("a\xe2\x82") << u"a\\xE2\\x82"_s;
}

void FileNameTextTest::roundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readable);
    QCOMPARE(ReadableName(bytes), readable);
    QCOMPARE(IsUtf8(bytes), !readable.contains(u"\\x"_s));
    QCOMPARE(NameBytes(NameText(bytes)), bytes);
    if (IsUtf8(bytes))
        QCOMPARE(NameText(bytes), readable);
}

QTEST_GUILESS_MAIN(FileNameTextTest)
#include "tst_file_name_text.moc"
