#include "controlstate.h"

namespace model {

QString arrayName(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Label:
        return QStringLiteral("Label");
    case ControlKind::TextBox:
        return QStringLiteral("TextBox");
    case ControlKind::ComboBox:
        return QStringLiteral("ComboBox");
    case ControlKind::CheckBox:
        return QStringLiteral("CheckBox");
    case ControlKind::CommandButton:
        return QStringLiteral("cmdButton");
    case ControlKind::OptionButton:
        return QStringLiteral("Option");
    case ControlKind::Lines:
        return QStringLiteral("QXLines");
    case ControlKind::Shape:
        return QStringLiteral("shpButton");
    case ControlKind::Group:
    case ControlKind::LogBox:
        break;
    }
    return QString();
}

namespace {

// The number an array member's object name ends with; -1 when none.
int trailingNumber(const QString &name)
{
    int i = name.size();
    while (i > 0 && name.at(i - 1).isDigit())
        --i;
    return i == name.size() ? -1 : name.mid(i).toInt();
}

} // namespace

ControlState::ControlState(ControlKind kind, const QString &name, int page, QObject *parent)
    : QObject(parent), m_kind(kind), m_index(arrayName(kind).isEmpty() ? -1 : trailingNumber(name)), m_page(page),
      m_notifier(new ViewNotifier(this))
{
    setObjectName(name);
}

void ControlState::setText(const QString &text)
{
    const QString shown = m_kind == ControlKind::TextBox ? text.left(m_v.maxLength) : text;
    if (shown == m_v.text)
        return;
    m_v.text = shown;
    notify(Aspect::Text);
    Q_EMIT textChanged(m_v.text);
}

void ControlState::clear()
{
    if (m_kind != ControlKind::ComboBox) {
        setText(QString());
        return;
    }
    if (m_v.items.isEmpty())
        return;
    m_v.items.clear();
    notify(Aspect::Items);
    setCurrentIndex(-1);
}

void ControlState::setMaxLength(int length)
{
    length = qBound(0, length, kNoLengthLimit);
    if (length == m_v.maxLength)
        return;
    m_v.maxLength = length;
    notify(Aspect::MaxLength);
    if (m_v.text.size() > m_v.maxLength)
        setText(m_v.text);
}

void ControlState::setEnabled(bool on)
{
    if (on == m_v.enabled)
        return;
    m_v.enabled = on;
    notify(Aspect::Enabled);
}

void ControlState::setReadOnly(bool on)
{
    if (on == m_v.readOnly)
        return;
    m_v.readOnly = on;
    notify(Aspect::ReadOnly);
}

void ControlState::setVisible(bool on)
{
    if (on == m_v.visible)
        return;
    m_v.visible = on;
    notify(Aspect::Visible);
}

void ControlState::setTextColor(int color)
{
    if (color == m_v.textColor)
        return;
    m_v.textColor = color;
    notify(Aspect::TextColor);
}

void ControlState::setBackground(model::Background b)
{
    if (b == m_v.background)
        return;
    m_v.background = b;
    notify(Aspect::Background);
}

void ControlState::setCheckState(Qt::CheckState state)
{
    if (state == m_v.checkState)
        return;
    const bool wasChecked = isChecked();
    m_v.checkState = state;
    if (isChecked() && m_kind == ControlKind::OptionButton && m_v.autoExclusive)
        uncheckSiblings();
    notify(Aspect::Check);
    Q_EMIT stateChanged(int(state));
    if (wasChecked != isChecked())
        Q_EMIT toggled(isChecked());
}

void ControlState::setChecked(bool on)
{
    // The checked button of an exclusive set cannot be switched off alone.
    if (!on && isChecked() && m_kind == ControlKind::OptionButton && m_v.autoExclusive)
        return;
    setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void ControlState::uncheckSiblings()
{
    if (!parent())
        return;
    for (QObject *o : parent()->children()) {
        auto *s = qobject_cast<ControlState *>(o);
        if (!s || s == this || s->m_kind != ControlKind::OptionButton || !s->m_v.autoExclusive || !s->isChecked())
            continue;
        s->m_v.checkState = Qt::Unchecked;
        s->notify(Aspect::Check);
        Q_EMIT s->stateChanged(int(Qt::Unchecked));
        Q_EMIT s->toggled(false);
    }
}

QString ControlState::itemText(int i) const
{
    return i >= 0 && i < m_v.items.size() ? m_v.items.at(i).text : QString();
}

QVariant ControlState::itemData(int i, int role) const
{
    if (i < 0 || i >= m_v.items.size())
        return QVariant();
    if (role == kInvalidEntryRole)
        return m_v.items.at(i).invalidEntry ? QVariant(true) : QVariant();
    if (role == Qt::DisplayRole)
        return m_v.items.at(i).text;
    return m_v.items.at(i).data;
}

void ControlState::setItemData(int i, const QVariant &value, int role)
{
    if (i < 0 || i >= m_v.items.size())
        return;
    ListItem &item = m_v.items[i];
    if (role == kInvalidEntryRole)
        item.invalidEntry = value.toBool();
    else if (role == Qt::DisplayRole)
        item.text = value.toString();
    else
        item.data = value;
    notify(Aspect::Items);
}

void ControlState::addItem(const QString &text, const QVariant &data)
{
    insertItem(int(m_v.items.size()), text, data);
}

void ControlState::insertItem(int i, const QString &text, const QVariant &data)
{
    i = qBound(0, i, int(m_v.items.size()));
    m_v.items.insert(i, ListItem{text, data, false});
    notify(Aspect::Items);
    // A list that gets its first entry selects it; an entry in front of
    // the selection moves it, as the widget does.
    if (m_v.items.size() == 1)
        setCurrentIndex(0);
    else if (m_v.currentIndex >= i)
        setCurrentIndex(m_v.currentIndex + 1);
}

void ControlState::removeItem(int i)
{
    if (i < 0 || i >= m_v.items.size())
        return;
    m_v.items.removeAt(i);
    notify(Aspect::Items);
    if (m_v.items.isEmpty())
        setCurrentIndex(-1);
    else if (m_v.currentIndex > i)
        setCurrentIndex(m_v.currentIndex - 1);
    else if (m_v.currentIndex == i) {
        // The selected entry went: the one now in its place is selected,
        // which counts as a new selection.
        m_v.currentIndex = qMin(int(m_v.items.size()) - 1, i);
        notify(Aspect::CurrentIndex);
        Q_EMIT currentIndexChanged(m_v.currentIndex);
    }
}

void ControlState::setCurrentIndex(int i)
{
    if (i < -1 || i >= m_v.items.size())
        i = -1;
    if (i == m_v.currentIndex)
        return;
    m_v.currentIndex = i;
    notify(Aspect::CurrentIndex);
    Q_EMIT currentIndexChanged(i);
}

void ControlState::pressKey(int &key)
{
    Q_EMIT keyPressed(&key);
}

void ControlState::leave(bool &cancel)
{
    Q_EMIT aboutToLeave();
    Q_EMIT leaving(&cancel);
}

void ControlState::click()
{
    if (m_kind == ControlKind::CheckBox)
        setChecked(!isChecked());
    else if (m_kind == ControlKind::OptionButton)
        setChecked(true);
    Q_EMIT clicked();
}

ControlValues ControlState::values() const
{
    return m_v;
}

void ControlState::restore(const ControlValues &values)
{
    disconnect(this, nullptr, nullptr, nullptr);
    m_v = values;
    for (Aspect a : {Aspect::Text, Aspect::Enabled, Aspect::ReadOnly, Aspect::TextColor, Aspect::Background,
                     Aspect::Visible, Aspect::Check, Aspect::Items, Aspect::CurrentIndex, Aspect::MaxLength})
        notify(a);
}

} // namespace model
