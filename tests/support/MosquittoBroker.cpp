#include "support/MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <mosquitto.h>
#include <pwd.h>
#include <unistd.h>

namespace zelvant::test {

namespace {

const QString Broker = QStringLiteral("/usr/sbin/mosquitto");
constexpr const char *Sentinel = "zelvant-test/end-of-retained";

// Runs a command line (words split at blanks) in folder; true when it succeeded.
bool run(const QString &program, const char *arguments, const QString &folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, QString::fromLatin1(arguments).split(QLatin1Char(' ')));
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Collected
{
    QMap<QString, QByteArray> messages;
    bool done = false;
};

} // namespace

MosquittoBroker::MosquittoBroker()
{
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHost, 0))
        m_port = probe.serverPort();
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

bool MosquittoBroker::available()
{
    return QFile::exists(Broker);
}

bool MosquittoBroker::makeCertificates()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    const QString in = m_folder.path();
    m_folder.write(QStringLiteral("san.cnf"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    return !openssl.isEmpty()
           && run(openssl,
                  "req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=test-CA "
                  "-keyout ca.key -out ca.crt",
                  in)
           && run(openssl,
                  "req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 "
                  "-keyout server.key -out server.csr",
                  in)
           && run(openssl,
                  "x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
                  "-days 2 -extfile san.cnf -out server.crt",
                  in);
}

bool MosquittoBroker::start(const Setup &setup)
{
    stop();
    // Started as root, the broker would read its files as "mosquitto".
    const passwd *me = getpwuid(getuid());
    QByteArray config =
        "persistence false\nlog_dest none\nuser " + QByteArray(me->pw_name) + "\nlistener "
        + QByteArray::number(m_port) + " 127.0.0.1\n"
        + (setup.tls ? "cafile ca.crt\ncertfile server.crt\nkeyfile server.key\n" : "")
        + (setup.user.isEmpty() ? "allow_anonymous true\n"
                                : "allow_anonymous false\npassword_file pw\n");
    m_folder.write(QStringLiteral("mosquitto.conf"), config);
    QFile::remove(m_folder.file(QStringLiteral("pw")));
    if (!setup.user.isEmpty()
        && QProcess::execute(QStringLiteral("/usr/bin/mosquitto_passwd"),
                             {QStringLiteral("-c"), QStringLiteral("-b"),
                              m_folder.file(QStringLiteral("pw")), setup.user, setup.password})
               != 0)
        return false;
    m_process = std::make_unique<QProcess>();
    m_process->setWorkingDirectory(m_folder.path());
    m_process->start(Broker, {QStringLiteral("-c"), QStringLiteral("mosquitto.conf")});
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process->waitForStarted(5000)) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void MosquittoBroker::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        m_process->kill();
    m_process->waitForFinished(5000);
    m_process.reset();
}

QMap<QString, QByteArray> MosquittoBroker::retained(const QString &filter, const Setup &login) const
{
    mosquitto_lib_init();
    Collected collected;
    mosquitto *mosq = mosquitto_new(nullptr, true, &collected);
    if (!login.user.isEmpty())
        mosquitto_username_pw_set(mosq, login.user.toUtf8().constData(),
                                  login.password.toUtf8().constData());
    if (login.tls)
        mosquitto_tls_set(mosq, caFile().toUtf8().constData(), nullptr, nullptr, nullptr, nullptr);
    mosquitto_message_callback_set(mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
        auto *c = static_cast<Collected *>(self);
        if (qstrcmp(m->topic, Sentinel) == 0)
            c->done = true;
        else if (m->retain) // what a new subscriber is sent first
            c->messages.insert(QString::fromUtf8(m->topic),
                               QByteArray(static_cast<const char *>(m->payload), m->payloadlen));
    });
    // The broker sends a subscription's retained messages before it handles
    // the next packet: the sentinel, sent after, comes after all of them.
    if (mosquitto_connect(mosq, "127.0.0.1", m_port, 10) == MOSQ_ERR_SUCCESS
        && mosquitto_subscribe(mosq, nullptr, filter.toUtf8().constData(), 1) == MOSQ_ERR_SUCCESS
        && mosquitto_subscribe(mosq, nullptr, Sentinel, 1) == MOSQ_ERR_SUCCESS
        && mosquitto_publish(mosq, nullptr, Sentinel, 3, "end", 1, false) == MOSQ_ERR_SUCCESS) {
        const QDeadlineTimer deadline(5000);
        while (!collected.done && !deadline.hasExpired()
               && mosquitto_loop(mosq, 100, 1) == MOSQ_ERR_SUCCESS) {
        }
    }
    mosquitto_disconnect(mosq);
    mosquitto_destroy(mosq);
    return collected.messages;
}

} // namespace zelvant::test
