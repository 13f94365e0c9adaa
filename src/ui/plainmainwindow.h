// The main window of the plug-in (a plain frame for now: title, the device it
// is connected to and a logger list).
#pragma once

#include <host/hoststate.h>

#include <QListWidget>
#include <QMainWindow>

namespace ui {

class frmMain : public QMainWindow, public host::MainWindowPort
{
    Q_OBJECT
public:
    frmMain();

    void setupForCommand(int commandIndex) override;
    void display() override;
    bool isLoaded() const override { return m_loaded; }
    void unload() override;

    void LogLine(const QString &text);
    QListWidget *logger() const { return m_log; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QListWidget *m_log;
    bool m_loaded = false;
    bool m_unloading = false;
};

} // namespace ui
