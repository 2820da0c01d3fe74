#pragma once

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>

// A real SMTP server (smtp_sink.py on Debian's aiosmtpd) on 127.0.0.1 and a
// free port below 32768 (the settings keep the port in a qint16), for the
// lifetime of the object.
struct SmtpSinkMode {
    int dropFirst = 0;          // connections closed before the greeting
    const char* mode = "plain"; // "silent"; "swallow-end": a message's end goes unanswered
    QString host = QStringLiteral("127.0.0.1");
    int port = 0; // 0: a free one
};

class SmtpSink {
public:
    explicit SmtpSink(const SmtpSinkMode& mode = {}) {
        const QStringList args{QStringLiteral(TARVIK_TEST_SOURCE_DIR "/smtp_sink.py"),
                               folder_.path(),
                               mode.host,
                               QString::number(mode.port),
                               QString::number(mode.dropFirst),
                               QString::fromLatin1(mode.mode)};
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("/usr/bin/python3"), args);
        while (port_ == 0 && process_.waitForReadyRead(30000))
            readOutput();
    }
    ~SmtpSink() {
        process_.kill();
        process_.waitForFinished(30000);
    }
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    bool started() const { return port_ != 0; }
    int port() const { return port_; }

    // Connections the server accepted so far.
    int connections() {
        while (process_.waitForReadyRead(100))
            readOutput();
        readOutput();
        return connections_;
    }

    // What arrived, in order: the envelope, the parsed message, "raw" its bytes.
    QList<QJsonObject> messages() const {
        QList<QJsonObject> list;
        for (QFile f(file(1)); f.open(QIODevice::ReadOnly);
             f.close(), f.setFileName(file(list.size() + 1)))
            list.append(QJsonDocument::fromJson(f.readAll()).object());
        return list;
    }

private:
    QString file(qsizetype i) const {
        return folder_.filePath(QString::number(i) + QStringLiteral(".json"));
    }
    void readOutput() {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().trimmed();
            if (line.startsWith("port "))
                port_ = line.mid(5).toInt();
            connections_ += line.startsWith("connection ");
        }
    }

    QTemporaryDir folder_;
    QProcess process_;
    int port_ = 0;
    int connections_ = 0;
};

// A port on 127.0.0.1 where nothing listens, below 32768 like the sink's.
inline int unusedPort() {
    for (int i = 0; i < 200; ++i) {
        const int port = 20000 + int(QRandomGenerator::global()->bounded(12768));
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, quint16(port)))
            return port; // closed again when `probe` goes
    }
    return 0;
}
