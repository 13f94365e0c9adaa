// Widget implementations of the services the lower layers call: message
// boxes, the status window and the About window.
#pragma once

#include <host/hoststate.h>
#include <platform/filedialogs.h>
#include <platform/messages.h>

#include <QLabel>
#include <QPointer>
#include <QWidget>

namespace ui {

// Message boxes as Qt message boxes, or the unattended printout when
// AEROLIS_UNATTENDED=1.
class WidgetMessages : public platform::MessageService
{
public:
    int show(const platform::Message &m) override;
};

// Open and save dialogs as Qt file dialogs, or the unattended printout
// (with the path scripted in AEROLIS_OPEN_FILE / AEROLIS_SAVE_FILE) when
// AEROLIS_UNATTENDED=1. Cancel is reported as cancelled, never as a file.
class WidgetFileDialogs : public platform::FileDialogService
{
public:
    platform::FileDialogAnswer show(const platform::FileDialogRequest &r) override;
};

// The small status window shown during start-up.
class StatusWindowWidget : public QWidget, public platform::StatusWindow
{
public:
    StatusWindowWidget();
    void showWindow() override;
    void hideWindow() override;
    void setText(const QString &text) override;
    bool isShown() const override { return isVisible(); }
    QString text() const override;

private:
    QLabel *m_label;
};

// Shows the About window (modal); unattended, its lines are printed instead.
void showAboutWindow(const host::AboutInfo &info);

} // namespace ui
