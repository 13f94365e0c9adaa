// Running the built `aerolis` tool as a process on a ConfigFixture's demo
// network, and the small file helpers its tests share.
#pragma once

#include "configfixture.h"
#include "paramtext.h"

#include <lnssim/networkadmin.h>

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>

struct Run
{
    int status = -1; // -1: did not end normally in time
    QString out;
    QString err;
};

inline QString objectOf(const QString &room)
{
    return demoControllerPath(room);
}

// The tool with `args` on the fixture's network, registry and platform.
inline Run runTool(ConfigFixture &f, const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("AEROLIS_LNS_ROOT"), f.env.lnsRoot());
    e.insert(QStringLiteral("AEROLIS_REGISTRY_ROOT"), f.env.file(QStringLiteral("registry")));
    e.insert(QStringLiteral("AEROLIS_UNATTENDED"), QStringLiteral("1"));
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(e);
    // The network database must not be held open by this process.
    f.admin->close();
    p.start(TestEnvironment::binDir() + QStringLiteral("/aerolis"), args);
    Run r;
    if (p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    else
        p.kill();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    f.admin->open();
    return r;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The demo rooms on three channels: Room106 moves onto a channel of its own
// behind a router; Room205 of them does not answer.
inline QStringList roomsOnThreeChannels(ConfigFixture &f)
{
    f.admin->addChannel(QStringLiteral("Line3"), QStringLiteral("Router3"));
    f.admin->moveDevice(f.deviceId(QStringLiteral("Room106")), QStringLiteral("Line3"));
    return {QStringLiteral("Room101"), QStringLiteral("Room103"), QStringLiteral("Room106"),
            QStringLiteral("Room202"), QStringLiteral("Room205")};
}

// How many channels the rooms stand on.
inline int channelCount(ConfigFixture &f, const QStringList &rooms)
{
    QSet<QString> channels;
    for (const QString &room : rooms)
        channels.insert(f.admin->device(room).channel);
    return channels.size();
}

// The first line of `text` that contains `part`.
inline QString lineWith(const QString &text, const QString &part)
{
    for (const QString &l : text.split(QLatin1Char('\n')))
        if (l.contains(part))
            return l;
    return QString();
}
