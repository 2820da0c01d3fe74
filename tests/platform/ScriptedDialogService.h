#pragma once

#include "platform/DialogService.h"

#include <QGuiApplication>
#include <QList>
#include <QStringList>

// A dialog service for tests: records what was shown, in order, and answers
// from queues. With its queue empty a box takes its default button, and an
// input box, a file dialog and a folder browser are cancelled.
class ScriptedDialogService final : public tarvik::DialogService {
public:
    // "beep", "message: <text>" ("busy message: <text>" under the busy
    // pointer), "input: <title>", "file: <title>" or "folder: <title>"
    QStringList events;
    QList<tarvik::MessageRequest> messages;
    QList<tarvik::MessageAnswer> answers;
    QList<std::optional<QString>> texts; // input box answers; nullopt cancels
    QStringList picks;                   // file and folder answers; "" cancels
    QStringList pickStarts;              // the starting folder of each picker
    QStringList pickFilters;             // the Qt filter each file dialog got

    tarvik::MessageAnswer showMessage(QWidget*, const tarvik::MessageRequest& request) override {
        const bool busy = QGuiApplication::overrideCursor();
        events.append(QLatin1String(busy ? "busy message: " : "message: ") + request.text);
        messages.append(request);
        return answers.isEmpty() ? request.defaultButton : answers.takeFirst();
    }
    std::optional<QString> askText(QWidget*, const QString&, const QString& title,
                                   const QString&) override {
        events.append(QStringLiteral("input: ") + title);
        return texts.isEmpty() ? std::nullopt : texts.takeFirst();
    }
    void beep() override { events.append(QStringLiteral("beep")); }
    QString chooseFile(QWidget*, const QString& title, const QString& start,
                       const QString& qtFilter) override {
        pickFilters.append(qtFilter);
        return pick(QStringLiteral("file: ") + title, start);
    }
    QString chooseFolder(QWidget*, const QString& title, const QString& start) override {
        return pick(QStringLiteral("folder: ") + title, start);
    }

private:
    QString pick(const QString& event, const QString& start) {
        events.append(event);
        pickStarts.append(start);
        return picks.isEmpty() ? QString() : picks.takeFirst();
    }
};
