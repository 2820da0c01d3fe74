#pragma once

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>

// A real SMTP server (tests/runner/smtp_sink.py on Debian's aiosmtpd) on
// 127.0.0.1 and a free port below 32768 (the settings keep the port in a
// qint16), for the lifetime of the object.
struct SmtpSinkMode {
    int dropFirst = 0; // connections closed before the greeting
    bool silent = false;
    bool swallowEnd = false; // the end of a message is never answered
    QString host;            // empty: 127.0.0.1
    int port = 0;            // 0: a free one
};

class SmtpSink {
public:
    explicit SmtpSink(SmtpSinkMode mode = {}) {
        QStringList args{QStringLiteral(TARVIK_TEST_SOURCE_DIR "/smtp_sink.py"), folder.path()};
        if (mode.dropFirst > 0)
            args << QStringLiteral("--drop-first") << QString::number(mode.dropFirst);
        if (mode.silent)
            args << QStringLiteral("--silent");
        if (mode.swallowEnd)
            args << QStringLiteral("--swallow-end");
        if (!mode.host.isEmpty())
            args << QStringLiteral("--host") << mode.host;
        if (mode.port != 0)
            args << QStringLiteral("--port") << QString::number(mode.port);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Debian's interpreter: the one that sees python3-aiosmtpd.
        process.start(QStringLiteral("/usr/bin/python3"), args);
        while (serverPort == 0 && process.waitForReadyRead(30000)) {
            readOutput();
        }
    }

    ~SmtpSink() {
        process.kill();
        process.waitForFinished(30000);
    }

    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    bool started() const { return serverPort != 0; }
    int port() const { return serverPort; }

    // Connections the server accepted so far.
    int connections() {
        while (process.waitForReadyRead(300))
            readOutput();
        readOutput();
        return int(lines.filter(QStringLiteral("connection ")).size());
    }

    // What arrived, in order: the envelope and the parsed message.
    QList<QJsonObject> messages() const {
        QList<QJsonObject> list;
        for (int i = 1;; ++i) {
            QFile f(folder.filePath(QString::number(i) + QStringLiteral(".json")));
            if (!f.open(QIODevice::ReadOnly))
                return list;
            list.append(QJsonDocument::fromJson(f.readAll()).object());
        }
    }

    // The bytes of message `i` (1-based) as the server received them.
    QByteArray raw(int i) const {
        QFile f(folder.filePath(QString::number(i) + QStringLiteral(".eml")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    void readOutput() {
        buffer += process.readAllStandardOutput();
        qsizetype end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(buffer.left(end)).trimmed();
            buffer.remove(0, end + 1);
            lines.append(line);
            if (line.startsWith(QStringLiteral("port ")))
                serverPort = line.mid(5).toInt();
        }
    }

    QTemporaryDir folder;
    QProcess process;
    QByteArray buffer;
    QStringList lines;
    int serverPort = 0;
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
