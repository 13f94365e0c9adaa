// The real main window under test: isolated registry and application
// folder (with the INI template and, on request, the help pages), start-up
// state initialised as the program does it, scripted message boxes.
#pragma once

#include "hostfixture.h"

#include <ui/frmmain.h>

#include <QDir>
#include <QFile>

class UiFixture : public HostFixture
{
public:
    explicit UiFixture(int commandIndex = host::kCmdConfiguration, bool withHelp = false)
    {
        if (withHelp)
            copyHelp();
        host::InitApp();
        host::state().commandIndex = commandIndex;
        platform::setMessageService(messages);
    }
    ~UiFixture()
    {
        if (win && win->isVisible())
            win->hide();
        host::state().mainWindow.reset();
        win.reset();
    }

    // Form_Load of a new win, registered as the program's main window.
    ui::frmMain &load()
    {
        win = std::make_shared<ui::frmMain>();
        host::state().mainWindow = win;
        return *win;
    }
    // Load, set up for the command and display, as the connection does.
    ui::frmMain &show()
    {
        load();
        win->setupForCommand(host::state().commandIndex);
        win->display();
        return *win;
    }

    void copyHelp()
    {
        const QDir src(TestEnvironment::binDir() + QStringLiteral("/help"));
        QDir().mkpath(appFolder + QStringLiteral("/help"));
        for (const QString &f : src.entryList(QDir::Files))
            QFile::copy(src.filePath(f), appFolder + QStringLiteral("/help/") + f);
    }

    std::shared_ptr<ui::frmMain> win;
};
