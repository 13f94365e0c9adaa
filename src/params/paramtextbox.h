// cParamTextBox: one numeric CP field shown in a text box. It filters the
// keys typed, converts between the CP integer, the scaled value and the
// text, rounds an entry to the resolution, clamps it to the range with a
// message, marks out-of-range values red and shows the lock modes.
//
// The control state is optional: without one the parameter still converts,
// reads and writes.
#pragma once

#include "parambase.h"
#include "textvalue.h"

#include <model/controlstate.h>

#include <QPointer>

#include <optional>

namespace params {

class cParamTextBox : public cParamBase
{
public:
    int ClassId() const override { return PA_CLASSID_TEXTBOX_PARAMETER; }

    model::ControlState *TextBoxControl() const { return m_box; }
    void setTextBoxControl(model::ControlState *box) { m_box = box; }

    // Value: the displayed number x Factor. Setting it shows it and marks
    // the parameter changed.
    qint32 Value() const { return m_v.value(); }
    void setValue(qint32 v);
    // Value / Factor; setting x stores x x Factor rounded (tie to even).
    double ValueCalc() const { return m_v.valueCalc(); }
    void setValueCalc(double x);
    bool ValueNotSet() const { return m_valueNotSet; }
    void setValueNotSet(bool on) { m_valueNotSet = on; }

    QString UnitMnemonic() const { return m_v.unitMnemonic(); }
    // The collection's: a mnemonic of its own makes the unit UNIT_UserDefined.
    void setUnitMnemonic(const QString &text) { m_v.setUnitMnemonic(text); }
    int Unit() const { return m_v.unit(); }
    void setUnit(int unit) { m_v.setUnit(unit); }
    int Resolution() const { return m_v.resolution(); }
    void setResolution(int resolution);
    // The step of the resolution; setting one of the eleven steps selects
    // its resolution, any other number is ignored.
    double Resolution2() const { return MinStep(); }
    void setResolution2(double step);
    double MinStep() const { return m_v.minStep().toDouble(); }
    qint32 Factor() const { return m_v.factor(); }
    void setFactor(qint32 f) { m_v.setFactor(f); }
    double OffsetCalc() const { return m_v.offset().toDouble(); }
    void setOffsetCalc(double offset) { m_v.setOffset(Dec::fromDouble(offset)); }
    int SnvtType() const { return m_v.snvtType(); }
    void setSnvtType(int type);

    double RangeMin() const { return m_v.rangeMin().toDouble(); }
    void setRangeMin(double v);
    double RangeMax() const { return m_v.rangeMax().toDouble(); }
    void setRangeMax(double v);
    double TextBoxRangeMin() const { return m_v.textBoxRangeMin().toDouble(); }
    void setTextBoxRangeMin(double v);
    double TextBoxRangeMax() const { return m_v.textBoxRangeMax().toDouble(); }
    void setTextBoxRangeMax(double v);

    int LockMode() const { return m_lockMode; }
    void setLockMode(int mode);
    QString TextWhenLocked() const { return m_textWhenLocked; }
    void setTextWhenLocked(const QString &text) { m_textWhenLocked = text; }
    QString TextBoxTitle() const { return m_title; }
    void setTextBoxTitle(const QString &title) { m_title = title; }
    int UsedBytes() const { return m_usedBytes; }
    void setUsedBytes(int n) { m_usedBytes = n; }
    // eKeysAllowed; the input limits set it, KA_All and KA_UserDef may be
    // set by the caller.
    int keyMode() const { return m_keyMode; }
    void setKeyMode(int mode) { m_keyMode = mode; }
    int bytePos() const { return m_bytePos; }
    int byteLength() const { return m_byteLength; }

    // Field of the own CP: accepted when it lies within the CP's element.
    ParamStatus ConsiderPartOfCpOnly(int bytePos, int byteLength);

    void SetTextBox();
    // The rounding check without messages; with a calculated value, a
    // clamped entry takes that value instead; with forceCpValueSetting the
    // value follows the text and the parameter is marked changed.
    void SetValidTextBoxValue(std::optional<double> calculatedValue = std::nullopt, bool forceCpValueSetting = false);
    // Red text (outside the text-box range) while a value is shown, or the
    // value outside the CP's range; never while DontWriteToLns is set.
    bool ValueIsInvalid() const;

    // Events of the text box, forwarded by the collection.
    void TextBox_KeyPress_Event(int &keyAscii);
    void TextBox_LostFocus_Event();
    void TextBox_Validate_Event(bool &cancel);
    void TextBox_Change_Event();

    void ReadFromLns() override;
    void WriteToLns() override;
    void ReadFromExtCp() override;
    void WriteToExtCp() override;
    void setAvailable(bool on) override;

    const TextValue &numbers() const { return m_v; }
    // The field as the collection's field reader and writer see it.
    FieldPlace fieldPlace() const;

private:
    void applyInputLimits();
    void setText(const QString &text);
    bool roundingCheck(bool &cancel, bool silent);
    void showRangeMessage(const TextValue::Check &c);
    QString currentText() const;

    QPointer<model::ControlState> m_box;
    TextValue m_v;
    bool m_valueNotSet = false;
    int m_lockMode = LM_UNLOCKED;
    QString m_textWhenLocked;
    QString m_title;
    int m_keyMode = KA_Numbers;
    bool m_updateGuard = false;
    bool m_validated = false;
    int m_bytePos = 0;
    int m_byteLength = 0;
    int m_usedBytes = 0;
    int m_userMaxLength = 32767;
};

} // namespace params
