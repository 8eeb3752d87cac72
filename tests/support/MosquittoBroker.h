#pragma once
// A real MQTT broker for the tests: Debian's /usr/sbin/mosquitto on
// 127.0.0.1 at a free port, its configuration (and, for TLS, a certificate
// authority and server certificate made with openssl) in a temporary
// folder; and a subscriber that reads what the broker retains.

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

#include "support/TempFolder.h"

namespace zelvant::test {

struct BrokerSetup
{
    QString user; // with a password: anonymous clients are refused
    QString password;
    bool tls = false; // needs makeCertificates()
};

class MosquittoBroker
{
public:
    using Setup = BrokerSetup;

    MosquittoBroker();
    ~MosquittoBroker();

    static bool available();
    // A certificate authority (ca.crt) and a server certificate for
    // 127.0.0.1 signed by it; false when openssl is missing or failed.
    bool makeCertificates();
    QString caFile() const { return m_folder.file(QStringLiteral("ca.crt")); }

    // Starts the broker (again on the same port after stop()); false when it
    // did not listen within a few seconds.
    bool start(const Setup &setup = {});
    void stop();
    int port() const { return m_port; }

    // What the broker retains under filter ("#": everything), topic ->
    // payload, read by a fresh subscriber. Empty when it cannot connect.
    QMap<QString, QByteArray> retained(const QString &filter = QStringLiteral("#"),
                                       const Setup &login = {}) const;

private:
    TempFolder m_folder;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};

} // namespace zelvant::test
