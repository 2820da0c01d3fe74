// The e-mail settings screen on real script files.
#include "EditorFixture.h"
#include "ui/editors/EmailSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

const QStringList kDirs{u"/d1"_s, u"/d2"_s};

struct EmailFixture : EditorFixture {
    std::unique_ptr<EmailSettingsDialog> email;
    EmailSettingsDialog& openEmail(const QStringList& keys, const QStringList& dirs = kDirs) {
        if (!keys.isEmpty())
            writeScript(u"s.zsc"_s, keys);
        email = std::make_unique<EmailSettingsDialog>(dialogs, scriptPath(u"s.zsc"_s), dirs);
        email->show();
        QApplication::setActiveWindow(email.get());
        return *email;
    }
    template <class T> T* in(const char* name) const {
        return email->findChild<T*>(QString::fromLatin1(name));
    }
    void press(const char* name) const { QTest::mouseClick(in<QPushButton>(name), Qt::LeftButton); }
    QStringList addresses() const {
        QStringList texts;
        for (int row = 0; row < in<QListWidget>("addressList")->count(); ++row)
            texts.append(in<QListWidget>("addressList")->item(row)->text());
        return texts;
    }
};

} // namespace

class EmailSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void hyperLinkEntries_data();
    void hyperLinkEntries();
    void duplicateAddressesIgnoreCase();
    void savedAddresses_data();
    void savedAddresses();
    void emptyFieldsFallBackToDefaults();
    void enterInBodyIsDiscarded();
    void closeQuestionYesStaysOpen();
};

void EmailSettingsTest::hyperLinkEntries_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("storedAfter");
    const QStringList entries{u"/d1/week.zip"_s, u"/d2/week.zip"_s};
    QTest::newRow("stored entry selected")
        << QStringList{u"ZipFile=week"_s, u"HyperLink=Yes"_s, u"HyperLinkPath=/d2/week.zip"_s}
        << entries << 1 << u"/d2/week.zip"_s;
    QTest::newRow("stale path replaced at once")
        << QStringList{u"ZipFile=week"_s, u"HyperLink=yes"_s, u"HyperLinkPath=/gone/week.zip"_s}
        << entries << 0 << u"/d1/week.zip"_s;
    QTest::newRow("unchecked keeps the stored path")
        << QStringList{u"ZipFile=week"_s, u"HyperLink=No"_s, u"HyperLinkPath=/d2/week.zip"_s}
        << entries << 0 << u"/d2/week.zip"_s;
    QTest::newRow("no zip file name yet")
        << QStringList{} << QStringList{u"/d1/.zip"_s, u"/d2/.zip"_s} << 0 << u"<none>"_s;
}

void EmailSettingsTest::hyperLinkEntries() {
    QFETCH(QStringList, keys);
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    QFETCH(QString, storedAfter);
    EmailFixture f;
    f.openEmail(keys);
    auto* combo = f.in<QComboBox>("hyperLinkPathCombo");
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown.append(combo->itemText(i));
    QCOMPARE(shown, entries);
    QCOMPARE(combo->currentIndex(), selected);
    QCOMPARE(combo->isEnabled(), keys.join(u' ').contains(u"HyperLink=y"_s, Qt::CaseInsensitive));
    const QStringList path = f.scriptLines(u"s.zsc"_s).filter(u"HyperLinkPath="_s);
    QCOMPARE(path.isEmpty() ? u"<none>"_s : path.first().mid(14), storedAfter);
}

void EmailSettingsTest::duplicateAddressesIgnoreCase() {
    EmailFixture f;
    f.openEmail({u"EmailAddress1=a@b.c"_s, u"EmailAddress2=d@e.f"_s});
    f.dialogs.texts = {u" D@E.F "_s, u"A@B.C"_s, u"a@b.c"_s};
    f.press("addAddressButton"); // add: refused
    QCOMPARE(f.dialogs.messages.last().text, u"Item already exists."_s);
    QCOMPARE(f.dialogs.messages.last().icon, MessageIcon::Exclamation);
    QVERIFY(!f.in<QPushButton>("saveButton")->isEnabled());
    f.press("editAddressButton"); // edit a@b.c into its own other case: accepted
    QCOMPARE(f.addresses(), (QStringList{u"A@B.C"_s, u"d@e.f"_s}));
    f.in<QListWidget>("addressList")->setCurrentRow(1);
    f.press("editAddressButton"); // edit d@e.f into the other entry: refused
    QCOMPARE(f.addresses(), (QStringList{u"A@B.C"_s, u"d@e.f"_s}));
    QCOMPARE(f.dialogs.events.count(u"beep"_s), 2);
    QVERIFY(f.in<QPushButton>("saveButton")->isEnabled());
}

void EmailSettingsTest::savedAddresses_data() {
    QTest::addColumn<int>("deletes");
    QTest::addColumn<bool>("deleteAll");
    QTest::addColumn<QStringList>("saved");
    QTest::newRow("five to two") << 3 << false
                                 << QStringList{u"EmailAddress1=a4"_s, u"EmailAddress2=a5"_s};
    QTest::newRow("last one deleted") << 5 << false << QStringList{};
    QTest::newRow("delete all") << 0 << true << QStringList{};
}

void EmailSettingsTest::savedAddresses() {
    QFETCH(int, deletes);
    QFETCH(bool, deleteAll);
    QFETCH(QStringList, saved);
    EmailFixture f;
    QStringList keys;
    for (int i = 1; i <= 5; ++i)
        keys.append(u"EmailAddress%1=a%1"_s.arg(i));
    f.openEmail(keys);
    for (int i = 0; i < deletes; ++i) {
        f.dialogs.answers.append(MessageAnswer::Yes);
        f.press("deleteAddressButton");
    }
    if (deleteAll) {
        f.dialogs.answers.append(MessageAnswer::Yes);
        f.press("deleteAllAddressesButton");
    }
    const bool empty = saved.isEmpty();
    for (const char* name :
         {"editAddressButton", "deleteAddressButton", "deleteAllAddressesButton"})
        QCOMPARE(f.in<QPushButton>(name)->isEnabled(), !empty);
    f.press("saveButton");
    QCOMPARE(f.scriptLines(u"s.zsc"_s).filter(u"EmailAddress"_s), saved);
    QVERIFY(!f.in<QPushButton>("saveButton")->isEnabled());
}

void EmailSettingsTest::emptyFieldsFallBackToDefaults() {
    EmailFixture f;
    f.openEmail({u"Subject=Weekly"_s, u"Sender=me@here"_s});
    QCOMPARE(f.in<QLineEdit>("subjectBox")->text(), u"Weekly"_s);
    f.in<QLineEdit>("subjectBox")->clear();
    f.press("saveButton");
    QVERIFY(f.scriptLines(u"s.zsc"_s).filter(u"Subject"_s).isEmpty());
    f.openEmail({});
    QCOMPARE(f.in<QLineEdit>("subjectBox")->text(), u"Zip File"_s);
    QCOMPARE(f.in<QLineEdit>("senderAddressBox")->text(), u"me@here"_s);
}

void EmailSettingsTest::enterInBodyIsDiscarded() {
    EmailFixture f;
    f.openEmail({u"Body=one line"_s});
    auto* body = f.in<QPlainTextEdit>("bodyBox");
    body->setFocus();
    body->moveCursor(QTextCursor::End);
    QTest::keyClick(body, Qt::Key_Return);
    QTest::keyClick(body, Qt::Key_Enter);
    QTest::keyClicks(body, u"!"_s);
    QCOMPARE(body->toPlainText(), u"one line!"_s);
}

void EmailSettingsTest::closeQuestionYesStaysOpen() {
    EmailFixture f;
    f.openEmail({u"Subject=s"_s});
    f.in<QCheckBox>("hyperLinkCheck")->click();
    QVERIFY(f.in<QComboBox>("hyperLinkPathCombo")->isEnabled());
    f.dialogs.answers = {MessageAnswer::Yes, MessageAnswer::No};
    f.press("closeButton");
    QVERIFY(f.email->isVisible());
    QTest::keyClick(f.email.get(), Qt::Key_Escape);
    QVERIFY(!f.email->isVisible());
    QCOMPARE(f.dialogs.messages.size(), 2);
    QCOMPARE(f.scriptLines(u"s.zsc"_s), QStringList{u"Subject=s"_s});
}

QTEST_MAIN(EmailSettingsTest)
#include "tst_email_settings.moc"
