#pragma once

#include "runner/RunContext.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tarvik {

// The scripts one run (a batch, or a press of Run in the window) handed to
// the runners, with their results and run log lines.
class RunReport {
public:
    void add(const QString& scriptName, quint16 result, const QStringList& logLines);
    int aborted() const;
    int count() const { return int(scripts_.size()); }

    // "Tarvik: N of M scripts failed on <host>"
    QString subject(const QString& host) const;
    // Each failed script's name, then its run log lines of this run.
    QString body(const QString& host) const;

private:
    struct Script {
        QString name;
        quint16 result = 0;
        QStringList lines;
    };
    QList<Script> scripts_;
};

// When a script of the run aborted and the settings name alert addresses
// (AlertAddress, comma-separated), sends one message about it through the
// settings' mail server. Nothing is sent when every script finished. A
// message that could not be sent is one line of the run log; nothing of it
// reaches the run's result or exit code.
void SendFailureAlert(const RunReport& report, const RunContext& context);

} // namespace tarvik
