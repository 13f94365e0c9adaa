#include "paramchoice.h"

#include "configprop.h"
#include "controlutil.h"
#include "rawfield.h"

#include <QSignalBlocker>

namespace params {

namespace {

// Blanks only, as the product trims; a TAB belongs to the raw text.
QString trimBlanks(const QString &s)
{
    int a = 0, b = s.size();
    while (a < b && s.at(a) == QLatin1Char(' '))
        ++a;
    while (b > a && s.at(b - 1) == QLatin1Char(' '))
        --b;
    return s.mid(a, b - a);
}
} // namespace

// ---------------- cNumberFieldParam ----------------

ParamStatus cNumberFieldParam::ConsiderPartOfCpOnly(int bytePos, int byteLength)
{
    const ParamStatus st = checkPartOfCp(bytePos, byteLength, m_partOfCpError);
    if (st.ok()) {
        m_bytePos = bytePos;
        m_byteLength = byteLength;
    }
    return st;
}

FieldPlace cNumberFieldParam::fieldPlace() const
{
    FieldPlace s;
    s.bytePos = m_bytePos;
    s.byteLength = m_byteLength;
    s.isSigned = m_signed;
    return s;
}

void cNumberFieldParam::takeRead(const std::optional<qint64> &v)
{
    if (!v) {
        showValue(); // shows it not read, unless the user's choice stands
        return;
    }
    m_value = static_cast<qint32>(*v);
    setValueKnown(true);
    showValue();
    setChanged(false);
}

void cNumberFieldParam::ReadFromLns()
{
    if (CpIsExternal() || !Available())
        return;
    takeRead(readOwnField(fieldPlace(), kReadFromLns));
}

void cNumberFieldParam::WriteToLns()
{
    if (CpIsExternal() || !Available())
        return;
    if (writeOwnField(fieldPlace(), m_value, kWriteToLns))
        setChanged(false);
}

void cNumberFieldParam::ReadFromExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    takeRead(readExtField(fieldPlace(), kReadFromExtCp));
}

void cNumberFieldParam::WriteToExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    if (writeExtField(fieldPlace(), m_value, kWriteToExtCp))
        setChanged(false);
}

// ---------------- cParamComboBox ----------------

cParamComboBox::cParamComboBox() : cNumberFieldParam(QStringLiteral("invalid parameters")) {}

void cParamComboBox::setComboBoxControl(model::ControlState *combo)
{
    m_combo = combo;
    if (m_combo) {
        ChangeGuard g(m_guard);
        const QSignalBlocker block(m_combo);
        m_combo->clear();
    }
}

void cParamComboBox::setValue(qint32 v)
{
    m_value = v;
    setValueKnown(true);
    SetComboBox();
    setChanged(true);
}

void cParamComboBox::setControlUpdatesEnabled(bool on)
{
    m_updatesEnabled = on;
    if (on)
        setValue(m_value);
}

void cParamComboBox::AddComboBoxItem(const QString &text, qint32 itemData)
{
    if (itemData < 0)
        m_signed = true;
    if (!m_combo)
        return;
    ChangeGuard g(m_guard);
    const QSignalBlocker block(m_combo);
    m_combo->addItem(text, itemData);
}

void cParamComboBox::RemoveComboBoxItem(int itemIndex)
{
    if (m_combo && itemIndex >= 0 && itemIndex < m_combo->count()) {
        ChangeGuard g(m_guard);
        m_combo->removeItem(itemIndex);
    }
}

void cParamComboBox::RemoveComboBoxItemByItemData(qint32 itemData)
{
    if (!m_combo)
        return;
    for (int i = 0; i < m_combo->count(); ++i) {
        if (!m_combo->itemData(i, kInvalidEntryRole).toBool() && m_combo->itemData(i).toInt() == itemData) {
            ChangeGuard g(m_guard);
            m_combo->removeItem(i);
            return;
        }
    }
}

void cParamComboBox::ClearComboBox()
{
    if (m_combo) {
        ChangeGuard g(m_guard);
        m_combo->clear();
    }
}

bool cParamComboBox::ValueIsInComboList(qint32 v) const
{
    if (!m_combo)
        return false;
    for (int i = 0; i < m_combo->count(); ++i) {
        if (m_combo->itemData(i, kInvalidEntryRole).toBool())
            continue;
        const QVariant d = m_combo->itemData(i);
        if (d.isValid() && d.toInt() == v)
            return true;
    }
    return false;
}

int cParamComboBox::invalidEntry() const
{
    if (!m_combo)
        return -1;
    for (int i = 0; i < m_combo->count(); ++i) {
        if (m_combo->itemData(i, kInvalidEntryRole).toBool())
            return i;
    }
    return -1;
}

void cParamComboBox::removeInvalidEntry()
{
    const int i = invalidEntry();
    if (i >= 0) {
        ChangeGuard g(m_guard);
        const QSignalBlocker block(m_combo);
        m_combo->removeItem(i);
    }
}

void cParamComboBox::ShowInvalidItem()
{
    if (!m_combo)
        return;
    removeInvalidEntry();
    ChangeGuard g(m_guard);
    const QSignalBlocker block(m_combo);
    // The entry carries the current value, so that whatever selects it
    // keeps the value the device holds instead of turning it into 0.
    m_combo->insertItem(0, m_invalidItem, m_value);
    m_combo->setItemData(0, true, kInvalidEntryRole);
    setTextColor(m_combo, kColorRed);
    m_combo->setCurrentIndex(0);
}

void cParamComboBox::SetValueByComboListItemIndex(int itemIndex)
{
    if (!m_combo)
        return;
    m_combo->setCurrentIndex(itemIndex);
    // The list reports the selection to the window, which forwards it here;
    // the parameter takes it directly as well so the value never depends on
    // that wiring.
    ComboBox_Change_Event();
}

void cParamComboBox::SetComboBox()
{
    if (!m_updatesEnabled || hidesValue(m_lockMode) || !m_combo)
        return;
    ChangeGuard g(m_guard);
    if (!valueKnown()) {
        // Not read from the device: no entry stands for it.
        removeInvalidEntry();
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(-1);
        setTextColor(m_combo, 0);
        return;
    }
    if (ValueIsInComboList(m_value)) {
        removeInvalidEntry();
        selectByItemData(m_combo, m_value);
        setTextColor(m_combo, 0);
    } else {
        const int inv = invalidEntry();
        if (inv >= 0) {
            m_combo->setItemData(inv, m_value);
            const QSignalBlocker block(m_combo);
            m_combo->setCurrentIndex(inv);
        } else {
            selectByItemData(m_combo, m_value); // selects nothing
        }
        setTextColor(m_combo, kColorRed);
    }
}

void cParamComboBox::ComboBox_Change_Event()
{
    if (m_guard || !m_combo)
        return;
    const int i = m_combo->currentIndex();
    if (i < 0)
        return;
    const QVariant d = m_combo->itemData(i);
    if (!d.isValid())
        return;
    m_value = d.toInt();
    setValueKnown(true);
    if (!m_combo->itemData(i, kInvalidEntryRole).toBool()) {
        removeInvalidEntry();
        setTextColor(m_combo, 0);
    }
    setChanged(true);
}

void cParamComboBox::setLockMode(int mode)
{
    m_lockMode = mode;
    if (!m_combo)
        return;
    switch (mode) {
    case LM_UNLOCKED:
        m_combo->setEnabled(true);
        setBackground(m_combo, Background::Window);
        SetComboBox();
        break;
    case LM_DISABLED:
        m_combo->setEnabled(false);
        setBackground(m_combo, Background::Window);
        SetComboBox();
        break;
    case LM_DISABLED_NO_VALUE:
    case LM_DISABLED_GREY_NO_VALUE: {
        m_combo->setEnabled(false);
        setBackground(m_combo, mode == LM_DISABLED_NO_VALUE ? Background::Window : Background::ButtonFace);
        ChangeGuard g(m_guard);
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(-1);
        break;
    }
    case LM_DISABLED_GREY:
        m_combo->setEnabled(false);
        setBackground(m_combo, Background::ButtonFace);
        SetComboBox();
        break;
    default: // LM_LOCKED, LM_DISABLED_GREY_TEXT: only stored
        break;
    }
}

void cParamComboBox::setAvailable(bool on)
{
    cParamBase::setAvailable(on);
    if (!on)
        setLockMode(LM_DISABLED_GREY_NO_VALUE);
}

// ---------------- cParamCheckBox ----------------

cParamCheckBox::cParamCheckBox() : cNumberFieldParam(QStringLiteral("ung\u00fcltige Parameter")) {}

void cParamCheckBox::setValue(qint32 v)
{
    if (!Available())
        return;
    m_value = v;
    setValueKnown(true);
    SetCheckBox();
    setChanged(true);
}

void cParamCheckBox::SetCheckBox()
{
    if (hidesValue(m_lockMode) || !m_box)
        return;
    ChangeGuard g(m_guard);
    if (m_value == m_checked) {
        m_box->setCheckState(Qt::Checked);
        setTextColor(m_box, 0);
    } else if (m_value == m_unchecked) {
        m_box->setCheckState(Qt::Unchecked);
        setTextColor(m_box, 0);
    } else {
        setTextColor(m_box, kColorRed);
    }
}

void cParamCheckBox::CheckBox_Click_Event()
{
    if (m_guard || !m_box)
        return;
    const Qt::CheckState s = m_box->checkState();
    if (s == Qt::Checked)
        m_value = m_checked;
    else if (s == Qt::Unchecked)
        m_value = m_unchecked;
    setValueKnown(true);
    SetCheckBox();
    setChanged(true);
}

void cParamCheckBox::setLockMode(int mode)
{
    if (!Available())
        return;
    m_lockMode = mode;
    if (!m_box)
        return;
    switch (mode) {
    case LM_UNLOCKED:
        m_box->setEnabled(true);
        SetCheckBox();
        break;
    case LM_DISABLED:
    case LM_DISABLED_GREY:
        m_box->setEnabled(false);
        SetCheckBox();
        break;
    case LM_DISABLED_NO_VALUE:
    case LM_DISABLED_GREY_NO_VALUE: {
        m_box->setEnabled(false);
        ChangeGuard g(m_guard);
        m_box->setCheckState(Qt::Unchecked);
        break;
    }
    default:
        break;
    }
}

void cParamCheckBox::setAvailable(bool on)
{
    cParamBase::setAvailable(on);
    if (!on) {
        // The lock applies while the parameter is still marked available.
        cParamBase::setAvailable(true);
        setLockMode(LM_DISABLED_GREY_NO_VALUE);
        cParamBase::setAvailable(false);
    }
}

// ---------------- cParamOptBtn ----------------

void cParamOptBtn::setValue(const QString &rawText)
{
    m_value = trimBlanks(rawText);
    setValueKnown(true);
    showValue();
    setChanged(true);
}

void cParamOptBtn::AddOptionButton(model::ControlState *button, const QString &itemData)
{
    m_buttons << QPointer<model::ControlState>(button);
    m_itemData << itemData;
    setControlTag(button, Name());
}

model::ControlState *cParamOptBtn::OptionButton(int index) const
{
    return index >= 1 && index <= m_buttons.size() ? m_buttons.at(index - 1).data() : nullptr;
}

QString cParamOptBtn::itemData(int index) const
{
    return index >= 1 && index <= m_itemData.size() ? m_itemData.at(index - 1) : QString();
}

int cParamOptBtn::indexOf(const model::ControlState *button) const
{
    for (int i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons.at(i) == button)
            return i + 1;
    }
    return 0;
}

void cParamOptBtn::showValue()
{
    if (hidesValue(m_lockMode))
        return;
    ChangeGuard g(m_guard);
    for (int i = 0; i < m_buttons.size(); ++i) {
        if (m_itemData.at(i) == m_value && m_buttons.at(i)) {
            m_buttons.at(i)->setChecked(true);
            return;
        }
    }
}

void cParamOptBtn::switchAllOff()
{
    ChangeGuard g(m_guard);
    for (const auto &b : m_buttons) {
        if (!b)
            continue;
        // Exclusive buttons cannot be switched off one by one.
        const bool exclusive = b->autoExclusive();
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(exclusive);
    }
}

void cParamOptBtn::OptionButton_Click_Event(int index)
{
    if (m_guard || index < 1 || index > m_itemData.size())
        return;
    m_value = m_itemData.at(index - 1);
    setValueKnown(true);
    setChanged(true);
}

void cParamOptBtn::setLockMode(int mode)
{
    m_lockMode = mode;
    for (const auto &b : m_buttons) {
        if (b)
            b->setEnabled(mode == LM_UNLOCKED);
    }
    if (hidesValue(mode))
        switchAllOff();
    else
        showValue();
}

void cParamOptBtn::ReadFromLns()
{
    if (CpIsExternal() || !Available() || !io())
        return;
    const auto bytes = io()->readCp(ConfigProperty(), moduleName(), kReadFromLns);
    setLastReadFailed(!bytes);
    if (!bytes) {
        setValueKnown(false);
        return;
    }
    m_value = trimBlanks(rawText(*bytes));
    setValueKnown(true);
    showValue();
    setChanged(false);
}

void cParamOptBtn::WriteToLns()
{
    if (CpIsExternal() || !Available() || !io())
        return;
    QString why;
    const auto bytes = parseRawText(m_value, io()->byteLength(ConfigProperty()), &why);
    if (!bytes) {
        // An item data text that is not the CP's raw form would put other
        // bytes on the device than the choice means: nothing is written.
        CpIo::logError(moduleName(), kWriteToLns, lns::ErrBadValue, QStringLiteral("%1: %2").arg(Name(), why));
        io()->reportRefused(ConfigProperty());
        return;
    }
    if (io()->writeCp(ConfigProperty(), *bytes, moduleName(), kWriteToLns))
        setChanged(false);
}

void cParamOptBtn::ReadFromExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    m_value = rawText(ConfigPropExt()->bytes());
    setValueKnown(true);
    showValue();
    setChanged(false);
}

void cParamOptBtn::WriteToExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    const auto ext = ConfigPropExt();
    QString why;
    const auto bytes = parseRawText(m_value, ext->ByteLength(), &why);
    if (!bytes) {
        CpIo::logError(moduleName(), kWriteToExtCp, lns::ErrBadValue, QStringLiteral("%1: %2").arg(Name(), why));
        return;
    }
    if (ext->setBytes(1, *bytes))
        setChanged(false);
}

void cParamOptBtn::setAvailable(bool on)
{
    cParamBase::setAvailable(on);
    if (!on)
        setLockMode(LM_DISABLED_GREY_NO_VALUE);
}

} // namespace params
