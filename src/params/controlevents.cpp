#include "controlevents.h"

#include "paramcollection.h"

namespace params {

using model::ControlKind;

ControlEvents::ControlEvents(cParams *params) : QObject(params), m_params(params) {}

void ControlEvents::attach(ControlState *control)
{
    if (!control || m_attached.contains(control))
        return;
    m_attached.insert(control);
    connect(control, &QObject::destroyed, this, [this, control]() { m_attached.remove(control); });
    switch (control->kind()) {
    case ControlKind::TextBox:
        connect(control, &ControlState::textChanged, this, [this, control]() {
            if (m_suspended)
                return;
            m_params->TextBox_Change_Event(control);
            Q_EMIT forwarded(control);
        });
        // Typed characters go through the parameter's key filter.
        connect(control, &ControlState::keyPressed, this,
                [this, control](int *key) { m_params->TextBox_KeyPress_Event(control, *key); });
        connect(control, &ControlState::leaving, this, [this, control](bool *cancel) {
            m_params->TextBox_Validate_Event(control, *cancel);
            m_params->TextBox_LostFocus_Event(control);
            Q_EMIT forwarded(control);
        });
        break;
    case ControlKind::ComboBox:
        connect(control, &ControlState::currentIndexChanged, this, [this, control]() {
            if (m_suspended)
                return;
            m_params->ComboBox_Change_Event(control);
            Q_EMIT forwarded(control);
        });
        break;
    case ControlKind::CheckBox:
        connect(control, &ControlState::stateChanged, this, [this, control]() {
            if (m_suspended)
                return;
            m_params->CheckBox_Click_Event(control);
            Q_EMIT forwarded(control);
        });
        break;
    case ControlKind::OptionButton:
    case ControlKind::CommandButton:
        connect(control, &ControlState::toggled, this, [this, control](bool on) {
            if (m_suspended || !on)
                return;
            m_params->OptionButton_Click_Event(control);
            Q_EMIT forwarded(control);
        });
        break;
    default:
        break;
    }
}

} // namespace params
