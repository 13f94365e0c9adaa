// A database of its own on the test server for one test process: made at
// start from the administrator's connection string the test script exports
// (AEROLIS_TEST_PG_SERVER, password in PGPASSFILE), removed at the end; and
// the demo network in a test's folder and, exported, on that server, and
// environment variables set for one scope.
#pragma once

#include "testenv.h"

#include <lnssim/dbengine.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkcopy.h>
#include <platform/inifile.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <atomic>

// Skips a test without a server; under CI=true a missing server is a failure.
#define REQUIRE_TEST_SERVER(server)                                                                                   \
    do {                                                                                                              \
        if ((server).isEmpty()) {                                                                                     \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                                                 \
                QFAIL("no PostgreSQL test server (AEROLIS_TEST_PG_SERVER): scripts/pg-cluster could not start one");  \
            QSKIP("no PostgreSQL test server (AEROLIS_TEST_PG_SERVER; scripts/test starts one)");                     \
        }                                                                                                             \
    } while (false)

class TestServer
{
public:
    TestServer()
    {
        const QString admin = qEnvironmentVariable("AEROLIS_TEST_PG_SERVER");
        if (admin.isEmpty())
            return;
        static std::atomic<int> counter{0};
        m_database = QStringLiteral("aerolis_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        m_admin = admin;
        if (!adminExec(QStringLiteral("CREATE DATABASE %1").arg(m_database)))
            qFatal("test database %s cannot be created: %s", qPrintable(m_database), qPrintable(m_lastError));
        m_server = admin + QStringLiteral(" dbname=") + m_database;
    }
    ~TestServer()
    {
        if (!m_database.isEmpty())
            adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_database));
    }
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // The connection string of the test's own database; empty without a server.
    QString server() const { return m_server; }
    QString admin() const { return m_admin; }
    // Runs statements as the administrator in the test's database.
    bool exec(const QStringList &statements) { return run(m_server, statements); }
    QString lastError() const { return m_lastError; }

private:
    bool adminExec(const QString &sql) { return run(m_admin, {sql}); }
    bool run(const QString &server, const QStringList &statements)
    {
        static std::atomic<int> connections{0};
        const QString name = QStringLiteral("test-admin-%1").arg(++connections);
        bool ok = true;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setConnectOptions(server);
            ok = db.open();
            if (!ok)
                m_lastError = db.lastError().text();
            for (int i = 0; ok && i < statements.size(); ++i) {
                QSqlQuery q(db);
                ok = q.exec(statements.at(i));
                if (!ok)
                    m_lastError = statements.at(i) + QStringLiteral(": ") + q.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return ok;
    }

    QString m_admin;
    QString m_database;
    QString m_server;
    QString m_lastError;
};

// Sets an environment variable for one scope (a null value unsets it) and
// puts back what was there, also when a check fails on the way out.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QString &value) : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toUtf8());
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

inline const QString kDemo = QStringLiteral("Demo");

// The device templates the tests' demo network is made from.
inline platform::IniFile demoTemplateFile()
{
    platform::IniFile ini;
    if (!ini.setFileName(TestEnvironment::iniPath()))
        qFatal("device template %s missing", qPrintable(TestEnvironment::iniPath()));
    return ini;
}

inline lnssim::NetworkHome folderHome(const TestEnvironment &env)
{
    return lnssim::NetworkHome::local(env.lnsRoot());
}

inline lnssim::NetworkHome serverHome(const TestServer &srv)
{
    return lnssim::NetworkHome::remote(lnssim::checkedServer(srv.server(), false));
}

// The demo network in the test's folder and, exported, on the test server.
inline void makeDemoOnBoth(const TestEnvironment &env, const TestServer &srv)
{
    lnssim::DemoNetwork::create(env.lnsRoot(), demoTemplateFile(), false);
    lnssim::copyNetwork(folderHome(env), serverHome(srv), kDemo, false);
}
