// The plug-in's main window as the host object sees it: the window's
// geometry and state in twips, and the notices the automation start needs
// (window shown, window closed).
//
// A template over the window class, so that this library needs neither the
// window nor Qt Widgets: the program instantiates it with its main window,
// which sizes itself from outside through setClientSize(width, height).
// Twips are measured on the window's outer frame at 15 twips per pixel, the
// scale the window keeps its stored position in.
#pragma once

#include "networktoolstart.h"

#include <host/hoststate.h>

#include <QCloseEvent>
#include <QShowEvent>

#include <algorithm>

namespace automation {

constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(int twips)
{
    // Nearest pixel, halves away from zero.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

template <class Window>
class PlugInWindow : public Window
{
public:
    using Window::Window;

    double formHeight() const override { return double(this->frameGeometry().height()) * kTwipsPerPixel; }
    void setFormHeight(int twips) override
    {
        const int frame = this->frameGeometry().height() - this->height();
        this->setClientSize(this->width(), std::max(1, twipsToPixels(twips) - frame));
    }
    double formLeft() const override { return double(this->frameGeometry().x()) * kTwipsPerPixel; }
    void setFormLeft(int twips) override { this->move(twipsToPixels(twips), this->frameGeometry().y()); }
    double formTop() const override { return double(this->frameGeometry().y()) * kTwipsPerPixel; }
    void setFormTop(int twips) override { this->move(this->frameGeometry().x(), twipsToPixels(twips)); }
    double formWidth() const override { return double(this->frameGeometry().width()) * kTwipsPerPixel; }
    void setFormWidth(int twips) override
    {
        const int frame = this->frameGeometry().width() - this->width();
        this->setClientSize(std::max(1, twipsToPixels(twips) - frame), this->height());
    }
    int formWindowState() const override
    {
        if (this->isMinimized())
            return host::kWindowMinimized;
        if (this->isMaximized())
            return host::kWindowMaximized;
        return host::kWindowNormal;
    }
    void setFormWindowState(int state) override
    {
        Qt::WindowStates s = this->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
        if (state == host::kWindowMinimized)
            s |= Qt::WindowMinimized;
        else if (state == host::kWindowMaximized)
            s |= Qt::WindowMaximized;
        this->setWindowState(s);
    }
    bool formVisible() const override { return this->isVisible(); }
    void setFormVisible(bool visible) override { this->setVisible(visible); }

protected:
    void showEvent(QShowEvent *event) override
    {
        Window::showEvent(event);
        if (!event->spontaneous())
            noteWindowShown(this, this->windowTitle());
    }
    void closeEvent(QCloseEvent *event) override
    {
        Window::closeEvent(event);
        if (event->isAccepted())
            noteWindowClosed();
    }
};

} // namespace automation
