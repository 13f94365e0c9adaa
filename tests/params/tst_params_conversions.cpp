// The value conversions of the parameter model, without controls or
// devices: decimal rounding, resolutions, value types, key filters, raw CP
// texts and the fields inside CP bytes.
#include <params/decimal.h>
#include <params/numberrules.h>
#include <params/rawfield.h>
#include <params/textvalue.h>

#include <QtTest>

using namespace params;

namespace {
QString rawOf(std::initializer_list<int> bytes)
{
    QByteArray b;
    for (int v : bytes)
        b.append(static_cast<char>(v));
    return rawText(b);
}

TextValue valueOfType(int snvt)
{
    TextValue v;
    v.setSnvtType(snvt);
    return v;
}
} // namespace

class TstParamsConversions : public QObject
{
    Q_OBJECT
private slots:
    // ---- decimals ----
    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<bool>("hasNumber");
        QTest::addColumn<bool>("wholeText");
        QTest::newRow("integer") << "28" << "28" << true << true;
        QTest::newRow("decimal") << "21.04" << "21.04" << true << true;
        QTest::newRow("letters after") << "13abc" << "13" << true << false;
        QTest::newRow("letters only") << "abc" << "0" << false << false;
        QTest::newRow("empty") << "" << "0" << false << false;
        QTest::newRow("blanks and sign") << "  -1.5x" << "-1.5" << true << false;
        QTest::newRow("plus sign") << "+7" << "7" << true << true;
        QTest::newRow("two points") << "1.2.3" << "1.2" << true << false;
        QTest::newRow("point first") << ".5" << "0.5" << true << true;
        QTest::newRow("sign alone") << "-" << "0" << false << false;
        QTest::newRow("trailing zeros") << "50.000" << "50" << true << true;
        QTest::newRow("negative zero") << "-0.0" << "0" << true << true;
        QTest::newRow("huge saturates") << "99999999999999999999" << "1000000000000000" << true << true;
        QTest::newRow("sticky beyond 12 decimals") << "0.1500000000001" << "0.1500000000001" << true << true;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(QString, plain);
        QFETCH(bool, hasNumber);
        QFETCH(bool, wholeText);
        Dec::ParseInfo info;
        const Dec d = Dec::parseLeading(text, &info);
        QCOMPARE(d.toPlain(), plain);
        QCOMPARE(info.hasNumber, hasNumber);
        QCOMPARE(info.wholeText, wholeText);
    }

    void singleToDecimal_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("plain");
        QTest::newRow("327.67") << 327.67f << "327.67";
        QTest::newRow("-273.17") << -273.17f << "-273.17";
        QTest::newRow("0.7 (below in binary)") << 0.7f << "0.7";
        QTest::newRow("65.535") << 65.535f << "65.535";
        QTest::newRow("6553.5") << 6553.5f << "6553.5";
        QTest::newRow("-163.84") << -163.84f << "-163.84";
        QTest::newRow("0.001") << 0.001f << "0.001";
        QTest::newRow("65535") << 65535.0f << "65535";
        QTest::newRow("1e7") << 1e7f << "10000000";
        QTest::newRow("zero") << 0.0f << "0";
    }
    void singleToDecimal()
    {
        QFETCH(float, value);
        QFETCH(QString, plain);
        QCOMPARE(Dec::fromFloat(value).toPlain(), plain);
    }

    void fixedFormat_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("half away up") << "20.5" << 0 << "21";
        QTest::newRow("half away down") << "-20.5" << 0 << "-21";
        QTest::newRow("pads zeros") << "21" << 2 << "21.00";
        QTest::newRow("small negative is not -0.0") << "-0.04" << 1 << "0.0";
        QTest::newRow("leading zero") << "0.5" << 1 << "0.5";
        QTest::newRow("rounds up to next unit") << "9.96" << 1 << "10.0";
        QTest::newRow("three decimals") << "-0.0005" << 3 << "-0.001";
    }
    void fixedFormat()
    {
        QFETCH(QString, number);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        QCOMPARE(Dec::parseLeading(number).toFixed(decimals), text);
    }

    // ---- resolutions: rounding rule and format, ties to even ----
    void resolutionRounding_data()
    {
        QTest::addColumn<int>("resolution");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::newRow("50: below half") << int(RES_50) << "74" << "50";
        QTest::newRow("50: tie 1.5 to 2") << int(RES_50) << "75" << "100";
        QTest::newRow("50: tie 2.5 to 2") << int(RES_50) << "125" << "100";
        QTest::newRow("50: negative tie") << int(RES_50) << "-75" << "-100";
        QTest::newRow("1: format rounds half away") << int(RES_1) << "20.5" << "21";
        QTest::newRow("1: 21.5") << int(RES_1) << "21.5" << "22";
        QTest::newRow("1: below half") << int(RES_1) << "0.4" << "0";
        QTest::newRow("0.5: 20.25 to even 20") << int(RES_0_5) << "20.25" << "20.0";
        QTest::newRow("0.5: 20.75 to even 21") << int(RES_0_5) << "20.75" << "21.0";
        QTest::newRow("0.5: just above tie") << int(RES_0_5) << "20.26" << "20.5";
        QTest::newRow("0.5: negative tie") << int(RES_0_5) << "-20.25" << "-20.0";
        QTest::newRow("0.5: comma entry") << int(RES_0_5) << "20,75" << "21.0";
        QTest::newRow("0.2: tie down") << int(RES_0_2) << "20.1" << "20.0";
        QTest::newRow("0.2: tie up") << int(RES_0_2) << "20.3" << "20.4";
        QTest::newRow("0.2: 20.5") << int(RES_0_2) << "20.5" << "20.4";
        QTest::newRow("0.1: 0.15 to 0.2") << int(RES_0_1) << "0.15" << "0.2";
        QTest::newRow("0.1: 0.25 to 0.2") << int(RES_0_1) << "0.25" << "0.2";
        QTest::newRow("0.1: 0.35 to 0.4") << int(RES_0_1) << "0.35" << "0.4";
        QTest::newRow("0.1: 21.004") << int(RES_0_1) << "21.004" << "21.0";
        QTest::newRow("0.1: -0.05 to zero") << int(RES_0_1) << "-0.05" << "0.0";
        QTest::newRow("0.1: comma") << int(RES_0_1) << "21,46" << "21.5";
        QTest::newRow("0.05: tie to 0") << int(RES_0_0_5) << "0.025" << "0.00";
        QTest::newRow("0.05: tie to 0.1") << int(RES_0_0_5) << "0.075" << "0.10";
        QTest::newRow("0.05: range end") << int(RES_0_0_5) << "163.835" << "163.85";
        QTest::newRow("0.02: tie down") << int(RES_0_0_2) << "0.01" << "0.00";
        QTest::newRow("0.02: tie up") << int(RES_0_0_2) << "0.03" << "0.04";
        QTest::newRow("0.01: 21.005 to even") << int(RES_0_0_1) << "21.005" << "21.00";
        QTest::newRow("0.01: 21.015 to even") << int(RES_0_0_1) << "21.015" << "21.02";
        QTest::newRow("0.01: negative tie") << int(RES_0_0_1) << "-273.175" << "-273.18";
        QTest::newRow("0.01: 21.004") << int(RES_0_0_1) << "21.004" << "21.00";
        QTest::newRow("0.005: tie to 0") << int(RES_0_0_0_5) << "0.0025" << "0.000";
        QTest::newRow("0.005: tie up") << int(RES_0_0_0_5) << "0.0075" << "0.010";
        QTest::newRow("0.002: tie down") << int(RES_0_0_0_2) << "0.001" << "0.000";
        QTest::newRow("0.002: tie up") << int(RES_0_0_0_2) << "0.003" << "0.004";
        QTest::newRow("0.001: tie to even") << int(RES_0_0_0_1) << "65.5355" << "65.536";
        QTest::newRow("0.001: tie down") << int(RES_0_0_0_1) << "1.0005" << "1.000";
    }
    void resolutionRounding()
    {
        QFETCH(int, resolution);
        QFETCH(QString, entry);
        QFETCH(QString, text);
        const Dec y = Dec::parseLeading(normaliseNumberText(entry));
        QCOMPARE(formatForResolution(roundToResolution(y, resolution), resolution), text);
    }

    void resolutionSteps_data()
    {
        QTest::addColumn<int>("resolution");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("RES_50") << int(RES_50) << 50.0 << 0;
        QTest::newRow("RES_1") << int(RES_1) << 1.0 << 0;
        QTest::newRow("RES_0_5") << int(RES_0_5) << 0.5 << 1;
        QTest::newRow("RES_0_2") << int(RES_0_2) << 0.2 << 1;
        QTest::newRow("RES_0_1") << int(RES_0_1) << 0.1 << 1;
        QTest::newRow("RES_0_0_5") << int(RES_0_0_5) << 0.05 << 2;
        QTest::newRow("RES_0_0_2") << int(RES_0_0_2) << 0.02 << 2;
        QTest::newRow("RES_0_0_1") << int(RES_0_0_1) << 0.01 << 2;
        QTest::newRow("RES_0_0_0_5") << int(RES_0_0_0_5) << 0.005 << 3;
        QTest::newRow("RES_0_0_0_2") << int(RES_0_0_0_2) << 0.002 << 3;
        QTest::newRow("RES_0_0_0_1") << int(RES_0_0_0_1) << 0.001 << 3;
    }
    void resolutionSteps()
    {
        QFETCH(int, resolution);
        QFETCH(double, step);
        QFETCH(int, decimals);
        const ResolutionInfo info = resolutionInfo(resolution);
        QVERIFY(info.known);
        QCOMPARE(info.step.toDouble(), step);
        QCOMPARE(info.decimals, decimals);
        QCOMPARE(resolutionForStep(Dec::fromDouble(step)), resolution);
    }
    void resolutionOutsideTable()
    {
        QVERIFY(!resolutionInfo(11).known);
        QVERIFY(!resolutionInfo(-1).known);
        QCOMPARE(resolutionForStep(Dec::fromDouble(0.3)), -1);
        // Outside the table nothing is rounded.
        QCOMPARE(roundToResolution(Dec::parseLeading("1.23456"), 11).toPlain(), QStringLiteral("1.23456"));
    }

    // ---- value types ----
    void presets_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<QString>("rangeMin");
        QTest::addColumn<QString>("rangeMax");
        QTest::addColumn<QString>("mnemonic");
        QTest::newRow("unsigned") << int(SNVT_unsigned) << 1 << int(RES_1) << "0" << "65535" << "";
        QTest::newRow("angle_deg") << int(SNVT_angle_deg) << 50 << int(RES_0_0_2) << "-359.9" << "360" << "\u00b0";
        QTest::newRow("lev_cont") << int(SNVT_lev_cont) << 2 << int(RES_0_5) << "0" << "100" << "%";
        QTest::newRow("lev_percent") << int(SNVT_lev_percent) << 200 << int(RES_0_0_5) << "-163.84" << "163.83" << "%";
        QTest::newRow("lux") << int(SNVT_lux) << 1 << int(RES_1) << "0" << "65535" << "Lux";
        QTest::newRow("speed") << int(SNVT_speed) << 10 << int(RES_0_1) << "0" << "6553.5" << "m/s";
        QTest::newRow("speed_mil") << int(SNVT_speed_mil) << 1000 << int(RES_0_0_0_1) << "0" << "65.535" << "m/s";
        QTest::newRow("switch_Value") << int(SNVT_switch_Value) << 2 << int(RES_0_5) << "0" << "100" << "%";
        QTest::newRow("temp_p") << int(SNVT_temp_p) << 100 << int(RES_0_0_1) << "-273.17" << "327.67" << "\u00b0C";
        QTest::newRow("time_min") << int(SNVT_time_min) << 1 << int(RES_1) << "0" << "65535" << "min";
        QTest::newRow("time_sec") << int(SNVT_time_sec) << 10 << int(RES_0_1) << "0" << "6553.5" << "s";
    }
    void presets()
    {
        QFETCH(int, type);
        QFETCH(int, factor);
        QFETCH(int, resolution);
        QFETCH(QString, rangeMin);
        QFETCH(QString, rangeMax);
        QFETCH(QString, mnemonic);
        const TextValue v = valueOfType(type);
        QCOMPARE(v.factor(), factor);
        QCOMPARE(v.resolution(), resolution);
        QCOMPARE(v.rangeMin().toPlain(), rangeMin);
        QCOMPARE(v.rangeMax().toPlain(), rangeMax);
        QCOMPARE(v.textBoxRangeMin().toPlain(), rangeMin);
        QCOMPARE(v.textBoxRangeMax().toPlain(), rangeMax);
        QCOMPARE(v.unitMnemonic(), mnemonic);
    }
    void typesWithoutPreset()
    {
        TextValue v = valueOfType(SNVT_temp_p);
        v.setSnvtType(SNVT_Signed);
        QCOMPARE(v.snvtType(), int(SNVT_Signed));
        QCOMPARE(v.factor(), 100); // kept from before: "Signed" sets nothing
        v.setSnvtType(SNVT_press);
        QCOMPARE(v.resolution(), int(RES_0_0_1));
    }

    void unitMnemonics_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("mnemonic");
        QTest::newRow("cm") << int(UNIT_Centimetres) << "cm";
        QTest::newRow("degrees") << int(UNIT_Degrees) << "\u00b0";
        QTest::newRow("celsius") << int(UNIT_DegreesCelsius) << "\u00b0C";
        QTest::newRow("kelvin") << int(UNIT_Kelvin) << "K";
        QTest::newRow("lux") << int(UNIT_Lux) << "Lux";
        QTest::newRow("m") << int(UNIT_Metres) << "m";
        QTest::newRow("m/s") << int(UNIT_MetresPerSecond) << "m/s";
        QTest::newRow("mm") << int(UNIT_Millimetres) << "mm";
        QTest::newRow("ms") << int(UNIT_Millisecond) << "ms";
        QTest::newRow("min") << int(UNIT_Minute) << "min";
        QTest::newRow("percent") << int(UNIT_Percent) << "%";
        QTest::newRow("s") << int(UNIT_Second) << "s";
        QTest::newRow("ampere has none") << int(UNIT_Ampere) << "";
        QTest::newRow("watts has none") << int(UNIT_Watts) << "";
    }
    void unitMnemonics()
    {
        QFETCH(int, unit);
        QFETCH(QString, mnemonic);
        TextValue v;
        v.setUnitMnemonic(QStringLiteral("xx"));
        v.setUnit(unit);
        QCOMPARE(v.unitMnemonic(), mnemonic);
        QCOMPARE(v.unit(), unit);
    }
    void userDefinedUnitKeepsMnemonic()
    {
        TextValue v;
        v.setUnit(UNIT_Kelvin);
        v.setUnitMnemonic(QStringLiteral("K/h"));
        QCOMPARE(v.unit(), int(UNIT_UserDefined));
        v.setUnit(UNIT_UserDefined);
        QCOMPARE(v.unitMnemonic(), QStringLiteral("K/h"));
    }

    // ---- the chain: CP bytes -> value -> text, and typed text -> CP bytes ----
    void cpToTextAndBack_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("resolution"); // -1: the type's own
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("temp_p 21.00") << int(SNVT_temp_p) << -1 << rawOf({8, 52}) << "21.00" << "22.5" << rawOf({8, 202});
        QTest::newRow("temp_p 0xFFFF is -0.01") << int(SNVT_temp_p) << -1 << rawOf({255, 255}) << "-0.01" << "-5"
                                                << rawOf({254, 12});
        QTest::newRow("temp_p shown at 0.1") << int(SNVT_temp_p) << int(RES_0_1) << rawOf({8, 56}) << "21.0" << "21,04"
                                             << rawOf({8, 56});
        QTest::newRow("temp_p range end") << int(SNVT_temp_p) << -1 << rawOf({127, 255}) << "327.67" << "-273.17"
                                          << rawOf({149, 75});
        QTest::newRow("unsigned 0xFFFF is 65535") << int(SNVT_unsigned) << -1 << rawOf({255, 255}) << "65535" << "1"
                                                  << rawOf({0, 1});
        QTest::newRow("time_sec") << int(SNVT_time_sec) << -1 << rawOf({0, 100}) << "10.0" << "600.5" << rawOf({23, 117});
        QTest::newRow("time_sec shown in seconds") << int(SNVT_time_sec) << int(RES_1) << rawOf({2, 88}) << "60"
                                                   << "61" << rawOf({2, 98});
        QTest::newRow("time_min") << int(SNVT_time_min) << -1 << rawOf({0, 30}) << "30" << "65534" << rawOf({255, 254});
        QTest::newRow("lev_cont one byte") << int(SNVT_lev_cont) << -1 << rawOf({200}) << "100.0" << "50.5" << rawOf({101});
        QTest::newRow("lev_percent minimum") << int(SNVT_lev_percent) << -1 << rawOf({128, 0}) << "-163.84" << "100"
                                             << rawOf({78, 32});
        QTest::newRow("angle_deg") << int(SNVT_angle_deg) << -1 << rawOf({70, 80}) << "360.00" << "-0.02"
                                   << rawOf({255, 255});
        QTest::newRow("speed_mil") << int(SNVT_speed_mil) << -1 << rawOf({255, 255}) << "65.535" << "0.001" << rawOf({0, 1});
        QTest::newRow("switch_Value") << int(SNVT_switch_Value) << -1 << rawOf({101}) << "50.5" << "100" << rawOf({200});
        QTest::newRow("lux") << int(SNVT_lux) << -1 << rawOf({1, 0}) << "256" << "257" << rawOf({1, 1});
        QTest::newRow("speed") << int(SNVT_speed) << -1 << rawOf({0, 15}) << "1.5" << "6553.5" << rawOf({255, 255});
    }
    void cpToTextAndBack()
    {
        QFETCH(int, type);
        QFETCH(int, resolution);
        QFETCH(QString, raw);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        TextValue v = valueOfType(type);
        if (resolution >= 0)
            v.setResolution(resolution);
        const auto bytes = parseRawText(raw, -1);
        QVERIFY(bytes);
        FieldPlace place;
        place.isSigned = v.fieldSigned();
        const auto r = readField(*bytes, place, bytes->size());
        QVERIFY(r);
        v.setValue(v.valueForField(*r));
        QCOMPARE(v.displayText(), shown);

        v.setValue(v.valueForNumber(v.numberOfTypedText(typed)));
        const auto out = writeField(QByteArray(bytes->size(), '\0'), place, bytes->size(), v.fieldValue());
        QVERIFY(out);
        QCOMPARE(rawText(*out), written);
    }

    void valueRoundsTiesToEven_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("value");
        QTest::newRow("0.125 x 100 down to 12") << "0.125" << 100 << 12;
        QTest::newRow("0.135 x 100 up to 14") << "0.135" << 100 << 14;
        QTest::newRow("negative tie") << "-0.125" << 100 << -12;
        QTest::newRow("0.25 x 2 exact") << "0.25" << 2 << 0;
        QTest::newRow("0.75 x 2 to even 2") << "0.75" << 2 << 2;
        QTest::newRow("20.05 x 10 tie") << "20.05" << 10 << 200;
        QTest::newRow("21.004 x 100") << "21.004" << 100 << 2100;
        QTest::newRow("past 32 bits saturates") << "99999999999" << 100 << 2147483647;
    }
    void valueRoundsTiesToEven()
    {
        QFETCH(QString, typed);
        QFETCH(int, factor);
        QFETCH(int, value);
        TextValue v;
        v.setFactor(factor);
        QCOMPARE(v.valueForNumber(Dec::parseLeading(typed)), value);
    }

    void signednessAndOffset_data()
    {
        QTest::addColumn<double>("rangeMin");
        QTest::addColumn<double>("offset");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("shown");
        // Factor 10, RES_0_1.
        QTest::newRow("min 0, no offset: unsigned") << 0.0 << 0.0 << false << rawOf({255, 255}) << "6553.5";
        QTest::newRow("negative min: signed") << -10.0 << 0.0 << true << rawOf({255, 255}) << "-0.1";
        QTest::newRow("min above 0 but below offset: signed") << 10.0 << 20.0 << true << rawOf({255, 226}) << "17.0";
        QTest::newRow("negative min above offset: unsigned") << -5.0 << -10.0 << false << rawOf({0, 50}) << "-5.0";
        QTest::newRow("min equal to offset: unsigned") << 20.0 << 20.0 << false << rawOf({0, 0}) << "20.0";
    }
    void signednessAndOffset()
    {
        QFETCH(double, rangeMin);
        QFETCH(double, offset);
        QFETCH(bool, isSigned);
        QFETCH(QString, raw);
        QFETCH(QString, shown);
        TextValue v;
        v.setFactor(10);
        v.setResolution(RES_0_1);
        v.setRangeMin(Dec::fromDouble(rangeMin));
        v.setRangeMax(Dec::fromDouble(100));
        v.setOffset(Dec::fromDouble(offset));
        QCOMPARE(v.fieldSigned(), isSigned);
        FieldPlace place;
        place.isSigned = v.fieldSigned();
        const auto r = readField(*parseRawText(raw, 2), place, 2);
        QVERIFY(r);
        v.setValue(v.valueForField(*r));
        QCOMPARE(v.displayText(), shown);
        // Back to the same CP integer.
        QCOMPARE(v.fieldValue(), *r);
    }

    void limitNeverLooksLikeLimit_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("red");
        // RES_0_1, Factor 100, text box 10 .. 30.
        QTest::newRow("30.04 above max shows 30.1") << 3004 << "30.1" << true;
        QTest::newRow("30.00 is the max") << 3000 << "30.0" << false;
        QTest::newRow("30.06 rounds past the max") << 3006 << "30.1" << true;
        QTest::newRow("9.96 below min shows 9.9") << 996 << "9.9" << true;
        QTest::newRow("9.94 formats below min") << 994 << "9.9" << true;
        QTest::newRow("in range") << 2104 << "21.0" << false;
    }
    void limitNeverLooksLikeLimit()
    {
        QFETCH(int, value);
        QFETCH(QString, text);
        QFETCH(bool, red);
        TextValue v;
        v.setFactor(100);
        v.setResolution(RES_0_1);
        v.setRangeMin(Dec::fromDouble(0));
        v.setRangeMax(Dec::fromDouble(50));
        v.setTextBoxRangeMin(Dec::fromDouble(10));
        v.setTextBoxRangeMax(Dec::fromDouble(30));
        v.setValue(value);
        QCOMPARE(v.displayText(), text);
        QCOMPARE(v.displayOutOfTextBoxRange(), red);
    }

    void roundingCheck_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("clamp");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("entered");
        // SNVT_temp_p at RES_0_1, text box 5 .. 50.
        QTest::newRow("in range, rounded") << "21.04" << 0 << "21.0" << "21.04";
        QTest::newRow("above the maximum") << "60" << 1 << "50.0" << "60";
        QTest::newRow("just above the maximum") << "50.04" << 1 << "50.0" << "50.04";
        QTest::newRow("the maximum itself") << "50" << 0 << "50.0" << "50";
        QTest::newRow("below the minimum") << "4.9" << -1 << "5.0" << "4.9";
        QTest::newRow("letters give 0, below min") << "abc" << -1 << "5.0" << "0";
        QTest::newRow("leading number of letters") << "22abc" << 0 << "22.0" << "22";
        QTest::newRow("two separators") << "21.5.5" << 0 << "21.5" << "21.5";
        QTest::newRow("both separators") << "21,5.5" << 0 << "21.5" << "21.5";
        QTest::newRow("comma") << "21,55" << 0 << "21.6" << "21.55";
        QTest::newRow("negative below min") << "-3" << -1 << "5.0" << "-3";
    }
    void roundingCheck()
    {
        QFETCH(QString, entry);
        QFETCH(int, clamp);
        QFETCH(QString, text);
        QFETCH(QString, entered);
        TextValue v = valueOfType(SNVT_temp_p);
        v.setResolution(RES_0_1);
        v.setRangeMin(Dec::fromDouble(5));
        v.setRangeMax(Dec::fromDouble(50));
        const TextValue::Check c = v.roundingCheck(entry);
        QCOMPARE(c.clamp, clamp);
        QCOMPARE(c.text, text);
        QCOMPARE(c.entered.toPlain(), entered);
    }

    void roundingCheckIntegerParsesDirectly()
    {
        // Integer resolutions read the text without normalisation: "21,5"
        // is 21; the others read the comma as the decimal separator.
        TextValue v = valueOfType(SNVT_time_min);
        QCOMPARE(v.roundingCheck(QStringLiteral("21,5")).text, QStringLiteral("21"));
        QCOMPARE(v.roundingCheck(QStringLiteral("21.5")).text, QStringLiteral("22"));
    }

    void inputLimits_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<int>("keyMode");
        QTest::newRow("temp_p at 0.1") << int(SNVT_temp_p) << int(RES_0_1) << 6 << int(KA_NumbersFloatNeg);
        QTest::newRow("temp_p at 0.01") << int(SNVT_temp_p) << int(RES_0_0_1) << 7 << int(KA_NumbersFloatNeg);
        QTest::newRow("time_min") << int(SNVT_time_min) << int(RES_1) << 5 << int(KA_Numbers);
        QTest::newRow("time_sec at 0.1") << int(SNVT_time_sec) << int(RES_0_1) << 6 << int(KA_NumbersFloat);
        QTest::newRow("lev_percent") << int(SNVT_lev_percent) << int(RES_0_0_5) << 7 << int(KA_NumbersFloatNeg);
        QTest::newRow("RES_50 negative") << int(SNVT_angle_deg) << int(RES_50) << 4 << int(KA_NumbersNeg);
    }
    void inputLimits()
    {
        QFETCH(int, type);
        QFETCH(int, resolution);
        QFETCH(int, maxLength);
        QFETCH(int, keyMode);
        TextValue v = valueOfType(type);
        v.setResolution(resolution);
        QCOMPARE(v.maxLength(), maxLength);
        QCOMPARE(v.keyMode(), keyMode);
    }

    // ---- key filters ----
    void keyFilters_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        for (int mode = KA_Numbers; mode <= KA_NumbersFloatNeg; ++mode) {
            const QByteArray m = QByteArray::number(mode);
            const bool minus = mode == KA_NumbersNeg || mode == KA_NumbersFloatNeg;
            const bool point = mode == KA_NumbersFloat || mode == KA_NumbersFloatNeg;
            QTest::newRow(m + " digit 0") << mode << int('0') << int('0');
            QTest::newRow(m + " digit 9") << mode << int('9') << int('9');
            QTest::newRow(m + " backspace") << mode << 8 << 8;
            QTest::newRow(m + " letter") << mode << int('a') << 0;
            QTest::newRow(m + " blank") << mode << int(' ') << 0;
            QTest::newRow(m + " plus") << mode << int('+') << 0;
            QTest::newRow(m + " exponent") << mode << int('e') << 0;
            QTest::newRow(m + " minus") << mode << int('-') << (minus ? int('-') : 0);
            QTest::newRow(m + " point") << mode << int('.') << (point ? int('.') : 0);
            QTest::newRow(m + " comma becomes point") << mode << int(',') << (point ? int('.') : 0);
        }
        QTest::newRow("all passes letters") << int(KA_All) << int('x') << int('x');
        QTest::newRow("user defined passes") << int(KA_UserDef) << int('#') << int('#');
    }
    void keyFilters()
    {
        QFETCH(int, mode);
        QFETCH(int, key);
        QFETCH(int, result);
        QCOMPARE(filterKey(mode, key), result);
    }

    void entryProblems_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("problem");
        QTest::newRow("plain") << "21.5" << false;
        QTest::newRow("comma") << "21,5" << false;
        QTest::newRow("negative") << "-3" << false;
        QTest::newRow("letters") << "2x" << true;
        QTest::newRow("two points") << "1.2.3" << true;
        QTest::newRow("both separators") << "1,2.3" << true;
        QTest::newRow("minus inside") << "1-2" << true;
        QTest::newRow("sign alone") << "-" << true;
    }
    void entryProblems()
    {
        QFETCH(QString, entry);
        QFETCH(bool, problem);
        QCOMPARE(!entryProblem(entry).isEmpty(), problem);
    }

    // ---- raw texts ----
    void rawParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("ok");
        QTest::newRow("three bytes") << "12\t0\t255" << 3 << true;
        QTest::newRow("leading zeros") << "001\t0\t9" << 3 << true;
        QTest::newRow("too few") << "12\t0" << 3 << false;
        QTest::newRow("too many") << "12\t0\t1\t2" << 3 << false;
        QTest::newRow("256") << "12\t0\t256" << 3 << false;
        QTest::newRow("negative") << "-1\t0\t0" << 3 << false;
        QTest::newRow("plus sign") << "+1\t0\t0" << 3 << false;
        QTest::newRow("blank in piece") << "12 \t0\t1" << 3 << false;
        QTest::newRow("blank separated") << "12 0 1" << 3 << false;
        QTest::newRow("empty piece") << "1\t\t2" << 3 << false;
        QTest::newRow("trailing tab") << "1\t2\t" << 3 << false;
        QTest::newRow("letters") << "a\tb\tc" << 3 << false;
        QTest::newRow("four digits") << "0012\t0\t0" << 3 << false;
        QTest::newRow("decimal") << "1.0\t0\t0" << 3 << false;
        QTest::newRow("empty text") << "" << 1 << false;
    }
    void rawParse()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(bool, ok);
        QString why;
        const auto bytes = parseRawText(text, expected, &why);
        QCOMPARE(bool(bytes), ok);
        QCOMPARE(why.isEmpty(), ok);
    }
    void rawRoundTrip()
    {
        const auto bytes = parseRawText(QStringLiteral("12\t0\t255"), 3);
        QVERIFY(bytes);
        QCOMPARE(*bytes, QByteArray("\x0c\x00\xff", 3));
        QCOMPARE(rawText(*bytes), QStringLiteral("12\t0\t255"));
    }

    // ---- integers in bytes ----
    void encode_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<QString>("raw"); // empty: refused
        QTest::newRow("300 in 2") << qint64(300) << 2 << false << rawOf({1, 44});
        QTest::newRow("-1 signed 2") << qint64(-1) << 2 << true << rawOf({255, 255});
        QTest::newRow("-1 unsigned refused") << qint64(-1) << 2 << false << "";
        QTest::newRow("65535 unsigned") << qint64(65535) << 2 << false << rawOf({255, 255});
        QTest::newRow("65536 refused") << qint64(65536) << 2 << false << "";
        QTest::newRow("32767 signed") << qint64(32767) << 2 << true << rawOf({127, 255});
        QTest::newRow("32768 signed refused") << qint64(32768) << 2 << true << "";
        QTest::newRow("-32768 signed") << qint64(-32768) << 2 << true << rawOf({128, 0});
        QTest::newRow("-32769 signed refused") << qint64(-32769) << 2 << true << "";
        QTest::newRow("-128 signed 1") << qint64(-128) << 1 << true << rawOf({128});
        QTest::newRow("-129 signed 1 refused") << qint64(-129) << 1 << true << "";
        QTest::newRow("255 unsigned 1") << qint64(255) << 1 << false << rawOf({255});
        QTest::newRow("256 unsigned 1 refused") << qint64(256) << 1 << false << "";
        QTest::newRow("4 bytes") << qint64(16909060) << 4 << false << rawOf({1, 2, 3, 4});
    }
    void encode()
    {
        QFETCH(qint64, value);
        QFETCH(int, bytes);
        QFETCH(bool, isSigned);
        QFETCH(QString, raw);
        QString why;
        const auto out = encodeInteger(value, bytes, isSigned, &why);
        if (raw.isEmpty()) {
            QVERIFY(!out);
            QVERIFY(!why.isEmpty());
            return;
        }
        QVERIFY(out);
        QCOMPARE(rawText(*out), raw);
        QCOMPARE(decodeInteger(*out, isSigned), value);
    }

    void fields_data()
    {
        QTest::addColumn<QString>("cp");
        QTest::addColumn<int>("bytePos");
        QTest::addColumn<int>("byteLength");
        QTest::addColumn<int>("usedBytes");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("after"); // empty: refused
        QTest::newRow("bytes 3-4 of 4") << rawOf({1, 2, 3, 4}) << 3 << 2 << 0 << false << qint64(0x0506)
                                        << rawOf({1, 2, 5, 6});
        QTest::newRow("byte 1, signed -1") << rawOf({1, 200}) << 1 << 1 << 0 << true << qint64(-1) << rawOf({255, 200});
        QTest::newRow("byte 2 keeps byte 1") << rawOf({1, 200}) << 2 << 1 << 0 << false << qint64(7) << rawOf({1, 7});
        QTest::newRow("whole CP") << rawOf({9, 9}) << 0 << 0 << 0 << false << qint64(300) << rawOf({1, 44});
        QTest::newRow("used bytes 1 of 2") << rawOf({9, 9}) << 0 << 0 << 1 << false << qint64(7) << rawOf({7, 0});
        QTest::newRow("setpoint 7-8 of 12") << rawOf({8, 252, 9, 196, 10, 240, 8, 52, 7, 108, 6, 64}) << 7 << 2 << 0
                                            << true << qint64(2250)
                                            << rawOf({8, 252, 9, 196, 10, 240, 8, 202, 7, 108, 6, 64});
        QTest::newRow("past the end refused") << rawOf({1, 2, 3, 4}) << 4 << 2 << 0 << false << qint64(1) << "";
        QTest::newRow("value too big refused") << rawOf({1, 2}) << 2 << 1 << 0 << false << qint64(256) << "";
    }
    void fields()
    {
        QFETCH(QString, cp);
        QFETCH(int, bytePos);
        QFETCH(int, byteLength);
        QFETCH(int, usedBytes);
        QFETCH(bool, isSigned);
        QFETCH(qint64, value);
        QFETCH(QString, after);
        const QByteArray bytes = *parseRawText(cp, -1);
        FieldPlace place{bytePos, byteLength, usedBytes, isSigned};
        const int elementLength = bytes.size();
        const auto out = writeField(bytes, place, elementLength, value);
        if (after.isEmpty()) {
            QVERIFY(!out);
            return;
        }
        QVERIFY(out);
        QCOMPARE(rawText(*out), after);
        QCOMPARE(*readField(*out, place, elementLength), value);
    }

    void ascii_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("back");
        QTest::newRow("filled with 0") << "AB" << 4 << rawOf({65, 66, 0, 0}) << "AB";
        QTest::newRow("cut at length") << "ABCDE" << 3 << rawOf({65, 66, 67}) << "ABC";
        QTest::newRow("latin-1") << "\u00e4" << 2 << rawOf({228, 0}) << "\u00e4";
        QTest::newRow("outside latin-1") << "\u20ac" << 1 << rawOf({63}) << "?";
        QTest::newRow("empty") << "" << 2 << rawOf({0, 0}) << "";
    }
    void ascii()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QString, raw);
        QFETCH(QString, back);
        const QByteArray b = asciiToBytes(text, length);
        QCOMPARE(rawText(b), raw);
        QCOMPARE(asciiFromBytes(b), back);
    }
};

QTEST_APPLESS_MAIN(TstParamsConversions)
#include "tst_params_conversions.moc"
