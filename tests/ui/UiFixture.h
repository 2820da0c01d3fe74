#pragma once

#include "platform/ScriptedDialogService.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

// Drives a window from blank-separated steps, as a user would, on the active
// modal dialog or else on window(), and notes what they ask to see:
//   name name=text name+=text name<text   click that button, option or menu
//       item; put text (or a yyyy-mm-dd date) into a box; paste it at the
//       cursor; click into the box and type it at the end ('_' is a blank)
//   Esc Return Enter Del Ins F1..F12   press a key
//   !Yes !No !t:text !- !p:path   the next answer of a message box, an input
//       box (!- cancels it) or a picker (!p: cancels it)
//   ?name ?focus ? snap   note a control, the focused one, the title, what
//       can be pressed;   x { ... }   x opens a modal dialog the steps drive
//   name:K=V;K=V -name empty:name 644:name   add lines to a file (as another
//       program writes them), remove, empty, chmod it
// %r (the fixture's folder), %t (its clock), {c*N} (c N times) and {#HEX}
// (the character of that code) are filled in, in facts too.
struct UiFixture {
    static inline const QString kStamp = u"2004/03/15 14:07:09"_s;
    QTemporaryDir root;
    ScriptedDialogService dialogs;
    QStringList seen;
    QMap<QString, QByteArray> before; // the files as the window opened
    QString opened;                   // the file it was opened on

    virtual ~UiFixture() = default;
    virtual QWidget* window() const = 0;
    virtual QString path(const QString& name) const = 0;
    virtual bool own(const QString& step) = 0;

    QString expand(QString s) const {
        static const QRegularExpression repeat(u"\\{(.)\\*(\\d+)\\}"_s);
        for (auto m = repeat.match(s); m.hasMatch(); m = repeat.match(s))
            s.replace(m.capturedStart(), m.capturedLength(),
                      m.captured(1).repeated(m.captured(2).toInt()));
        static const QRegularExpression code(u"\\{#([0-9a-f]+)\\}"_s);
        for (auto m = code.match(s); m.hasMatch(); m = code.match(s))
            s.replace(m.capturedStart(), m.capturedLength(),
                      QString::fromUcs4(
                          std::array{char32_t(m.captured(1).toUInt(nullptr, 16))}.data(), 1));
        return s.replace(u"%r"_s, root.path()).replace(u"%t"_s, kStamp);
    }
    void play(const QString& steps) { play(steps.split(u' ', Qt::SkipEmptyParts)); }
    void play(const QStringList& t) {
        for (qsizetype i = 0, end = 0; i < t.size(); i = ++end) {
            for (int depth = 0; end + 1 < t.size() && (depth > 0 || t[end + 1] == u"{");)
                depth += t[++end] == u"{" ? 1 : t[end] == u"}" ? -1 : 0;
            end == i ? step(t[i]) : inModal(t[i], t.mid(i + 2, end - i - 2));
        }
    }
    // Takes `opener`, and plays `steps` in the modal dialog it opens (its
    // exec() turns the event loop); a dialog they leave open is closed.
    void inModal(const QString& opener, const QStringList& steps) {
        const QPointer<QWidget> was = QApplication::activeModalWidget();
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const QPointer<QDialog> now = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!now || now.data() == was.data() || !now->isVisible())
                return;
            timer.stop();
            play(steps);
            if (now && now->isVisible())
                seen << u"left open: "_s + now->windowTitle(), now->done(QDialog::Rejected);
        });
        timer.start(5);
        step(opener);
    }

    void step(QString s) {
        s = expand(s.replace(u'_', u' '));
        QWidget* w =
            QApplication::activeModalWidget() ? QApplication::activeModalWidget() : window();
        const QString head = s.section(u':', 0, 0), arg = s.section(u':', 1);
        const auto edit = QRegularExpression(u"^(\\w+)(\\+?=|<)(.*)$"_s).match(s);
        const auto key = QRegularExpression(u"^(Esc|Return|Enter|Del|Ins|F\\d+)$"_s).match(s);
        if (s == u"!Yes" || s == u"!No")
            dialogs.answers << (s == u"!Yes" ? tarvik::MessageAnswer::Yes
                                             : tarvik::MessageAnswer::No);
        else if (s.startsWith(u'!'))
            head == u"!p" ? void(dialogs.picks << arg)
                          : void(dialogs.texts << (s == u"!-" ? std::nullopt : std::optional(arg)));
        else if (s.startsWith(u'?') || s == u"snap")
            seen << (s == u"snap" ? pressable(w) : state(w, s.mid(1)));
        else if (own(s))
            return;
        else if (key.hasMatch()) {
            // Keys for editing go to the control with the focus, the rest to the window.
            QApplication::setActiveWindow(w->window());
            QWidget* focus = QApplication::focusWidget();
            const bool toFocus = s != u"Esc" && !s.startsWith(u'F') && w->isAncestorOf(focus);
            QTest::keyClick(toFocus ? focus : w, QKeySequence::fromString(s)[0].key());
        } else if (head == u"empty")
            QFile(path(arg)).open(QIODevice::WriteOnly);
        else if (s.startsWith(u'-'))
            QFile::remove(path(s.mid(1)));
        else if (head.size() == 3 && head.toUInt())
            ::chmod(QFile::encodeName(path(arg)).constData(), head.toUInt(nullptr, 8));
        else if (s.indexOf(u':') > 0 && s.indexOf(u':') < s.indexOf(u'='))
            append(head, arg.split(u';'));
        else if (edit.hasMatch())
            change(w->findChild<QWidget*>(edit.captured(1)), edit.captured(2), edit.captured(3));
        else if (auto* button = w->findChild<QAbstractButton*>(s))
            button->click();
        else if (auto* action = w->findChild<QAction*>(s))
            action->trigger();
        else
            seen << u"no "_s + s;
    }
    void append(const QString& name, const QStringList& lines) const {
        QFile f(path(name));
        QDir().mkpath(QFileInfo(f).path());
        const QString head = f.exists() ? QString() : u"[Options]\r\n"_s;
        if (f.open(QIODevice::Append))
            f.write((head + lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    static void change(QWidget* c, const QString& how, const QString& text) {
        auto* line = qobject_cast<QLineEdit*>(c);
        if (auto* date = qobject_cast<QDateEdit*>(c))
            return date->setDate(QDate::fromString(text, Qt::ISODate));
        if (how != u"<")
            return how == u"=" ? line->setText(text) : line->insert(text);
        c->setFocus();
        QTest::mouseClick(c, Qt::LeftButton);
        line ? line->end(false) : qobject_cast<QPlainTextEdit*>(c)->moveCursor(QTextCursor::End);
        QTest::keyClicks(c, text);
    }
    // "name=" the text, the rows ('>' the current one, "[X]" a ticked mark)
    // or the date, " (ro)" when read-only, " (off)" when disabled; a button
    // is "=on" when checked (an option) or enabled (a push button).
    static QString state(QWidget* w, const QString& name) {
        QWidget* c = name == u"focus" ? QApplication::focusWidget() : w->findChild<QWidget*>(name);
        if (name.isEmpty() || !c || name == u"focus")
            return name.isEmpty() ? w->windowTitle()
                   : c            ? u"focus="_s + c->objectName()
                                  : u"no "_s + name;
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            return name +
                   ((b->isCheckable() ? b->isChecked() : b->isEnabled()) ? u"=on"_s : u"=off"_s);
        auto* list = qobject_cast<QListWidget*>(c);
        auto* combo = qobject_cast<QComboBox*>(c);
        auto* line = qobject_cast<QLineEdit*>(c);
        QStringList v;
        for (int i = 0; (list || combo) && i < (list ? list->count() : combo->count()); ++i)
            v << (i == (list ? list->currentRow() : combo->currentIndex()) ? u">"_s : QString()) +
                     (list ? list->item(i)->text() : combo->itemText(i)) +
                     (list && list->item(i)->checkState() ? u"[X]"_s : QString());
        if (auto* date = qobject_cast<QDateEdit*>(c))
            v << date->date().toString(Qt::ISODate);
        if (auto* box = qobject_cast<QPlainTextEdit*>(c))
            v << box->toPlainText();
        if (auto* label = qobject_cast<QLabel*>(c))
            v << label->text();
        if (line)
            v << line->text() + (line->isReadOnly() ? u" (ro)"_s : QString());
        return name + u'=' + v.join(u", "_s) + (c->isEnabled() ? QString() : u" (off)"_s);
    }
    // The buttons, lists and progress bars one can use or see: "only" those,
    // or "all but" those one cannot, whichever is shorter.
    static QString pressable(QWidget* w) {
        QStringList on, off;
        for (QWidget* c : w->findChildren<QWidget*>(QRegularExpression(u"^(?!qt_)[a-z]"_s))) {
            const bool bar = qobject_cast<QProgressBar*>(c);
            if (c->window() == w &&
                (bar || qobject_cast<QAbstractButton*>(c) || qobject_cast<QAbstractItemView*>(c)))
                (c->isVisible() && (bar || c->isEnabled()) ? on : off) << c->objectName();
        }
        on.sort();
        off.sort();
        return (on.size() <= off.size() ? u"only "_s + on.join(u' ')
                                        : u"all but "_s + off.join(u' '))
            .trimmed();
    }

    // The folder's files but for the lock INI writes leave behind.
    QMap<QString, QByteArray> files() const {
        QMap<QString, QByteArray> all;
        for (const QString& name : QDir(path({})).entryList(QDir::Files | QDir::Hidden)) {
            QFile f(path(name));
            if (!name.endsWith(u".lock") && f.open(QIODevice::ReadOnly))
                all[name] = f.readAll();
        }
        return all;
    }
    // The files gone ("-name") or changed since the window opened: "name =
    // other" a copy of another as it was, else "+name" a new one (with its
    // mode if not 0600); with `lines`, "name:" the lines not in the file as
    // it was (a new file: as the opened one was) and "-Key" for keys gone.
    QStringList changes(bool lines) const {
        QStringList out;
        const auto now = files();
        for (const QString& name :
             QSet(before.keyBegin(), before.keyEnd()) + QSet(now.keyBegin(), now.keyEnd())) {
            const QString copy = before.key(now.value(name));
            struct stat st {};
            ::stat(QFile::encodeName(path(name)).constData(), &st);
            const QString mode = (st.st_mode & 0777) == 0600
                                     ? QString()
                                     : u" mode %1"_s.arg(st.st_mode & 0777, 0, 8);
            if (!now.contains(name))
                out << u'-' + name;
            else if (before.value(name, "-") == now[name])
                continue;
            else if (!lines && (!copy.isEmpty() || !before.contains(name)))
                out << (copy.isEmpty() ? u'+' + name : name + u" = "_s + copy) + mode;
            else if (lines)
                out << (name + u": "_s +
                        diff(before.value(before.contains(name) ? name : opened), now[name]))
                           .trimmed();
        }
        out.sort();
        return out;
    }
    static QString diff(const QByteArray& was, const QByteArray& is) {
        const QStringList old = QString::fromUtf8(was).split(u"\r\n"_s),
                          now = QString::fromUtf8(is).split(u"\r\n"_s);
        QStringList out, keys;
        for (const QString& line : now.filter(u"="_s))
            if (keys << line.section(u'=', 0, 0); !old.contains(line))
                out << line;
        for (const QString& line : old.filter(u"="_s))
            if (!keys.contains(line.section(u'=', 0, 0)))
                out << u'-' + line.section(u'=', 0, 0);
        return out.join(u"; "_s);
    }
};

template <class... T> QStringList facts(const T&... s) {
    return {QAnyStringView(s).toString()...};
}

// A table's rows: each "name: steps" and more steps on the lines below,
// indented by four, then all that shows after them on lines that begin
// "  = ", parted by " | " ("  + " goes on with the last fact). "$word = text"
// defines a word for the lines after it, as `words` does for all; "\n" and
// "\r" are line ends.
inline void rows(const char* table, QMap<QString, QString> words = {}) {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("facts");
    QString name, steps;
    QStringList facts;
    for (QStringList all = QString::fromUtf8(table).split(u'\n', Qt::SkipEmptyParts) << u"end: "_s;
         QString line : all) {
        const QString word = line.startsWith(u'$') ? line.section(u" = "_s, 0, 0) : QString();
        line = line.mid(word.isEmpty() ? 0 : word.size() + 3);
        const QStringList known = words.keys();
        for (auto each = known.crbegin(); each != known.crend(); ++each) // "$ab" before "$a"
            line.replace(*each, words.value(*each));
        line.replace(u"\\n"_s, u"\n"_s).replace(u"\\r"_s, u"\r"_s);
        const QStringList more = line.trimmed().mid(2).split(u" | "_s);
        if (!word.isEmpty()) {
            words[word] = line;
        } else if (!line.startsWith(u' ')) {
            if (!name.isEmpty())
                QTest::newRow(qPrintable(name)) << steps << facts;
            name = line.section(u": "_s, 0, 0), steps = line.section(u": "_s, 1), facts.clear();
        } else if (line.startsWith(u"    ")) {
            steps += u' ' + line.trimmed();
        } else {
            if (line.startsWith(u"  + "))
                facts.last() += u' ' + more.first();
            facts += more.mid(line.startsWith(u"  + ") ? 1 : 0);
        }
    }
}
template <class Fixture> void checkSteps(const QString& first = {}) {
    QFETCH(QString, steps);
    QFETCH(QStringList, facts);
    Fixture f;
    f.play(first + u' ' + steps);
    for (QString& fact : facts)
        fact = f.expand(fact);
    const QStringList seen = f.observe();
    if (seen != facts)
        qInfo().noquote() << u"seen:\n  = "_s + seen.join(u" | "_s);
    QCOMPARE(seen, facts);
}
