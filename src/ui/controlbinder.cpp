#include "controlbinder.h"

#include "controls.h"
#include "pages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

namespace ui {

using model::Aspect;
using model::ControlKind;
using model::ControlState;

namespace {

QColor fromColorValue(int v)
{
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// The roles a control draws its text with: edit fields and lists use Text,
// check boxes and option buttons WindowText and ButtonText.
QList<QPalette::ColorRole> textRoles(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return {QPalette::WindowText, QPalette::ButtonText, QPalette::Text};
    return {QPalette::Text, QPalette::ButtonText, QPalette::WindowText};
}

void showTextColor(QWidget *w, int color)
{
    QPalette pal = w->palette();
    const QPalette normal = QApplication::palette(w);
    for (QPalette::ColorRole role : textRoles(w)) {
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(g, role, color == 0 ? normal.color(g, role) : fromColorValue(color));
    }
    w->setPalette(pal);
}

void showBackground(QWidget *w, model::Background b)
{
    QPalette pal = w->palette();
    const QPalette normal = QApplication::palette(w);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base,
                     b == model::Background::ButtonFace ? normal.color(g, QPalette::Button) : normal.color(g, QPalette::Base));
    }
    w->setPalette(pal);
}

bool showsCaption(ControlKind k)
{
    return k != ControlKind::TextBox && k != ControlKind::ComboBox && k != ControlKind::Shape &&
           k != ControlKind::LogBox;
}

void showItems(QComboBox *combo, const ControlState *state)
{
    combo->clear();
    for (const model::ListItem &item : state->items()) {
        combo->addItem(item.text, item.data);
        if (item.invalidEntry)
            combo->setItemData(combo->count() - 1, true, model::kInvalidEntryRole);
    }
    combo->setCurrentIndex(state->currentIndex());
}

} // namespace

ControlBinder::ControlBinder(QObject *parent) : QObject(parent) {}

QWidget *ControlBinder::widgetOf(const ControlState *state) const
{
    return m_widgets.value(state);
}

ControlState *ControlBinder::stateOf(const QWidget *widget) const
{
    return m_states.value(widget);
}

void ControlBinder::bind(ControlState *state, QWidget *widget)
{
    if (!state || !widget)
        return;
    m_widgets.insert(state, widget);
    m_states.insert(widget, state);
    connect(widget, &QObject::destroyed, this, [this, state, widget]() {
        m_widgets.remove(state);
        m_states.remove(widget);
    });
    connect(state->notifier(), &model::ViewNotifier::viewChanged, this, [this, state](Aspect a) {
        if (QWidget *w = m_widgets.value(state))
            show(state, w, a);
    });
    if (showsCaption(state->kind()) && state->text().isEmpty()) {
        const QSignalBlocker quiet(state);
        state->setText(controlCaption(widget));
    }
    showAll(state, widget);

    // What the user does goes to the state.
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        connect(edit, &QLineEdit::textChanged, state, [this, state](const QString &text) {
            if (!m_showing)
                state->setText(text);
        });
        edit->installEventFilter(this);
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        connect(combo, &QComboBox::currentIndexChanged, state, [this, state](int i) {
            if (!m_showing)
                state->setCurrentIndex(i);
        });
    } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
        connect(check, &QCheckBox::stateChanged, state, [this, state](int s) {
            if (!m_showing)
                state->setCheckState(Qt::CheckState(s));
        });
    } else if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
        connect(radio, &QRadioButton::toggled, state, [this, state](bool on) {
            if (!m_showing)
                state->setChecked(on);
        });
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        connect(button, &QPushButton::clicked, state, [state]() { state->click(); });
    }
}

void ControlBinder::showAll(ControlState *state, QWidget *widget)
{
    // Only what differs from the widget as built, so a freshly bound page
    // looks exactly as it was laid out.
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        if (edit->maxLength() != state->maxLength())
            show(state, widget, Aspect::MaxLength);
        if (edit->text() != state->text())
            show(state, widget, Aspect::Text);
        if (edit->isReadOnly() != state->isReadOnly())
            show(state, widget, Aspect::ReadOnly);
    } else if (qobject_cast<QComboBox *>(widget)) {
        if (state->count() > 0 || state->currentIndex() >= 0)
            show(state, widget, Aspect::Items);
    } else if (showsCaption(state->kind()) && controlCaption(widget) != state->text()) {
        show(state, widget, Aspect::Text);
    }
    if (state->kind() == ControlKind::CheckBox || state->kind() == ControlKind::OptionButton)
        show(state, widget, Aspect::Check);
    if (widget->isEnabled() != state->isEnabled())
        show(state, widget, Aspect::Enabled);
    if (widget->isHidden() == state->isVisible())
        show(state, widget, Aspect::Visible);
    if (state->textColor() != 0)
        show(state, widget, Aspect::TextColor);
    if (state->background() != model::Background::Window)
        show(state, widget, Aspect::Background);
}

void ControlBinder::show(ControlState *state, QWidget *widget, Aspect aspect)
{
    const bool wasShowing = m_showing;
    m_showing = true;
    const QSignalBlocker quiet(widget);
    switch (aspect) {
    case Aspect::Text:
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (edit->maxLength() < state->text().size())
                edit->setMaxLength(state->text().size());
            if (edit->text() != state->text())
                edit->setText(state->text());
        } else if (showsCaption(state->kind())) {
            setCaptionOf(widget, state->text());
        }
        break;
    case Aspect::MaxLength:
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            edit->setMaxLength(qMax(state->maxLength(), int(state->text().size())));
        break;
    case Aspect::Enabled:
        widget->setEnabled(state->isEnabled());
        break;
    case Aspect::ReadOnly:
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            edit->setReadOnly(state->isReadOnly());
        break;
    case Aspect::Visible:
        widget->setVisible(state->isVisible());
        break;
    case Aspect::TextColor:
        showTextColor(widget, state->textColor());
        break;
    case Aspect::Background:
        showBackground(widget, state->background());
        break;
    case Aspect::Check:
        if (auto *check = qobject_cast<QCheckBox *>(widget)) {
            check->setCheckState(state->checkState());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            // An exclusive button is switched off only with its exclusivity
            // suspended.
            const bool exclusive = button->autoExclusive();
            if (!state->isChecked())
                button->setAutoExclusive(false);
            button->setChecked(state->isChecked());
            button->setAutoExclusive(exclusive);
        }
        break;
    case Aspect::Items:
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            showItems(combo, state);
        break;
    case Aspect::CurrentIndex:
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            combo->setCurrentIndex(state->currentIndex());
        break;
    }
    m_showing = wasShowing;
}

bool ControlBinder::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QLineEdit *>(watched);
    ControlState *state = m_states.value(watched);
    if (!edit || !state)
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
        state->pressKey(key);
        if (key == original)
            return false;
        if (key != 0)
            edit->insert(QString(QChar(key)));
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        bool cancel = false;
        state->leave(cancel);
        if (cancel) {
            // The entry was clamped: the focus goes back to the box, the
            // cursor behind the entry.
            edit->setCursorPosition(int(edit->text().size()));
            QPointer<QLineEdit> guard(edit);
            QTimer::singleShot(0, edit, [guard]() {
                if (guard)
                    guard->setFocus();
            });
        }
    }
    return false;
}

} // namespace ui
