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

bool run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
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
    if (openssl.isEmpty())
        return false;
    const auto f = [this](const char *name) { return m_folder.file(QLatin1String(name)); };
    m_folder.write(QStringLiteral("san.cnf"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    return run(openssl,
               {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=Zelvant test CA"),
                QStringLiteral("-keyout"), f("ca.key"), QStringLiteral("-out"), f("ca.crt")})
           && run(openssl,
                  {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), f("server.key"),
                   QStringLiteral("-out"), f("server.csr")})
           && run(openssl,
                  {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                   f("server.csr"), QStringLiteral("-CA"), f("ca.crt"), QStringLiteral("-CAkey"),
                   f("ca.key"), QStringLiteral("-CAcreateserial"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-extfile"), f("san.cnf"),
                   QStringLiteral("-out"), f("server.crt")});
}

bool MosquittoBroker::start(const Setup &setup)
{
    stop();
    // Started as root, the broker would read its files as "mosquitto".
    const passwd *me = getpwuid(getuid());
    QByteArray config = "persistence false\nlog_dest none\nuser "
                        + QByteArray(me ? me->pw_name : "") + "\nlistener "
                        + QByteArray::number(m_port) + " 127.0.0.1\n";
    if (setup.user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        const QString passwords = m_folder.file(QStringLiteral("passwords"));
        QFile::remove(passwords);
        if (!run(QStringLiteral("/usr/bin/mosquitto_passwd"),
                 {QStringLiteral("-c"), QStringLiteral("-b"), passwords, setup.user,
                  setup.password}))
            return false;
        config += "allow_anonymous false\npassword_file " + passwords.toUtf8() + "\n";
    }
    if (setup.tls) {
        config += "cafile " + caFile().toUtf8() + "\ncertfile "
                  + m_folder.file(QStringLiteral("server.crt")).toUtf8() + "\nkeyfile "
                  + m_folder.file(QStringLiteral("server.key")).toUtf8() + "\n";
    }
    m_folder.write(QStringLiteral("mosquitto.conf"), config);
    m_process = std::make_unique<QProcess>();
    m_process->start(Broker,
                     {QStringLiteral("-c"), m_folder.file(QStringLiteral("mosquitto.conf"))});
    if (!m_process->waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
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
