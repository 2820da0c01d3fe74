#include "archive/SafePath.h"
#include "storage/Wildcard.h"

#include <QtTest>

using namespace tarvik;
using namespace tarvik::zipio;

// The pure pieces of the engine: name matching and member path checks.
class ZipEngineMatchTest : public QObject {
    Q_OBJECT

private slots:
    void wildcard_data();
    void wildcard();
    void memberPath_data();
    void memberPath();
};

void ZipEngineMatchTest::wildcard_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star dot star, no dot") << "*.*"
                                           << "README" << false << true;
    QTest::newRow("star dot star, leading dot") << "*.*"
                                                << ".bashrc" << false << true;
    QTest::newRow("name dot star, bare name") << "a.*"
                                              << "a" << false << true;
    QTest::newRow("name dot star, longer name") << "a.*"
                                                << "ab" << false << false;
    QTest::newRow("name dot star, two dots") << "a.*"
                                             << "a.b.c" << false << true;
    QTest::newRow("dot star needs the dot when name has one") << "*x.*"
                                                              << "a.b" << false << false;
    QTest::newRow("question mark is one char") << "?.txt"
                                               << "ab.txt" << false << false;
    QTest::newRow("question mark, one code point")
        << "?.txt" << QString::fromUtf8("\xF0\x9F\x98\x80.txt") << false << true;
    QTest::newRow("suffix must end") << "*.txt"
                                     << "a.txt.bak" << false << false;
    QTest::newRow("case counts") << "*.txt"
                                 << "A.TXT" << false << false;
    QTest::newRow("case ignored") << "*.txt"
                                  << "A.TXT" << true << true;
    QTest::newRow("case ignored, non-ASCII")
        << QString::fromUtf8("\xC3\xA4*") << QString::fromUtf8("\xC3\x84rger") << true << true;
    QTest::newRow("several stars") << "a*b*c"
                                   << "aXXbYYc" << false << true;
    QTest::newRow("several stars, missing tail") << "a*b*c"
                                                 << "aXXbYY" << false << false;
    QTest::newRow("empty name") << "*"
                                << "" << false << true;
    QTest::newRow("literal needs all") << "abc"
                                       << "ab" << false << false;
    QTest::newRow("pathological backtracking")
        << "*a*a*a*a*a*a*a*a*a*a*b" << QString(5000, u'a') << false << false;
}

void ZipEngineMatchTest::wildcard() {
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, matches);
    QCOMPARE(MatchWildcard(pattern, name, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive),
             matches);
}

void ZipEngineMatchTest::memberPath_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("steps"); // joined with '/'; "REFUSED" when refused
    // The plain hostile names are checked end to end by the extraction tests.
    const QString refused = QStringLiteral("REFUSED");
    QTest::newRow("plain") << "a/b.txt"
                           << "a/b.txt";
    QTest::newRow("empty and dot steps") << "./a//b/"
                                         << "a/b";
    QTest::newRow("backslash separators") << "a\\b.txt"
                                          << "a/b.txt";
    QTest::newRow("dotdot-like name") << "..a/b"
                                      << "..a/b";
    QTest::newRow("parent step at end") << "a/.." << refused;
    QTest::newRow("absolute with backslash") << "\\etc\\x" << refused;
    QTest::newRow("drive relative") << "c:x" << refused;
}

void ZipEngineMatchTest::memberPath() {
    QFETCH(QString, name);
    QFETCH(QString, steps);
    const std::optional<QStringList> safe = SafeMemberPath(name);
    QCOMPARE(safe ? safe->join(u'/') : QStringLiteral("REFUSED"), steps);
}

QTEST_GUILESS_MAIN(ZipEngineMatchTest)
#include "tst_zipengine_match.moc"
