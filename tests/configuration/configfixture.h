// The configuration command started the way the program starts it: the
// command line through Main, the simulated demo network behind the object
// server, the real window with the configuration bound to it.
#pragma once

#include "demorooms.h"
#include "hostfixture.h"
#include "simserver.h"

#include <configuration/configuration.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>

class ConfigFixture : public HostFixture
{
public:
    ConfigFixture()
    {
        ini.setFileName(TestEnvironment::iniPath());
        wireDemoNetwork(env.lnsRoot(), appFolder);
        // The application images beside the executable, as installed.
        copyFolder(TestEnvironment::binDir() + QStringLiteral("/apps"), appFolder + QStringLiteral("/apps"));
        host::Environment &e = host::state().env;
        e.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
            win = std::make_shared<ui::frmMain>();
            ui::bindConfiguration(*win);
            return win;
        };
        admin = std::make_unique<lnssim::NetworkAdmin>(env.lnsRoot(), QStringLiteral("Demo"));
        admin->open();
    }
    ~ConfigFixture()
    {
        if (win) {
            win->setParametersChanged(false);
            win->hide();
        }
        host::state().mainWindow.reset();
        win.reset();
        admin->close();
    }

    static void copyFolder(const QString &from, const QString &to)
    {
        QDir src(from);
        QDir().mkpath(to);
        for (const QString &d : src.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            copyFolder(src.filePath(d), to + QLatin1Char('/') + d);
        for (const QString &f : src.entryList(QDir::Files))
            QFile::copy(src.filePath(f), to + QLatin1Char('/') + f);
    }

    int deviceId(const QString &room) { return admin->device(room).id; }
    void start(const QString &room, int commandId = 13)
    {
        host::Main({QStringLiteral("/COMMANDID:%1/CLASSID:28/OBJECTNAME:%2").arg(commandId).arg(demoControllerPath(room))});
    }
    configuration::cConfiguration *config() const { return win ? ui::configurationOf(*win) : nullptr; }
    QLineEdit *box(int i) const { return win->control<QLineEdit>(QStringLiteral("TextBox"), i); }
    QStringList loggerLines() const
    {
        QStringList out;
        for (int i = 0; i < win->logger()->count(); ++i)
            out << win->logger()->item(i)->text();
        return out;
    }
    bool logged(const QString &text) const
    {
        for (const QString &l : loggerLines())
            if (l.contains(text))
                return true;
        return false;
    }
    // Types an entry and leaves the box, as the user does.
    void type(int index, const QString &text)
    {
        QLineEdit *b = box(index);
        b->setText(text);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(b, &out);
    }
    // Device and database agree on every CP.
    bool consistent(int id)
    {
        for (const lnssim::CpComparison &c : admin->compareCps(id))
            if (c.differs())
                return false;
        return true;
    }

    platform::IniFile ini;
    std::unique_ptr<lnssim::NetworkAdmin> admin;
    std::shared_ptr<ui::frmMain> win;
};
