#pragma once

#include "platform/ScriptedDialogService.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

// Drives a window from a line of blank-separated steps, as a user would, and
// notes what the steps ask to see. Steps act on the active modal dialog, else
// on window(); in a step '_' stands for a blank:
//   name, name=text, name+=text, name<text   click that button, option or menu
//       item; put text (or a yyyy-mm-dd date) into a box; paste it at the
//       cursor; click into the box and type it at the end
//   Esc Return Enter Del Ins F1..F12   a key
//   !Yes !No !t:text !- !p:path   the next answer of a box, an input box (!-
//       cancels it) or a picker (!p: cancels it)
//   ?name ?focus ? snap   note a control, the one with the focus, the title,
//       what can be pressed
//   x { ... }   x opens a modal dialog that the steps in braces drive
//   name:K=V;K=V -name empty:name 644:name   add lines to a file as another
//       program would, remove, empty or chmod it
// %r (the fixture's folder) and %t (its clock) are filled in, in facts too.
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

    // Also "{c*N}": c written N times.
    QString expand(QString s) const {
        static const QRegularExpression repeat(u"\\{(.)\\*(\\d+)\\}"_s);
        for (auto m = repeat.match(s); m.hasMatch(); m = repeat.match(s))
            s.replace(m.capturedStart(), m.capturedLength(),
                      m.captured(1).repeated(m.captured(2).toInt()));
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
    // Takes `opener` and plays `steps` in the modal dialog it opens (whose
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
        static const QRegularExpression edit(u"^(\\w+)(\\+?=|<)(.*)$"_s);
        const auto m = edit.match(s);
        if (s == u"!Yes" || s == u"!No")
            dialogs.answers << (s == u"!Yes" ? tarvik::MessageAnswer::Yes
                                             : tarvik::MessageAnswer::No);
        else if (head == u"!p")
            dialogs.picks << arg;
        else if (s.startsWith(u'!'))
            dialogs.texts << (s == u"!-" ? std::nullopt : std::optional(arg));
        else if (s.startsWith(u'?') || s == u"snap")
            seen << (s == u"snap" ? pressable(w) : state(w, s.mid(1)));
        else if (own(s) || key(w, s))
            return;
        else if (head == u"empty")
            QFile(path(arg)).open(QIODevice::WriteOnly);
        else if (s.startsWith(u'-'))
            QFile::remove(path(s.mid(1)));
        else if (head.size() == 3 && head.toUInt())
            ::chmod(QFile::encodeName(path(arg)).constData(), head.toUInt(nullptr, 8));
        else if (s.indexOf(u':') > 0 && s.indexOf(u':') < s.indexOf(u'='))
            append(head, arg.split(u';'));
        else if (m.hasMatch())
            change(w->findChild<QWidget*>(m.captured(1)), m.captured(2), m.captured(3));
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
    void change(QWidget* c, const QString& how, const QString& text) {
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
    // Keys for editing go to the control with the focus, the rest to the window.
    static bool key(QWidget* w, const QString& s) {
        static const QStringList keys{u"Esc"_s, u"Return"_s, u"Enter"_s, u"Del"_s, u"Ins"_s};
        static const Qt::Key codes[] = {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter,
                                        Qt::Key_Delete, Qt::Key_Insert};
        const int f = QRegularExpression(u"^F\\d+$"_s).match(s).hasMatch() ? s.mid(1).toInt() : 0;
        if (!f && !keys.contains(s))
            return false;
        QApplication::setActiveWindow(w->window());
        QWidget* focus = QApplication::focusWidget();
        const bool toFocus = keys.indexOf(s) > 0 && focus && w->isAncestorOf(focus);
        QTest::keyClick(toFocus ? focus : w,
                        f ? Qt::Key(Qt::Key_F1 + f - 1) : codes[keys.indexOf(s)]);
        return true;
    }
    // "name=" the text, the rows ('>' the current one, "[X]" a ticked mark)
    // or the date, then " (off)" when disabled; a button is "=on" when checked
    // (an option) or enabled (a push button).
    static QString state(QWidget* w, const QString& name) {
        QWidget* c = name == u"focus" ? QApplication::focusWidget() : w->findChild<QWidget*>(name);
        if (name.isEmpty() || !c || name == u"focus")
            return name.isEmpty() ? w->windowTitle()
                   : c            ? u"focus="_s + c->objectName()
                                  : u"no "_s + name;
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            return name +
                   ((b->isCheckable() ? b->isChecked() : b->isEnabled()) ? u"=on"_s : u"=off"_s);
        QStringList v;
        auto* list = qobject_cast<QListWidget*>(c);
        auto* combo = qobject_cast<QComboBox*>(c);
        for (int i = 0; list && i < list->count(); ++i)
            v << (i == list->currentRow() ? u">"_s : QString()) + list->item(i)->text() +
                     (list->item(i)->checkState() == Qt::Checked ? u"[X]"_s : QString());
        for (int i = 0; combo && i < combo->count(); ++i)
            v << (i == combo->currentIndex() ? u">"_s : QString()) + combo->itemText(i);
        if (auto* line = qobject_cast<QLineEdit*>(c))
            v << line->text() + (line->isReadOnly() ? u" (ro)"_s : QString());
        if (auto* date = qobject_cast<QDateEdit*>(c))
            v << date->date().toString(Qt::ISODate);
        if (auto* box = qobject_cast<QPlainTextEdit*>(c))
            v << box->toPlainText();
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

    QMap<QString, QByteArray> files() const {
        QMap<QString, QByteArray> all;
        // The lock that INI writes take stays behind, empty.
        for (const QString& name : QDir(path({})).entryList(QDir::Files | QDir::Hidden)) {
            if (name.endsWith(u".lock"))
                continue;
            QFile f(path(name));
            all[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?");
        }
        return all;
    }
    // The files gone ("-name") or changed since the window opened: "name =
    // other" for a copy of another as it was, else "+name" for a new one
    // (with its mode if not 0600), or with `lines` "name:" the lines not in
    // the file as it was (a new file: as the opened file was) and "-Key" for
    // the keys gone.
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
            else if (!lines && !(before.contains(name) && before[name] == now[name]) &&
                     (!copy.isEmpty() || !before.contains(name)))
                out << (copy.isEmpty() ? u'+' + name : name + u" = "_s + copy) + mode;
            else if (lines && before.value(name, "-") != now[name])
                out << (name + u": "_s +
                        diff(before.value(before.contains(name) ? name : opened), now[name]))
                           .trimmed();
        }
        out.sort();
        return out;
    }
    static QString diff(const QByteArray& was, const QByteArray& is) {
        const auto lines = [](const QByteArray& text) {
            return QString::fromUtf8(text).split(u"\r\n"_s).filter(u"="_s);
        };
        const QStringList old = lines(was), now = lines(is);
        QStringList out, keys;
        for (const QString& line : now)
            if (keys << line.section(u'=', 0, 0); !old.contains(line))
                out << line;
        for (const QString& line : old)
            if (!keys.contains(line.section(u'=', 0, 0)))
                out << u'-' + line.section(u'=', 0, 0);
        return out.join(u"; "_s);
    }
};

inline QString text(QAnyStringView s) {
    return s.toString();
}
template <class... T> QStringList facts(const T&... s) {
    return {text(s)...};
}

// Rows of a table: each a name, its steps on the lines below indented by
// four, and every fact seen after them on lines that begin "  = ", parted by
// " | " ("  + " goes on with the last fact). A line "$word = text" defines a
// word for the lines after it, as `words` does for all; "\\n" is a line end.
inline void rows(const char* table, QMap<QString, QString> words = {}) {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("facts");
    QString name, steps;
    QStringList facts;
    const auto add = [&] {
        if (!name.isEmpty())
            QTest::newRow(qPrintable(name)) << steps << facts;
    };
    for (QString line : QString::fromUtf8(table).split(u'\n', Qt::SkipEmptyParts)) {
        const QString word = line.startsWith(u'$') ? line.section(u" = "_s, 0, 0) : QString();
        line = line.mid(word.isEmpty() ? 0 : word.size() + 3);
        for (int pass = 0; pass < 2; ++pass) { // "$ab" before "$a"
            for (auto known = words.keyEnd(); known != words.keyBegin();) {
                --known;
                line.replace(*known, words.value(*known));
            }
        }
        line.replace(u"\\n"_s, u"\n"_s).replace(u"\\r"_s, u"\r"_s);
        const QString text = line.trimmed().mid(2);
        if (!word.isEmpty()) {
            words[word] = line;
        } else if (!line.startsWith(u' ')) {
            add();
            name = line;
            steps.clear();
            facts.clear();
        } else if (line.startsWith(u"    ")) {
            steps += u' ' + line.trimmed();
        } else {
            const QStringList more = text.split(u" | "_s);
            if (line.startsWith(u"  + ")) // goes on with the last fact
                facts.last() += u' ' + more.first();
            facts += more.mid(line.startsWith(u"  + ") ? 1 : 0);
        }
    }
    add();
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
