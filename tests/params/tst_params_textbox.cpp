// The text-box parameter on a real QLineEdit with the device behind it:
// reading and showing, typing through the key filters, rounding and
// clamping with the range messages, red marking, lock modes, partial CPs.
#include "paramsfixture.h"

#include <QtTest>

using namespace params;

namespace {
const QString kDegC = QStringLiteral("\u00b0C");

void focusOut(QWidget *w)
{
    QFocusEvent e(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &e);
}
} // namespace

class TstParamsTextBox : public QObject
{
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<ParamsFixture>(); }
    void cleanup() { f.reset(); }

    void showsWhatTheDeviceHolds_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("resolution"); // -1: the type's
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("red");
        QTest::newRow("temp_p 2100") << int(SNVT_temp_p) << -1 << bytesOf({8, 52}) << "21.00" << 2100 << false;
        QTest::newRow("temp_p 0xFFFF is -0.01") << int(SNVT_temp_p) << -1 << bytesOf({255, 255}) << "-0.01" << -1 << false;
        QTest::newRow("unsigned 0xFFFF is 65535") << int(SNVT_unsigned) << -1 << bytesOf({255, 255}) << "65535" << 65535
                                                  << false;
        QTest::newRow("temp_p at 0.1") << int(SNVT_temp_p) << int(RES_0_1) << bytesOf({8, 56}) << "21.0" << 2104 << false;
        QTest::newRow("time_min") << int(SNVT_time_min) << -1 << bytesOf({0, 30}) << "30" << 30 << false;
        QTest::newRow("time_sec") << int(SNVT_time_sec) << -1 << bytesOf({2, 88}) << "60.0" << 600 << false;
    }
    void showsWhatTheDeviceHolds()
    {
        QFETCH(int, type);
        QFETCH(int, resolution);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(bool, red);
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(type);
        if (resolution >= 0)
            t->setResolution(resolution);
        f->setDeviceBytes("HeatXp", bytes);
        f->params->ReadFromLns();
        QCOMPARE(t->TextBoxControl()->text(), text);
        QCOMPARE(t->Value(), value);
        QCOMPARE(textColor(t->TextBoxControl()) == kColorRed, red);
        QVERIFY(!t->Changed());
        // Untouched, it goes back as it came.
        f->setDeviceBytes("HeatXp", bytesOf({0, 0}));
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("HeatXp"), bytes);
    }

    void typingThenLeaving_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("typed");  // text after typing
        QTest::addColumn<QString>("shown");  // text after leaving the box
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("temp_p keeps 2100") << int(SNVT_temp_p) << -1 << "21.004" << "21.004" << "21.00" << 2100
                                           << bytesOf({8, 52});
        QTest::newRow("RES_0_5 20.25 to 20.0") << int(SNVT_lev_cont) << -1 << "20.25" << "20.25" << "20.0" << 40
                                               << bytesOf({0, 40});
        QTest::newRow("RES_0_5 20.75 to 21.0") << int(SNVT_lev_cont) << -1 << "20.75" << "20.75" << "21.0" << 42
                                               << bytesOf({0, 42});
        QTest::newRow("letters swallowed") << int(SNVT_time_min) << -1 << "1a2b3" << "123" << "123" << 123
                                           << bytesOf({0, 123});
        QTest::newRow("minus swallowed when unsigned") << int(SNVT_time_min) << -1 << "-45" << "45" << "45" << 45
                                                       << bytesOf({0, 45});
        QTest::newRow("point swallowed at RES_1") << int(SNVT_time_min) << -1 << "4.5" << "45" << "45" << 45
                                                  << bytesOf({0, 45});
        QTest::newRow("comma typed as point") << int(SNVT_temp_p) << int(RES_0_1) << "-2,54" << "-2.54" << "-2.5" << -250
                                              << bytesOf({255, 6});
        QTest::newRow("second separator") << int(SNVT_temp_p) << int(RES_0_1) << "2.5.7" << "2.5.7" << "2.5" << 250
                                          << bytesOf({0, 250});
        QTest::newRow("time_sec in tenths") << int(SNVT_time_sec) << -1 << "12,35" << "12.35" << "12.4" << 124
                                            << bytesOf({0, 124});
    }
    void typingThenLeaving()
    {
        QFETCH(int, type);
        QFETCH(int, resolution);
        QFETCH(QString, keys);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, value);
        QFETCH(QByteArray, written);
        QLineEdit *box = f->window.textBoxWidget(20);
        auto t = f->params->AddTextBoxParameter("P", f->window.stateOf(box), f->cp("HeatXp"), "HeatXp");
        f->params->connectControlEvents(true);
        t->setSnvtType(type);
        if (resolution >= 0)
            t->setResolution(resolution);
        f->params->ReadFromLns();
        box->clear();
        QTest::keyClicks(box, keys);
        QCOMPARE(box->text(), typed);
        QVERIFY(t->Changed());
        focusOut(box);
        QCOMPARE(box->text(), shown);
        QCOMPARE(t->Value(), value);
        QVERIFY(f->messages->shown.isEmpty());
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("HeatXp"), written);
    }

    void rangeMessages_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("value");
        const QString title = QStringLiteral("Comfort temperature");
        QTest::newRow("too high") << 0 << "60" << "The value 60 \u00b0C is too high. The valid range is from 5 up to 50 \u00b0C.\n\n"
                                                  "\"Comfort temperature\" is set to 50 \u00b0C."
                                  << "50.0" << 5000;
        QTest::newRow("too low") << 0 << "4.96" << "The value 4.96 \u00b0C is too low. The valid range is from 5 up to 50 \u00b0C.\n\n"
                                                   "\"Comfort temperature\" is set to 5 \u00b0C."
                                 << "5.0" << 500;
        QTest::newRow("negative") << 0 << "-3" << "The value -3 \u00b0C is too low. The valid range is from 5 up to 50 \u00b0C.\n\n"
                                                  "\"Comfort temperature\" is set to 5 \u00b0C."
                                  << "5.0" << 500;
        QTest::newRow("empty is 0") << 0 << "" << "The value 0 \u00b0C is too low. The valid range is from 5 up to 50 \u00b0C.\n\n"
                                                  "\"Comfort temperature\" is set to 5 \u00b0C."
                                    << "5.0" << 500;
        QTest::newRow("letters are 0") << 0 << "abc" << "The value 0 \u00b0C is too low. The valid range is from 5 up to 50 \u00b0C.\n\n"
                                                        "\"Comfort temperature\" is set to 5 \u00b0C."
                                       << "5.0" << 500;
        QTest::newRow("german") << 1000 << "51,5" << "Der Wert 51.5 \u00b0C ist zu hoch. Der g\u00fcltige Bereich reicht von 5 bis 50 \u00b0C.\n\n"
                                                     "\"Komforttemperatur\" wird auf 50 \u00b0C gesetzt."
                                << "50.0" << 5000;
    }
    void rangeMessages()
    {
        QFETCH(int, language);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QFETCH(int, value);
        platform::setLanguageOffset(language);
        QLineEdit *box = f->window.textBoxWidget(3);
        auto t = f->params->AddTextBoxParameter("HeatSetpointComfort", f->window.stateOf(box), f->cp("SetPoints"), "SetPoints");
        QVERIFY(t->ConsiderPartOfCpOnly(7, 2).ok());
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        t->setRangeMin(5);
        t->setRangeMax(50);
        t->setTextBoxTitle(gLoadResString(1051));
        f->params->ReadFromLns();
        box->setText(entry);
        f->params->TextBox_Change_Event(f->window.stateOf(box));
        bool cancel = false;
        f->params->TextBox_Validate_Event(f->window.stateOf(box), cancel);
        platform::setLanguageOffset(0);
        QVERIFY(cancel);
        QCOMPARE(f->messages->shown.size(), 1);
        const platform::Message &m = f->messages->shown.first();
        QCOMPARE(m.text, message);
        QCOMPARE(m.title, f->window.captionText);
        QCOMPARE(m.icon, platform::MsgIcon::Exclamation);
        QCOMPARE(m.buttons, int(platform::MB_OK));
        QCOMPARE(box->text(), shown);
        QCOMPARE(box->cursorPosition(), shown.size());
        QCOMPARE(t->Value(), value);
        // Leaving the box after the validation does not validate again.
        f->params->TextBox_LostFocus_Event(f->window.stateOf(box));
        QCOMPARE(f->messages->shown.size(), 1);
    }

    void focusStaysAfterClamping()
    {
        QLineEdit *box = f->window.textBoxWidget(3);
        auto *other = f->window.textBoxWidget(4);
        auto t = f->params->AddTextBoxParameter("P", f->window.stateOf(box), f->cp("HeatXp"), "HeatXp");
        f->params->connectControlEvents(true);
        t->setSnvtType(SNVT_temp_p);
        t->setRangeMax(50);
        f->window.root.show();
        QApplication::setActiveWindow(&f->window.root);
        QVERIFY(QTest::qWaitForWindowActive(&f->window.root));
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->setText(QStringLiteral("70"));
        other->setFocus();
        QCOMPARE(f->messages->shown.size(), 1);
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(box->text(), QStringLiteral("50.00"));
    }

    void valueBeyondLimitIsShownBeyondIt()
    {
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        t->setTextBoxRangeMax(30);
        f->setDeviceBytes("HeatXp", bytesOf({11, 188})); // 3004
        f->params->ReadFromLns();
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("30.1"));
        QCOMPARE(textColor(t->TextBoxControl()), int(kColorRed));
        QVERIFY(t->ValueIsInvalid());
        QVERIFY(f->params->AnyParameterValueIsInvalid());
        t->setDontWriteToLns(true);
        QVERIFY(!t->ValueIsInvalid());
    }

    void valueLoadingKeepsThePrecision_data()
    {
        QTest::addColumn<bool>("suspended");
        QTest::addColumn<int>("value");
        // The shown "21.0" is the picture of 21.04: it never flows back into
        // the value, whether or not the window forwards the text's change.
        QTest::newRow("loading flag set") << true << 2104;
        QTest::newRow("change forwarded") << false << 2104;
    }
    void valueLoadingKeepsThePrecision()
    {
        QFETCH(bool, suspended);
        QFETCH(int, value);
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatXp"), "HeatXp");
        f->params->connectControlEvents(true);
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        f->setDeviceBytes("HeatXp", bytesOf({8, 56}));
        f->params->controlEvents()->setSuspended(suspended);
        f->params->ReadFromLns();
        f->params->controlEvents()->setSuspended(false);
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("21.0"));
        QCOMPARE(t->Value(), value);
    }

    void lockModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<QString>("text");
        QTest::newRow("unlocked") << int(LM_UNLOCKED) << true << false << "21.0";
        QTest::newRow("locked keeps the old text") << int(LM_LOCKED) << true << false << "19.0";
        QTest::newRow("disabled") << int(LM_DISABLED) << false << false << "21.0";
        QTest::newRow("disabled, no value") << int(LM_DISABLED_NO_VALUE) << false << false << "";
        QTest::newRow("grey") << int(LM_DISABLED_GREY) << false << true << "21.0";
        QTest::newRow("grey, no value") << int(LM_DISABLED_GREY_NO_VALUE) << false << true << "";
        QTest::newRow("grey text") << int(LM_DISABLED_GREY_TEXT) << false << true << "not used";
    }
    void lockModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, enabled);
        QFETCH(bool, grey);
        QFETCH(QString, text);
        QLineEdit *box = f->window.textBoxWidget(20);
        auto t = f->params->AddTextBoxParameter("P", f->window.stateOf(box), f->cp("HeatXp"), "HeatXp");
        f->params->connectControlEvents(true);
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        t->setTextWhenLocked(QStringLiteral("not used"));
        t->setValueCalc(19);
        t->setChanged(false);
        t->setLockMode(mode);
        t->setValueCalc(21);
        t->setChanged(false);
        t->setLockMode(mode);
        QCOMPARE(box->isEnabled(), enabled);
        QCOMPARE(background(f->window.stateOf(box)) == Background::ButtonFace, grey);
        QCOMPARE(box->text(), text);
        QVERIFY(!t->Changed());
        if (mode == LM_DISABLED_GREY_TEXT)
            QVERIFY(box->maxLength() >= 32767);
        // A hidden value is not judged by the colour of an empty box.
        if (mode == LM_DISABLED_NO_VALUE || mode == LM_DISABLED_GREY_NO_VALUE) {
            setTextColor(f->window.stateOf(box), kColorRed);
            QVERIFY(!t->ValueIsInvalid());
        }
    }

    void unavailableParameterIsLocked()
    {
        QLineEdit *box = f->window.textBoxWidget(20);
        box->setText(QStringLiteral("7"));
        auto t = f->params->AddTextBoxParameter("P", f->window.stateOf(box), nullptr, "Missing");
        QVERIFY(!t->Available());
        QCOMPARE(t->LockMode(), int(LM_DISABLED_GREY_NO_VALUE));
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->text(), QString());
    }

    void inputLimitsOnTheBox_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("keyMode");
        QTest::newRow("temp_p 0.1") << int(SNVT_temp_p) << int(RES_0_1) << 6 << int(KA_NumbersFloatNeg);
        QTest::newRow("time_min") << int(SNVT_time_min) << int(RES_1) << 5 << int(KA_Numbers);
        QTest::newRow("lev_cont 0.5") << int(SNVT_lev_cont) << int(RES_0_5) << 5 << int(KA_NumbersFloat);
    }
    void inputLimitsOnTheBox()
    {
        QFETCH(int, type);
        QFETCH(int, resolution);
        QFETCH(int, maxLength);
        QFETCH(int, keyMode);
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(type);
        t->setResolution(resolution);
        QCOMPARE(t->TextBoxControl()->maxLength(), maxLength);
        QCOMPARE(t->keyMode(), keyMode);
    }

    void limitNeverCutsAWiderValue()
    {
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        t->setValueCalc(327.6);
        t->setRangeMin(0);
        t->setRangeMax(9.5); // "9.5": three characters, the value needs five
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("327.6"));
        QCOMPARE(t->Value(), 32760);
    }

    void partOfCp_data()
    {
        QTest::addColumn<QString>("cp");
        QTest::addColumn<int>("bytePos");
        QTest::addColumn<int>("byteLength");
        QTest::addColumn<bool>("ok");
        QTest::newRow("12-byte CP, last two") << "SetPoints" << 11 << 2 << true;
        QTest::newRow("12-byte CP, one past") << "SetPoints" << 12 << 2 << false;
        QTest::newRow("12-byte CP, whole") << "SetPoints" << 1 << 12 << true;
        QTest::newRow("2-byte CP, both") << "HeatTi" << 1 << 2 << true;
        QTest::newRow("2-byte CP, one past") << "HeatTi" << 2 << 2 << false;
        QTest::newRow("position 0") << "HeatTi" << 0 << 1 << false;
        QTest::newRow("length 0") << "HeatTi" << 1 << 0 << false;
        QTest::newRow("negative position") << "HeatTi" << -1 << 2 << false;
    }
    void partOfCp()
    {
        QFETCH(QString, cp);
        QFETCH(int, bytePos);
        QFETCH(int, byteLength);
        QFETCH(bool, ok);
        auto t = f->params->AddTextBoxParameter("P", nullptr, f->cp(cp), cp);
        const ParamStatus st = t->ConsiderPartOfCpOnly(bytePos, byteLength);
        QCOMPARE(st.ok(), ok);
        QCOMPARE(t->bytePos(), ok ? bytePos : 0);
        if (!ok) {
            QCOMPARE(st.number, int(0x800403E8u));
            QCOMPARE(st.source, QStringLiteral("ConsiderPartOfCpOnly"));
            QCOMPARE(st.description, QStringLiteral("ung\u00fcltige Parameter"));
        }
    }

    void usedBytesFillsTheRestWithZero()
    {
        auto t = f->params->AddTextBoxParameter("P", nullptr, f->cp("HeatTi"), "HeatTi");
        t->setUsedBytes(1);
        f->params->ReadFromLns();
        QCOMPARE(t->Value(), 0); // first byte of {0, 30}
        t->setValue(7);
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({7, 0}));
        f->params->ReadFromLns();
        QCOMPARE(t->Value(), 7);
    }

    void offsetValue()
    {
        // Displayed = CP integer / Factor + OffsetCalc.
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatTi"), "HeatTi");
        t->setFactor(10);
        t->setResolution(RES_0_1);
        t->setRangeMin(10);
        t->setRangeMax(40);
        t->setOffsetCalc(20);
        f->setDeviceBytes("HeatTi", bytesOf({255, 226})); // -30, signed since 10 - 20 < 0
        f->params->ReadFromLns();
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("17.0"));
        t->setValueCalc(35);
        QVERIFY(f->params->WriteToLns());
        QCOMPARE(f->deviceBytes("HeatTi"), bytesOf({0, 150}));
    }

    void setValidTextBoxValue_data()
    {
        QTest::addColumn<bool>("withCalculated");
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("changed");
        QTest::newRow("silent clamp, value kept") << false << false << "50.0" << 6000 << false;
        QTest::newRow("forced: value follows") << false << true << "50.0" << 5000 << true;
        QTest::newRow("calculated value") << true << false << "45.0" << 4500 << true;
    }
    void setValidTextBoxValue()
    {
        QFETCH(bool, withCalculated);
        QFETCH(bool, force);
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(bool, changed);
        auto t = f->params->AddTextBoxParameter("P", f->window.textBox(20), f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        t->setRangeMin(0);
        t->setRangeMax(50);
        t->setValue(6000);
        t->setChanged(false);
        if (withCalculated)
            t->SetValidTextBoxValue(45.0, force);
        else
            t->SetValidTextBoxValue(std::nullopt, force);
        QVERIFY(f->messages->shown.isEmpty());
        QCOMPARE(t->TextBoxControl()->text(), text);
        QCOMPARE(t->Value(), value);
        QCOMPARE(t->Changed(), changed);
    }

    void valueCalcAndResolutionStep_data()
    {
        QTest::addColumn<double>("calc");
        QTest::addColumn<int>("value");
        QTest::newRow("21.005 tie to even") << 21.005 << 2100;
        QTest::newRow("21.015 tie to even") << 21.015 << 2102;
        QTest::newRow("-0.005 tie to even") << -0.005 << 0;
        QTest::newRow("0.7") << 0.7 << 70;
    }
    void valueCalcAndResolutionStep()
    {
        QFETCH(double, calc);
        QFETCH(int, value);
        auto t = f->params->AddTextBoxParameter("P", nullptr, f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(SNVT_temp_p);
        t->setValueCalc(calc);
        QCOMPARE(t->Value(), value);
        QVERIFY(t->Changed());
        t->setResolution2(0.5);
        QCOMPARE(t->Resolution(), int(RES_0_5));
        t->setResolution2(0.3);
        QCOMPARE(t->Resolution(), int(RES_0_5));
        QCOMPARE(t->Resolution2(), 0.5);
        QCOMPARE(t->MinStep(), 0.5);
    }

    void unitMnemonicOfItsOwn()
    {
        auto t = f->params->AddTextBoxParameter("P", nullptr, f->cp("HeatXp"), "HeatXp");
        t->setSnvtType(SNVT_temp_p);
        QCOMPARE(t->UnitMnemonic(), kDegC);
        t->setUnit(UNIT_Kelvin);
        QCOMPARE(t->UnitMnemonic(), QStringLiteral("K"));
        t->setUnitMnemonic(QStringLiteral("K/h"));
        QCOMPARE(t->Unit(), int(UNIT_UserDefined));
        QCOMPARE(t->Factor(), 100);
    }

    void externalPartIsAcceptedAtOnce()
    {
        auto w = f->params->AddConfigProp("W", f->cp("HeatTi"), "HeatTi");
        auto t = f->params->AddTextBoxParameterExtCp("P", nullptr, w);
        QVERIFY(t->ConsiderPartOfCpOnly(7, 2).ok());
        // ... and its field outside the wrapper is caught when it is used.
        f->params->ReadFromLns();
        QVERIFY(!t->valueKnown());
        QVERIFY(f->traced(QStringLiteral("does not fit")));
    }

private:
    std::unique_ptr<ParamsFixture> f;
};

QTEST_MAIN(TstParamsTextBox)
#include "tst_params_textbox.moc"
