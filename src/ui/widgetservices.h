// Widget implementations of the services the lower layers call: message
// boxes, the status window and the About window.
#pragma once

#include <host/hoststate.h>
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
