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
    int dropFirst = 0; // connections closed before the greeting
    bool silent = false;
    bool swallowEnd = false; // the end of a message is never answered
    QString host{};          // empty: 127.0.0.1
    int port = 0;            // 0: a free one
};

class SmtpSink {
public:
    explicit SmtpSink(const SmtpSinkMode& mode = {}) {
        const QStringList args{QStringLiteral(TARVIK_TEST_SOURCE_DIR "/smtp_sink.py"),
                               folder_.path(),
                               mode.host.isEmpty() ? QStringLiteral("127.0.0.1") : mode.host,
                               QString::number(mode.port),
                               QString::number(mode.dropFirst),
                               mode.silent       ? QStringLiteral("silent")
                               : mode.swallowEnd ? QStringLiteral("swallow-end")
                                                 : QStringLiteral("plain")};
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

    // What arrived, in order: the envelope and the parsed message.
    QList<QJsonObject> messages() const {
        QList<QJsonObject> list;
        for (int i = 1;; ++i) {
            QFile f(file(i, ".json"));
            if (!f.open(QIODevice::ReadOnly))
                return list;
            list.append(QJsonDocument::fromJson(f.readAll()).object());
        }
    }

    // The bytes of message `i` (1-based) as the server received them.
    QByteArray raw(int i) const {
        QFile f(file(i, ".eml"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString file(int i, const char* ending) const {
        return folder_.filePath(QString::number(i) + QLatin1String(ending));
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
