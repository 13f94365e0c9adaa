// Host start-up under test: a recording main window, scripted messages, an
// application folder of its own with the real INI template, and a fresh
// process state for every case.
#pragma once

#include "testenv.h"

#include <host/hoststate.h>
#include <host/startup.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/registry.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QFile>

class RecordingWindow : public host::MainWindowPort
{
public:
    void setupForCommand(int commandIndex) override { setupCommands << commandIndex; }
    void display() override
    {
        ++displays;
        loaded = true;
    }
    bool isLoaded() const override { return loaded; }
    void unload() override
    {
        loaded = false;
        ++unloads;
    }
    void stopMonitoring() override { ++monitoringStops; }

    QList<int> setupCommands;
    int displays = 0;
    int unloads = 0;
    int monitoringStops = 0;
    bool loaded = false;
};

class HostFixture
{
public:
    explicit HostFixture(bool withIni = true)
    {
        appFolder = env.file(QStringLiteral("app"));
        QDir().mkpath(appFolder);
        if (withIni)
            QFile::copy(TestEnvironment::iniPath(), QDir(appFolder).filePath(QStringLiteral("AerolisCtrl.ini")));
        host::resetState();
        platform::setLanguageOffset(0);
        messages = std::make_shared<platform::ScriptedMessages>();
        platform::setMessageService(messages);
        window = std::make_shared<RecordingWindow>();
        host::Environment &e = host::state().env;
        e = host::Environment();
        e.applicationFolder = appFolder;
        e.executableName = QStringLiteral("AerolisCtrl");
        e.mainWindowFactory = [w = window]() { return w; };
        e.statusWindowFactory = [this]() {
            status = std::make_shared<platform::HeadlessStatusWindow>();
            return status;
        };
        e.showAbout = [this](const host::AboutInfo &info) { abouts << info; };
        e.startDetached = [this](const QString &program, const QStringList &args) {
            started << (program + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
        };
        platform::TraceLog::instance().clearRecent();
    }
    ~HostFixture()
    {
        platform::TraceLog::instance().stop();
        platform::setMessageService(nullptr);
        host::resetState();
        host::state().env = host::Environment();
    }

    bool traced(const QString &line) const { return platform::TraceLog::instance().recent().contains(line); }

    TestEnvironment env;
    QString appFolder;
    std::shared_ptr<platform::ScriptedMessages> messages;
    std::shared_ptr<RecordingWindow> window;
    std::shared_ptr<platform::HeadlessStatusWindow> status;
    QList<host::AboutInfo> abouts;
    QStringList started;
};
