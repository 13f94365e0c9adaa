// List, check-box and option-button parameters on real controls with the
// device behind them: values outside the list, the list selector, signed
// fields, lock modes and the raw texts of option buttons.
#include "paramsfixture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace params;

class TstParamsChoice : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<ParamsFixture>(); }
    void cleanup() { f.reset(); }

    // ---- combo box ----

    std::shared_ptr<cParamComboBox> levels(QList<int> data = {0, 1, 3})
    {
        auto c = f->params->AddComboBoxParameter("DiscLevels", f->window.comboBox(7), f->cp("DiscLevels"), "DiscLevels");
        for (int d : data)
            c->AddComboBoxItem(QStringLiteral("item %1").arg(d), d);
        return c;
    }

    void valueAgainstTheList_data()
    {
        QTest::addColumn<int>("deviceValue");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("inList");
        QTest::newRow("first") << 0 << 0 << true;
        QTest::newRow("second") << 1 << 1 << true;
        QTest::newRow("last") << 3 << 2 << true;
        QTest::newRow("gap in the list") << 2 << -1 << false;
        QTest::newRow("255") << 255 << -1 << false;
    }
    void valueAgainstTheList()
    {
        QFETCH(int, deviceValue);
        QFETCH(int, index);
        QFETCH(bool, inList);
        auto c = levels();
        f->setDeviceBytes("DiscLevels", bytesOf({deviceValue}));
        f->params->ReadFromLns();
        QCOMPARE(c->ComboBoxControl()->currentIndex(), index);
        QCOMPARE(c->CurrentValueIsInComboList(), inList);
        QCOMPARE(textColor(c->ComboBoxControl()) == kColorRed, !inList);
        QCOMPARE(f->params->AnyParameterValueIsInvalid(), !inList);
        QCOMPARE(c->Value(), deviceValue);
        // Written back unchanged, never as the 0 of an empty selection.
        f->setDeviceBytes("DiscLevels", bytesOf({9}));
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("DiscLevels"), bytesOf({deviceValue}));
    }

    void invalidItem()
    {
        auto c = levels();
        c->setInvalidItemString(QStringLiteral("- invalid -"));
        f->setDeviceBytes("DiscLevels", bytesOf({2}));
        f->params->ReadFromLns();
        c->ShowInvalidItem();
        model::ControlState *box = c->ComboBoxControl();
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->itemText(0), QStringLiteral("- invalid -"));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(textColor(box), int(kColorRed));
        QCOMPARE(c->Value(), 2);
        QVERIFY(!c->CurrentValueIsInComboList());
        QVERIFY(!c->Changed());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("DiscLevels"), bytesOf({2}));
        // The user picks a real entry: the stand-in goes.
        c->SetValueByComboListItemIndex(3);
        QCOMPARE(c->Value(), 3);
        QVERIFY(c->Changed());
        QCOMPARE(box->count(), 3);
        QCOMPARE(textColor(box), 0);
        QVERIFY(c->CurrentValueIsInComboList());
    }

    void listSelectorRaisesNoChange()
    {
        auto c = levels();
        f->params->connectControlEvents(true);
        QSignalSpy spy(c->ComboBoxControl(), &model::ControlState::currentIndexChanged);
        f->params->ReadFromLns();
        QCOMPARE(c->ComboBoxControl()->currentIndex(), 2);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!c->Changed());
        QCOMPARE(selectByItemData(c->ComboBoxControl(), 1), 1);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(selectByItemData(c->ComboBoxControl(), 7), -1);
    }

    void userSelectionReachesTheValue()
    {
        auto c = levels();
        f->params->connectControlEvents(true);
        f->params->ReadFromLns();
        f->window.comboBoxWidget(7)->setCurrentIndex(0); // as a click would
        QCOMPARE(c->Value(), 0);
        QVERIFY(c->Changed());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("DiscLevels"), bytesOf({0}));
    }

    void signedFunctionByte_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("Nul is -1") << 6 << bytesOf({255, 200});
        QTest::newRow("Off") << 0 << bytesOf({0, 200});
        QTest::newRow("State") << 5 << bytesOf({5, 200});
    }
    void signedFunctionByte()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, written);
        auto c = f->params->AddComboBoxParameter("SettingHystHighFunction", f->window.comboBox(5), f->cp("SettingHystHigh"),
                                                 "SettingHystHigh");
        QVERIFY(c->ConsiderPartOfCpOnly(1, 1).ok());
        for (int item = 1; item <= 6; ++item)
            c->AddComboBoxItem(gLoadResString(1149, item), item - 1);
        QVERIFY(!c->SignedValue());
        c->AddComboBoxItem(QStringLiteral("Nul"), SET_NUL);
        QVERIFY(c->SignedValue());
        QCOMPARE(c->ComboBoxControl()->itemText(6), QStringLiteral("Nul"));
        QCOMPARE(c->ComboBoxControl()->itemText(2), QStringLiteral("Down"));
        f->params->ReadFromLns();
        QCOMPARE(c->Value(), 1);
        c->SetValueByComboListItemIndex(index);
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SettingHystHigh"), written);
        f->params->ReadFromLns();
        QCOMPARE(c->ComboBoxControl()->currentIndex(), index);
    }

    void comboLockModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<int>("index");
        QTest::newRow("unlocked") << int(LM_UNLOCKED) << true << false << 2;
        QTest::newRow("locked keeps state and selection") << int(LM_LOCKED) << false << false << 1;
        QTest::newRow("disabled") << int(LM_DISABLED) << false << false << 2;
        QTest::newRow("disabled, no value") << int(LM_DISABLED_NO_VALUE) << false << false << -1;
        QTest::newRow("grey") << int(LM_DISABLED_GREY) << false << true << 2;
        QTest::newRow("grey, no value") << int(LM_DISABLED_GREY_NO_VALUE) << false << true << -1;
        QTest::newRow("grey text: stored only") << int(LM_DISABLED_GREY_TEXT) << false << false << 1;
    }
    void comboLockModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        QFETCH(bool, grey);
        QFETCH(int, index);
        auto c = levels();
        f->params->connectControlEvents(true);
        f->params->ReadFromLns();          // value 3 (index 2)
        c->setLockMode(LM_DISABLED);
        selectByItemData(c->ComboBoxControl(), 1); // something else is shown
        c->setLockMode(mode);
        QCOMPARE(c->ComboBoxControl()->isEnabled(), enabled);
        QCOMPARE(background(c->ComboBoxControl()) == Background::ButtonFace, grey);
        QCOMPARE(c->ComboBoxControl()->currentIndex(), index);
        QCOMPARE(c->Value(), 3);
        QVERIFY(!c->Changed());
    }

    void controlUpdatesCanBeHeld()
    {
        auto c = levels();
        f->params->ReadFromLns();
        c->setControlUpdatesEnabled(false);
        c->setValue(0);
        QCOMPARE(c->ComboBoxControl()->currentIndex(), 2);
        c->setControlUpdatesEnabled(true);
        QCOMPARE(c->ComboBoxControl()->currentIndex(), 0);
    }

    void listEditing()
    {
        auto c = levels({1, 2, 3, 4, 5});
        QVERIFY(c->ValueIsInComboList(4));
        c->RemoveComboBoxItemByItemData(4);
        QVERIFY(!c->ValueIsInComboList(4));
        c->RemoveComboBoxItem(0);
        QVERIFY(!c->ValueIsInComboList(1));
        QCOMPARE(c->ComboBoxControl()->count(), 3);
        c->ClearComboBox();
        QCOMPARE(c->ComboBoxControl()->count(), 0);
        // Binding a list empties it.
        c->AddComboBoxItem(QStringLiteral("x"), 1);
        c->setComboBoxControl(c->ComboBoxControl());
        QCOMPARE(c->ComboBoxControl()->count(), 0);
    }

    void partOfCpTexts()
    {
        auto c = f->params->AddComboBoxParameter("C", nullptr, f->cp("SettingHystHigh"), "SettingHystHigh");
        QCOMPARE(c->ConsiderPartOfCpOnly(2, 2).description, QStringLiteral("invalid parameters"));
        auto k = f->params->AddCheckBoxParameter("K", nullptr, f->cp("SettingHystHigh"), "SettingHystHigh");
        QCOMPARE(k->ConsiderPartOfCpOnly(3, 1).description, QStringLiteral("ung\u00fcltige Parameter"));
        QVERIFY(k->ConsiderPartOfCpOnly(2, 1).ok());
    }

    // ---- check box ----

    std::shared_ptr<cParamCheckBox> modeBox()
    {
        auto k = f->params->AddCheckBoxParameter("Mode", f->window.checkBox(6), f->cp("SetPointMode"), "SetPointMode");
        k->setValueChecked(1);
        k->setValueUnchecked(0);
        return k;
    }

    void checkBoxValues_data()
    {
        QTest::addColumn<int>("deviceValue");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("red");
        QTest::newRow("checked") << 1 << int(Qt::Checked) << false;
        QTest::newRow("unchecked") << 0 << int(Qt::Unchecked) << false;
        QTest::newRow("5: red, state kept") << 5 << int(Qt::Checked) << true;
    }
    void checkBoxValues()
    {
        QFETCH(int, deviceValue);
        QFETCH(int, state);
        QFETCH(bool, red);
        auto k = modeBox();
        k->CheckBoxControl()->setCheckState(Qt::Checked);
        f->setDeviceBytes("SetPointMode", bytesOf({deviceValue}));
        f->params->ReadFromLns();
        QCOMPARE(int(k->CheckBoxControl()->checkState()), state);
        QCOMPARE(textColor(k->CheckBoxControl()) == kColorRed, red);
        QCOMPARE(k->Value(), deviceValue);
        QVERIFY(!k->Changed());
    }

    void checkBoxClick()
    {
        auto k = modeBox();
        f->params->connectControlEvents(true);
        f->setDeviceBytes("SetPointMode", bytesOf({0}));
        f->params->ReadFromLns();
        QVERIFY(!k->Changed());
        f->window.checkBoxWidget(6)->click();
        QCOMPARE(k->Value(), 1);
        QVERIFY(k->Changed());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SetPointMode"), bytesOf({1}));
        f->window.checkBoxWidget(6)->click();
        QCOMPARE(k->Value(), 0);
    }

    void checkBoxLockModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("state");
        QTest::newRow("unlocked") << int(LM_UNLOCKED) << true << int(Qt::Checked);
        QTest::newRow("disabled") << int(LM_DISABLED) << false << int(Qt::Checked);
        QTest::newRow("grey") << int(LM_DISABLED_GREY) << false << int(Qt::Checked);
        QTest::newRow("no value") << int(LM_DISABLED_NO_VALUE) << false << int(Qt::Unchecked);
        QTest::newRow("grey, no value") << int(LM_DISABLED_GREY_NO_VALUE) << false << int(Qt::Unchecked);
    }
    void checkBoxLockModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        QFETCH(int, state);
        auto k = modeBox();
        f->params->connectControlEvents(true);
        f->params->ReadFromLns(); // 1: checked
        k->setLockMode(mode);
        QCOMPARE(k->CheckBoxControl()->isEnabled(), enabled);
        QCOMPARE(int(k->CheckBoxControl()->checkState()), state);
        QCOMPARE(k->Value(), 1);
        QVERIFY(!k->Changed());
    }

    void checkBoxWithoutCp()
    {
        auto k = f->params->AddCheckBoxParameter("None", f->window.checkBox(2), nullptr, "Missing");
        QVERIFY(!k->Available());
        QVERIFY(!k->CheckBoxControl()->isEnabled());
        k->setValue(1);
        QCOMPARE(k->Value(), 0);
        QVERIFY(!k->Changed());
    }

    // ---- option buttons ----

    std::shared_ptr<cParamOptBtn> auxButtons(const QStringList &items)
    {
        auto o = f->params->AddOptionButtonParameter("Aux", f->cp("AuxLevels"), "AuxLevels");
        for (int i = 0; i < items.size(); ++i)
            f->params->AddOptionButton(o, f->window.option(i), items.at(i));
        return o;
    }

    void optionButtonsShowTheRawText_data()
    {
        QTest::addColumn<int>("deviceValue");
        QTest::addColumn<int>("on"); // 0: none
        QTest::newRow("0") << 0 << 1;
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("2") << 2 << 3;
        QTest::newRow("7: none") << 7 << 0;
    }
    void optionButtonsShowTheRawText()
    {
        QFETCH(int, deviceValue);
        QFETCH(int, on);
        auto o = auxButtons({"0", "1", "2"});
        QCOMPARE(o->OptionButtonsCount(), 3);
        QCOMPARE(controlTag(o->OptionButton(2)), QStringLiteral("Aux"));
        f->setDeviceBytes("AuxLevels", bytesOf({deviceValue}));
        f->params->ReadFromLns();
        QCOMPARE(o->Value(), QString::number(deviceValue));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(o->OptionButton(i)->isChecked(), i == on);
        QVERIFY(!o->Changed());
    }

    void optionButtonClick()
    {
        auto o = auxButtons({"0", "1", "2"});
        f->params->connectControlEvents(true);
        f->params->ReadFromLns();
        f->window.optionWidget(2)->click();
        QCOMPARE(o->Value(), QStringLiteral("2"));
        QVERIFY(o->Changed());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("AuxLevels"), bytesOf({2}));
    }

    void optionButtonsOverTwoBytes()
    {
        auto o = f->params->AddOptionButtonParameter("Hyst", f->cp("SettingHystHigh"), "SettingHystHigh");
        f->params->AddOptionButton(o, f->window.option(0), QStringLiteral("0\t0"));
        f->params->AddOptionButton(o, f->window.option(1), QStringLiteral("1\t200"));
        f->params->ReadFromLns();
        QVERIFY(o->OptionButton(2)->isChecked());
        o->setValue(QStringLiteral(" 0\t0 "));
        QCOMPARE(o->Value(), QStringLiteral("0\t0"));
        QVERIFY(o->OptionButton(1)->isChecked());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("SettingHystHigh"), bytesOf({0, 0}));
    }

    void optionItemDataThatIsNoRawTextIsRefused_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("300") << "300";
        QTest::newRow("two bytes for one") << "1\t1";
        QTest::newRow("letters") << "one";
        QTest::newRow("empty") << "";
    }
    void optionItemDataThatIsNoRawTextIsRefused()
    {
        QFETCH(QString, item);
        auto o = auxButtons({"0", item});
        f->params->ReadFromLns();
        o->OptionButton_Click_Event(2);
        QVERIFY(o->Changed());
        QVERIFY(!f->params->WriteToLns());
        QCOMPARE(f->params->failedCpNames(), QStringList{"AuxLevels"});
        QCOMPARE(f->deviceBytes("AuxLevels"), bytesOf({1}));
        QVERIFY(o->Changed());
        QVERIFY(f->traced(QStringLiteral("Aux")));
    }

    void optionLockModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("shown");
        QTest::newRow("unlocked") << int(LM_UNLOCKED) << true << true;
        QTest::newRow("locked") << int(LM_LOCKED) << false << true;
        QTest::newRow("grey") << int(LM_DISABLED_GREY) << false << true;
        QTest::newRow("no value") << int(LM_DISABLED_NO_VALUE) << false << false;
        QTest::newRow("grey, no value") << int(LM_DISABLED_GREY_NO_VALUE) << false << false;
    }
    void optionLockModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        QFETCH(bool, shown);
        auto o = auxButtons({"0", "1", "2"});
        f->params->connectControlEvents(true);
        f->params->ReadFromLns(); // "1"
        o->setLockMode(mode);
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(o->OptionButton(i)->isEnabled(), enabled);
        QCOMPARE(o->OptionButton(2)->isChecked(), shown);
        QCOMPARE(o->Value(), QStringLiteral("1"));
        QVERIFY(!o->Changed());
    }

private:
    std::unique_ptr<ParamsFixture> f;
};

QTEST_MAIN(TstParamsChoice)
#include "tst_params_choice.moc"
