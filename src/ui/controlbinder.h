// Keeps the window's named controls and their states in the page model in
// step, both ways. What the program sets on a state (text, enabled,
// read-only, colour, background, visibility, list items and selection,
// check) is shown on the widget; what the user does on the widget (typing,
// a selection, a click, a key, leaving a text box) goes to the state, which
// hands it to the parameters and the page logic. Key filtering and the
// validation on leaving a box run in the model's handlers; the binder only
// applies what they decide (the key to insert, the focus going back).
#pragma once

#include <model/controlstate.h>

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

namespace ui {

class ControlBinder : public QObject
{
    Q_OBJECT
public:
    explicit ControlBinder(QObject *parent = nullptr);

    // Binds `widget` to `state`; the widget first shows what the state holds,
    // except for captions: a state without a text takes the widget's.
    void bind(model::ControlState *state, QWidget *widget);
    QWidget *widgetOf(const model::ControlState *state) const;
    model::ControlState *stateOf(const QWidget *widget) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show(model::ControlState *state, QWidget *widget, model::Aspect aspect);
    void showAll(model::ControlState *state, QWidget *widget);

    QHash<const model::ControlState *, QPointer<QWidget>> m_widgets;
    QHash<const QObject *, QPointer<model::ControlState>> m_states;
    // Set while the program's change is shown, so it is not taken back.
    bool m_showing = false;
};

} // namespace ui
