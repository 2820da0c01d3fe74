// The Qt dialog service shows real boxes; each case answers one from inside
// its modal loop as a user would.
#include "platform/QtDialogService.h"
#include "platform/ScriptedDialogService.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace tarvik;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(tarvik::MessageIcon)
Q_DECLARE_METATYPE(tarvik::MessageButtons)
Q_DECLARE_METATYPE(tarvik::MessageAnswer)

class DialogServiceTest : public QObject {
    Q_OBJECT
private slots:
    void messageBox_data();
    void messageBox();
    void errorBeepsFirst();
};

void DialogServiceTest::messageBox_data() {
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<MessageAnswer>("defaultButton");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("boxIcon");
    QTest::addColumn<MessageAnswer>("answer");

    QTest::newRow("exclamation, Enter")
        << MessageIcon::Exclamation << MessageButtons::Ok << MessageAnswer::Ok
        << int(Qt::Key_Return) << int(QMessageBox::Warning) << MessageAnswer::Ok;
    QTest::newRow("question, Enter takes the default No")
        << MessageIcon::Question << MessageButtons::YesNo << MessageAnswer::No
        << int(Qt::Key_Return) << int(QMessageBox::Question) << MessageAnswer::No;
    QTest::newRow("question, default Yes")
        << MessageIcon::Question << MessageButtons::YesNo << MessageAnswer::Yes
        << int(Qt::Key_Return) << int(QMessageBox::Question) << MessageAnswer::Yes;
    QTest::newRow("question, Esc is No")
        << MessageIcon::Question << MessageButtons::YesNo << MessageAnswer::Yes
        << int(Qt::Key_Escape) << int(QMessageBox::Question) << MessageAnswer::No;
    QTest::newRow("ok-cancel, Esc")
        << MessageIcon::Information << MessageButtons::OkCancel << MessageAnswer::Ok
        << int(Qt::Key_Escape) << int(QMessageBox::Information) << MessageAnswer::Cancel;
}

void DialogServiceTest::messageBox() {
    QFETCH(MessageIcon, icon);
    QFETCH(MessageButtons, buttons);
    QFETCH(MessageAnswer, defaultButton);
    QFETCH(int, key);
    QFETCH(int, boxIcon);
    QFETCH(MessageAnswer, answer);

    QString title, text;
    int seenIcon = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll.stop();
            title = box->windowTitle();
            text = box->text();
            seenIcon = box->icon();
            QTest::keyClick(box, Qt::Key(key));
        }
    });
    poll.start(10);
    const MessageAnswer got = QtDialogService().showMessage(
        nullptr, {u"Script file /s/a.zsc does not exist."_s, icon, buttons, defaultButton});
    QCOMPARE(title, u"Tarvik"_s);
    QCOMPARE(text, u"Script file /s/a.zsc does not exist."_s);
    QCOMPARE(seenIcon, boxIcon);
    QCOMPARE(got, answer);
}

void DialogServiceTest::errorBeepsFirst() {
    ScriptedDialogService service;
    service.reportError(nullptr, u"x"_s);
    QCOMPARE(service.events, (QStringList{u"beep"_s, u"message: x"_s}));
    QCOMPARE(service.messages[0].icon, MessageIcon::Exclamation);
    QCOMPARE(service.messages[0].buttons, MessageButtons::Ok);
}

QTEST_MAIN(DialogServiceTest)
#include "tst_dialog_service.moc"
