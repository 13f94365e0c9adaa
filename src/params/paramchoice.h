// Parameters with a small set of allowed values: a drop-down list whose
// entries carry the stored number as item data, a check box with one stored
// number for checked and one for unchecked, and a group of option buttons
// whose entries carry the CP's whole raw text.
#pragma once

#include "parambase.h"

#include <model/controlstate.h>

#include <QPointer>
#include <QVector>

#include <optional>

namespace params {

// A number held in a field of a CP (the whole CP or a part of it), shown on
// one control: what the drop-down list and the check box share. Subclasses
// show the value on their control after every read.
class cNumberFieldParam : public cParamBase
{
public:
    qint32 Value() const { return m_value; }
    bool SignedValue() const { return m_signed; }
    void setSignedValue(bool on) { m_signed = on; }
    int bytePos() const { return m_bytePos; }
    int byteLength() const { return m_byteLength; }

    ParamStatus ConsiderPartOfCpOnly(int bytePos, int byteLength);
    FieldPlace fieldPlace() const;

    void ReadFromLns() override;
    void WriteToLns() override;
    void ReadFromExtCp() override;
    void WriteToExtCp() override;

protected:
    // `partOfCpError`: the description of the refusal of a field that does
    // not fit the CP (the two kinds word it differently).
    explicit cNumberFieldParam(QString partOfCpError) : m_partOfCpError(std::move(partOfCpError)) {}
    // Shows m_value on the control.
    virtual void showValue() = 0;

    qint32 m_value = 0;
    bool m_signed = false;

private:
    void takeRead(const std::optional<qint64> &v);

    QString m_partOfCpError;
    int m_bytePos = 0;
    int m_byteLength = 0;
};

class cParamComboBox : public cNumberFieldParam
{
public:
    cParamComboBox();
    int ClassId() const override { return PA_CLASSID_COMBOBOX_PARAMTER; }

    model::ControlState *ComboBoxControl() const { return m_combo; }
    // Binding a list empties it.
    void setComboBoxControl(model::ControlState *combo);

    void setValue(qint32 v);
    QString InvalidItemString() const { return m_invalidItem; }
    void setInvalidItemString(const QString &text) { m_invalidItem = text; }
    bool ControlUpdatesEnabled() const { return m_updatesEnabled; }
    void setControlUpdatesEnabled(bool on);
    int LockMode() const { return m_lockMode; }
    void setLockMode(int mode);

    // A negative item data makes the field signed.
    void AddComboBoxItem(const QString &text, qint32 itemData);
    void RemoveComboBoxItem(int itemIndex);
    void RemoveComboBoxItemByItemData(qint32 itemData);
    void ClearComboBox();
    void UpdateComboBox() { setValue(m_value); }
    bool ValueIsInComboList(qint32 v) const;
    bool CurrentValueIsInComboList() const { return ValueIsInComboList(m_value); }
    // Puts InvalidItemString at the top in red and selects it (it stands for
    // the current value, which is not in the list).
    void ShowInvalidItem();
    // Selects entry i as the user would (the value follows).
    void SetValueByComboListItemIndex(int itemIndex);
    void SetComboBox();
    void ComboBox_Change_Event();

    void setAvailable(bool on) override;

protected:
    void showValue() override { SetComboBox(); }

private:
    int invalidEntry() const;
    void removeInvalidEntry();

    QPointer<model::ControlState> m_combo;
    QString m_invalidItem;
    bool m_updatesEnabled = true;
    int m_lockMode = LM_UNLOCKED;
    bool m_guard = false;
};

class cParamCheckBox : public cNumberFieldParam
{
public:
    cParamCheckBox();
    int ClassId() const override { return PA_CLASSID_CHECKBOX_PARAMETER; }

    model::ControlState *CheckBoxControl() const { return m_box; }
    void setCheckBoxControl(model::ControlState *box) { m_box = box; }

    // Only while Available.
    void setValue(qint32 v);
    qint32 ValueChecked() const { return m_checked; }
    void setValueChecked(qint32 v) { m_checked = v; }
    qint32 ValueUnchecked() const { return m_unchecked; }
    void setValueUnchecked(qint32 v) { m_unchecked = v; }
    int LockMode() const { return m_lockMode; }
    void setLockMode(int mode);

    void SetCheckBox();
    void CheckBox_Click_Event();

    void setAvailable(bool on) override;

protected:
    void showValue() override { SetCheckBox(); }

private:
    QPointer<model::ControlState> m_box;
    qint32 m_checked = 0;
    qint32 m_unchecked = 0;
    int m_lockMode = LM_UNLOCKED;
    bool m_guard = false;
};

class cParamOptBtn : public cParamBase
{
public:
    int ClassId() const override { return PA_CLASSID_OPTIONBUTTON_PARAMETER; }

    // The raw text of the whole CP.
    QString Value() const { return m_value; }
    void setValue(const QString &rawText);
    int LockMode() const { return m_lockMode; }
    void setLockMode(int mode);

    // Item data: the CP's complete raw text for that choice.
    void AddOptionButton(model::ControlState *button, const QString &itemData);
    model::ControlState *OptionButton(int index) const; // 1-based
    QString itemData(int index) const;
    int OptionButtonsCount() const { return m_buttons.size(); }
    // Position (1-based) of a button of this parameter, 0 when it has none.
    int indexOf(const model::ControlState *button) const;
    void OptionButton_Click_Event(int index);

    void ReadFromLns() override;
    void WriteToLns() override;
    void ReadFromExtCp() override;
    void WriteToExtCp() override;
    void setAvailable(bool on) override;

private:
    void showValue();
    void switchAllOff();

    QVector<QPointer<model::ControlState>> m_buttons;
    QStringList m_itemData;
    QString m_value;
    int m_lockMode = LM_UNLOCKED;
    bool m_guard = false;
};

} // namespace params
