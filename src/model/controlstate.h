// The state of one page control without the widget: what a text box, a
// drop-down list, a check box, an option button, a command button or a label
// shows (text, enabled, read-only, text colour, background, visibility,
// check, list items and selection, maximum length) and the parameter name
// kept on it.
//
// The logic signals (textChanged, currentIndexChanged, stateChanged,
// toggled, clicked) follow the widgets' own: they fire on every change, by
// the program or by the user, and a QSignalBlocker on the state silences
// them as it would on the widget. A view keeps in step through viewChanged()
// of notifier(), which a blocker on the state does not silence.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

namespace model {

enum class ControlKind { Label, TextBox, ComboBox, CheckBox, CommandButton, OptionButton, Lines, Shape, Group, LogBox };

// The array name of a control kind ("TextBox", "Label", "cmdButton", ...);
// empty for the named kinds (Group, LogBox).
QString arrayName(ControlKind kind);

enum class Background { Window, ButtonFace };

// What changed, for a view that keeps in step.
enum class Aspect { Text, Enabled, ReadOnly, TextColor, Background, Visible, Check, Items, CurrentIndex, MaxLength };

// Item data role flag of a list entry that stands for a value not in the list.
constexpr int kInvalidEntryRole = 0x0101; // Qt::UserRole + 1
// The longest text a text box takes when no limit is set.
constexpr int kNoLengthLimit = 32767;

struct ListItem
{
    QString text;
    QVariant data;
    bool invalidEntry = false;
};

class ControlState;

// Everything a control shows and keeps, without its identity (kind, name,
// position, page): what a page model returns a control to between two
// controllers.
struct ControlValues
{
    QString text;
    int maxLength = kNoLengthLimit;
    bool enabled = true;
    bool readOnly = false;
    bool visible = true;
    int textColor = 0;
    Background background = Background::Window;
    Qt::CheckState checkState = Qt::Unchecked;
    bool autoExclusive = true;
    QVector<ListItem> items;
    int currentIndex = -1;
    QString tag;
};

// The signals of a state that a view listens to (never blocked together
// with the state's logic signals).
class ViewNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void viewChanged(model::Aspect aspect);
};

class ControlState : public QObject
{
    Q_OBJECT
public:
    // `name` is the object name ("TextBox27"); option buttons with the same
    // parent are exclusive, as buttons of one frame are.
    ControlState(ControlKind kind, const QString &name, int page = -1, QObject *parent = nullptr);

    ControlKind kind() const { return m_kind; }
    // Position in its control array ("TextBox27" -> 27); -1 for a named control.
    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    // Frame index of the designed page it sits on; -1 when on none.
    int page() const { return m_page; }

    QString text() const { return m_v.text; }
    // A text box cuts the text to its maximum length, as the widget does.
    void setText(const QString &text);
    // Text boxes and labels empty their text; lists lose their items.
    void clear();
    int maxLength() const { return m_v.maxLength; }
    void setMaxLength(int length);

    bool isEnabled() const { return m_v.enabled; }
    void setEnabled(bool on);
    bool isReadOnly() const { return m_v.readOnly; }
    void setReadOnly(bool on);
    // Shown unless hidden explicitly (the window may still be unshown).
    bool isVisible() const { return m_v.visible; }
    void setVisible(bool on);
    // Colour value (blue * 65536 + green * 256 + red); 0 is the normal colour.
    int textColor() const { return m_v.textColor; }
    void setTextColor(int color);
    model::Background background() const { return m_v.background; }
    void setBackground(model::Background b);

    // Check boxes.
    Qt::CheckState checkState() const { return m_v.checkState; }
    void setCheckState(Qt::CheckState state);
    // Check boxes and option buttons.
    bool isChecked() const { return m_v.checkState != Qt::Unchecked; }
    void setChecked(bool on);
    bool autoExclusive() const { return m_v.autoExclusive; }
    void setAutoExclusive(bool on) { m_v.autoExclusive = on; }

    // Lists.
    int count() const { return int(m_v.items.size()); }
    const QVector<ListItem> &items() const { return m_v.items; }
    QString itemText(int i) const;
    // Qt::UserRole: the item data; kInvalidEntryRole: the invalid-entry mark.
    QVariant itemData(int i, int role = Qt::UserRole) const;
    void setItemData(int i, const QVariant &value, int role = Qt::UserRole);
    void addItem(const QString &text, const QVariant &data = QVariant());
    void insertItem(int i, const QString &text, const QVariant &data = QVariant());
    void removeItem(int i);
    int currentIndex() const { return m_v.currentIndex; }
    void setCurrentIndex(int i);
    QVariant currentData() const { return itemData(m_v.currentIndex); }
    QString currentText() const { return itemText(m_v.currentIndex); }

    // The parameter name kept on the control.
    QString tag() const { return m_v.tag; }
    void setTag(const QString &tag) { m_v.tag = tag; }

    // What a view reports of the user: a typed key (the filter may change
    // it, 0 swallows it), the focus leaving (a handler may cancel it), a
    // click of a button.
    void pressKey(int &key);
    void leave(bool &cancel);
    void click();

    ViewNotifier *notifier() const { return m_notifier; }

    ControlValues values() const;
    // Takes `values` over without a logic signal (a view is told), and
    // drops every connection to the logic signals: the logic that made them
    // is gone when a model is reused.
    void restore(const ControlValues &values);

Q_SIGNALS:
    void textChanged(const QString &text);
    void currentIndexChanged(int index);
    void stateChanged(int state);
    void toggled(bool checked);
    void clicked();
    void keyPressed(int *key);
    // Before the validation of a departure, then the validation itself.
    void aboutToLeave();
    void leaving(bool *cancel);

private:
    void notify(Aspect a) { Q_EMIT m_notifier->viewChanged(a); }
    void uncheckSiblings();

    ControlKind m_kind;
    int m_index = -1;
    int m_page = -1;
    ControlValues m_v;
    ViewNotifier *m_notifier;
};

} // namespace model
