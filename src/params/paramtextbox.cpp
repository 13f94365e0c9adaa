#include "paramtextbox.h"

#include "configprop.h"
#include "controlutil.h"

#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>


namespace params {

using model::kNoLengthLimit;

void cParamTextBox::setValue(qint32 v)
{
    m_v.setValue(v);
    setValueKnown(true);
    SetTextBox();
    setChanged(true);
}

void cParamTextBox::setValueCalc(double x)
{
    setValue(m_v.valueForNumber(Dec::fromDouble(x)));
}

void cParamTextBox::setResolution(int resolution)
{
    m_v.setResolution(resolution);
    applyInputLimits();
}

void cParamTextBox::setResolution2(double step)
{
    const int r = resolutionForStep(Dec::fromDouble(step));
    if (r >= 0)
        setResolution(r);
}

void cParamTextBox::setSnvtType(int type)
{
    const SnvtPreset p = snvtPreset(type);
    if (!p.known) {
        m_v.setSnvtType(type);
        return;
    }
    // The preset through the setters, in the order Factor, Resolution,
    // RangeMin, RangeMax, Unit, so the input limits and the text follow.
    m_v.setSnvtType(type);
    setFactor(p.factor);
    setResolution(p.resolution);
    setRangeMin(p.rangeMin);
    setRangeMax(p.rangeMax);
    setUnit(p.unit);
}

void cParamTextBox::setRangeMin(double v)
{
    m_v.setRangeMin(Dec::fromDouble(v));
    setTextBoxRangeMin(v);
}

void cParamTextBox::setRangeMax(double v)
{
    m_v.setRangeMax(Dec::fromDouble(v));
    setTextBoxRangeMax(v);
}

void cParamTextBox::setTextBoxRangeMin(double v)
{
    m_v.setTextBoxRangeMin(Dec::fromDouble(v));
    applyInputLimits();
    SetTextBox();
}

void cParamTextBox::setTextBoxRangeMax(double v)
{
    m_v.setTextBoxRangeMax(Dec::fromDouble(v));
    applyInputLimits();
    SetTextBox();
}

void cParamTextBox::applyInputLimits()
{
    m_userMaxLength = m_v.maxLength();
    m_keyMode = m_v.keyMode();
    if (m_box) {
        // A text box cuts its text to the maximum length; a value wider than
        // the range (shown red) must stay readable, so the limit never cuts
        // the text already there.
        m_box->setMaxLength(qMax(m_userMaxLength, m_box->text().size()));
    }
}

QString cParamTextBox::currentText() const
{
    return m_box ? m_box->text() : QString();
}

void cParamTextBox::setText(const QString &text)
{
    if (!m_box)
        return;
    if (text.size() > m_box->maxLength())
        m_box->setMaxLength(text.size());
    m_box->setText(text);
}

void cParamTextBox::SetTextBox()
{
    if (m_lockMode == LM_LOCKED || hidesValue(m_lockMode))
        return;
    if (!m_box)
        return;
    // The text shown is the value's picture, never its source: a value that
    // the format rounds (15.04 shown as "15.0") or that lies beyond a moved
    // limit keeps every digit it has. Only what the user enters, and the
    // rounding check of that entry, changes the value through the text.
    ChangeGuard g(m_updateGuard);
    if (!valueKnown()) {
        // Not read from the device: nothing to show, and nothing to mark.
        setText(QString());
        markRange(m_box, false);
        return;
    }
    if (resolutionInfo(m_v.resolution()).known)
        setText(m_v.displayText());
    markRange(m_box, m_v.displayOutOfTextBoxRange());
}

void cParamTextBox::TextBox_Change_Event()
{
    if (m_updateGuard || !m_box)
        return;
    const Dec d = m_v.numberOfTypedText(m_box->text());
    markRange(m_box, m_v.outsideTextBoxRange(d));
    m_v.setValue(m_v.valueForNumber(d));
    setValueKnown(true);
    setChanged(true);
}

void cParamTextBox::TextBox_KeyPress_Event(int &keyAscii)
{
    if (m_keyMode >= KA_Numbers && m_keyMode <= KA_NumbersFloatNeg)
        keyAscii = filterKey(m_keyMode, keyAscii);
}

void cParamTextBox::showRangeMessage(const TextValue::Check &c)
{
    const int id = c.clamp > 0 ? 1421 : 1422;
    const QString unit = m_v.unitMnemonic();
    const QString text = platform::fillPlaceholders(
        gLoadResString(id),
        {gLoadResString(1411), c.entered.toPlain(), unit, m_v.textBoxRangeMin().toPlain(),
         m_v.textBoxRangeMax().toPlain(), unit, m_title, c.limit.toPlain(), unit});
    const QString title = Parent() ? Parent()->messageTitle() : QString();
    platform::messages().show(platform::MsgIcon::Exclamation, title, text, platform::MB_OK);
}

bool cParamTextBox::roundingCheck(bool &cancel, bool silent)
{
    const QString before = currentText();
    const TextValue::Check c = m_v.roundingCheck(before);
    const QString problem = entryProblem(before);
    if (!problem.isEmpty() && !before.trimmed().isEmpty()) {
        platform::TraceLog::instance().write(QStringLiteral("[cParamTextBox] %1: entry \"%2\" (%3) taken as %4")
                                                 .arg(Name(), before, problem, c.entered.toPlain()));
    }
    if (c.clamp != 0) {
        if (!silent)
            showRangeMessage(c);
        cancel = true;
    }
    if (c.rewrites)
        setText(c.text);
    return currentText() != before;
}

void cParamTextBox::TextBox_Validate_Event(bool &cancel)
{
    if (m_updateGuard || !m_box)
        return;
    const QString before = m_box->text();
    // Leaving the empty box of a value that was never read enters nothing.
    if (before.isEmpty() && !valueKnown())
        return;
    if (before.isEmpty())
        setText(QStringLiteral("0"));
    roundingCheck(cancel, false);
    m_validated = true;
    // The value follows the rewritten text. The window forwards the text
    // box's change to TextBox_Change_Event as well; running it here makes
    // the result independent of that wiring (it is idempotent).
    if (m_box->text() != before)
        TextBox_Change_Event();
}

void cParamTextBox::TextBox_LostFocus_Event()
{
    if (!m_validated) {
        bool cancel = false;
        TextBox_Validate_Event(cancel);
    }
    m_validated = false;
}

void cParamTextBox::SetValidTextBoxValue(std::optional<double> calculatedValue, bool forceCpValueSetting)
{
    bool cancel = false;
    roundingCheck(cancel, true);
    if (calculatedValue && cancel)
        setValueCalc(*calculatedValue);
    if (forceCpValueSetting)
        TextBox_Change_Event();
}

void cParamTextBox::setLockMode(int mode)
{
    m_lockMode = mode;
    if (!m_box)
        return;
    switch (mode) {
    case LM_UNLOCKED:
    case LM_LOCKED:
        m_box->setEnabled(true);
        setBackground(m_box, Background::Window);
        applyInputLimits();
        SetTextBox();
        break;
    case LM_DISABLED:
        m_box->setEnabled(false);
        setBackground(m_box, Background::Window);
        applyInputLimits();
        SetTextBox();
        break;
    case LM_DISABLED_NO_VALUE: {
        m_box->setEnabled(false);
        setBackground(m_box, Background::Window);
        ChangeGuard g(m_updateGuard);
        m_box->clear();
        break;
    }
    case LM_DISABLED_GREY:
        m_box->setEnabled(false);
        setBackground(m_box, Background::ButtonFace);
        applyInputLimits();
        SetTextBox();
        break;
    case LM_DISABLED_GREY_NO_VALUE: {
        m_box->setEnabled(false);
        setBackground(m_box, Background::ButtonFace);
        ChangeGuard g(m_updateGuard);
        m_box->clear();
        break;
    }
    case LM_DISABLED_GREY_TEXT: {
        m_box->setEnabled(false);
        setBackground(m_box, Background::ButtonFace);
        ChangeGuard g(m_updateGuard);
        m_box->setMaxLength(kNoLengthLimit);
        m_box->setText(m_textWhenLocked);
        break;
    }
    default:
        break;
    }
}

bool cParamTextBox::ValueIsInvalid() const
{
    // A value never read is not written, so it cannot stop a write.
    if (DontWriteToLns() || !valueKnown())
        return false;
    if (m_box && textColor(m_box) == kColorRed && !hidesValue(m_lockMode))
        return true;
    return m_v.outsideRange();
}

ParamStatus cParamTextBox::ConsiderPartOfCpOnly(int bytePos, int byteLength)
{
    const ParamStatus st = checkPartOfCp(bytePos, byteLength, QStringLiteral("ung\u00fcltige Parameter"));
    if (st.ok()) {
        m_bytePos = bytePos;
        m_byteLength = byteLength;
    }
    return st;
}

FieldPlace cParamTextBox::fieldPlace() const
{
    FieldPlace s;
    s.bytePos = m_bytePos;
    s.byteLength = m_byteLength;
    s.usedBytes = m_usedBytes;
    s.isSigned = m_v.fieldSigned();
    return s;
}

void cParamTextBox::ReadFromLns()
{
    if (CpIsExternal() || !Available())
        return;
    const auto r = readOwnField(fieldPlace(), kReadFromLns);
    if (!r) {
        SetTextBox(); // shows it not read, unless the user's entry stands
        return;
    }
    m_v.setValue(m_v.valueForField(*r));
    setValueKnown(true);
    SetTextBox();
    setChanged(false);
}

void cParamTextBox::ReadFromExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    const auto r = readExtField(fieldPlace(), kReadFromExtCp);
    if (!r) {
        SetTextBox();
        return;
    }
    m_v.setValue(m_v.valueForField(*r));
    setValueKnown(true);
    SetTextBox();
    setChanged(false);
}

void cParamTextBox::WriteToLns()
{
    if (CpIsExternal() || !Available() || m_valueNotSet)
        return;
    if (writeOwnField(fieldPlace(), m_v.fieldValue(), kWriteToLns))
        setChanged(false);
}

void cParamTextBox::WriteToExtCp()
{
    if (!CpIsExternal() || !Available() || m_valueNotSet)
        return;
    if (writeExtField(fieldPlace(), m_v.fieldValue(), kWriteToExtCp))
        setChanged(false);
}

void cParamTextBox::setAvailable(bool on)
{
    cParamBase::setAvailable(on);
    if (!on)
        setLockMode(LM_DISABLED_GREY_NO_VALUE);
}

} // namespace params
