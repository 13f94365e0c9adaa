#include "controlevents.h"

#include "paramcollection.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace params {

ControlEvents::ControlEvents(cParams *params) : QObject(params), m_params(params) {}

void ControlEvents::attach(QWidget *control)
{
    if (!control || m_attached.contains(control))
        return;
    m_attached.insert(control);
    connect(control, &QObject::destroyed, this, [this, control]() { m_attached.remove(control); });
    if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        connect(edit, &QLineEdit::textChanged, this, [this, edit]() {
            if (m_suspended)
                return;
            m_params->TextBox_Change_Event(edit);
            Q_EMIT forwarded(edit);
        });
        edit->installEventFilter(this);
    } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo]() {
            if (m_suspended)
                return;
            m_params->ComboBox_Change_Event(combo);
            Q_EMIT forwarded(combo);
        });
    } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
        connect(check, &QCheckBox::stateChanged, this, [this, check]() {
            if (m_suspended)
                return;
            m_params->CheckBox_Click_Event(check);
            Q_EMIT forwarded(check);
        });
    } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        connect(button, &QAbstractButton::toggled, this, [this, button](bool on) {
            if (m_suspended || !on)
                return;
            m_params->OptionButton_Click_Event(button);
            Q_EMIT forwarded(button);
        });
    }
}

bool ControlEvents::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    if (!edit)
        return false;
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        const QString text = ke->text();
        // Only typed characters go through the key filter; editing and
        // navigation keys (and the clipboard shortcuts) pass.
        if (text.size() != 1 || text.at(0).unicode() < 32 || (ke->modifiers() & Qt::ControlModifier))
            return false;
        const int original = text.at(0).unicode();
        int key = original;
        m_params->TextBox_KeyPress_Event(edit, key);
        if (key == original)
            return false;
        if (key != 0)
            edit->insert(QString(QChar(key)));
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        bool cancel = false;
        m_params->TextBox_Validate_Event(edit, cancel);
        m_params->TextBox_LostFocus_Event(edit);
        Q_EMIT forwarded(edit);
        if (cancel) {
            // The entry was clamped: the focus goes back to the box.
            QPointer<QLineEdit> guard(edit);
            QTimer::singleShot(0, edit, [guard]() {
                if (guard)
                    guard->setFocus();
            });
        }
    }
    return false;
}

} // namespace params
