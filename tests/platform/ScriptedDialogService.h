#pragma once

#include "platform/DialogService.h"

#include <QList>
#include <QStringList>

// A dialog service for tests: records what was shown, in order, and answers
// from a queue; with the queue empty a box takes its default button and an
// input box is cancelled.
class ScriptedDialogService final : public tarvik::DialogService {
public:
    QStringList events; // "beep", or "message: <text>", or "input: <title>"
    QList<tarvik::MessageRequest> messages;
    QList<tarvik::MessageAnswer> answers;

    tarvik::MessageAnswer showMessage(QWidget*, const tarvik::MessageRequest& request) override {
        events.append(QStringLiteral("message: ") + request.text);
        messages.append(request);
        return answers.isEmpty() ? request.defaultButton : answers.takeFirst();
    }
    std::optional<QString> askText(QWidget*, const QString&, const QString& title,
                                   const QString&) override {
        events.append(QStringLiteral("input: ") + title);
        return std::nullopt;
    }
    void beep() override { events.append(QStringLiteral("beep")); }
};
