// What the parameter model costs: a full read and a full write of the
// controller's 33 parameters (26 CPs) on a demo network of the simulated
// object server with no latency, counted in device transactions and in
// modelled time on the 78 kbit/s channel; and conversions per second between
// a text box's text, the parameter's value and the CP bytes.
#include "common/widgetbenchmain.h"
#include "cpmap.h"
#include "paramsfixture.h"

#include <params/rawfield.h>
#include <params/textvalue.h>

#include <benchmark/benchmark.h>

#include <QApplication>

namespace {

ParamsFixture &fixture()
{
    static ParamsFixture *f = [] {
        auto *p = new ParamsFixture();
        cpmap::build(*p->params);
        p->params->ReadFromLns();
        return p;
    }();
    return *f;
}

void report(benchmark::State &state, const lnssim::Counters &before, const lnssim::Counters &after)
{
    const double n = double(state.iterations());
    state.counters["device_reads"] = double(after.deviceReads - before.deviceReads) / n;
    state.counters["device_writes"] = double(after.deviceWrites - before.deviceWrites) / n;
    state.counters["channel_ms"] = double(after.channelMicros - before.channelMicros) / 1000.0 / n;
}

void BM_FullRead(benchmark::State &state)
{
    ParamsFixture &f = fixture();
    const lnssim::Counters before = f.counters();
    for (auto _ : state)
        f.params->ReadFromLns();
    report(state, before, f.counters());
    state.counters["parameters"] = double(f.params->AllParameters().size());
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond);

// A write after k changed parameters (the window's write set: every CP).
void BM_FullWrite(benchmark::State &state)
{
    ParamsFixture &f = fixture();
    const int k = int(state.range(0));
    auto setpoint = f.params->TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"));
    lnssim::Counters before = f.counters();
    double value = 20;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < k; ++i)
            f.params->TextBoxParameter(i + 1)->setValueCalc(f.params->TextBoxParameter(i + 1)->ValueCalc());
        setpoint->setValueCalc(value = value == 20 ? 21 : 20);
        state.ResumeTiming();
        if (!f.params->WriteToLns())
            state.SkipWithError("write failed");
    }
    report(state, before, f.counters());
}
BENCHMARK(BM_FullWrite)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// The same with CPs whose bytes the device already holds left out (the
// headless tool's write): one write per CP that changed.
void BM_WriteChangedCpsOnly(benchmark::State &state)
{
    ParamsFixture &f = fixture();
    f.params->cpIo().setSkipMatchingCps(true);
    auto comfort = f.params->TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"));
    auto economy = f.params->TextBoxParameterByName(QStringLiteral("CoolSetpointEconomy"));
    auto ti = f.params->TextBoxParameterByName(QStringLiteral("HeatTi"));
    lnssim::Counters before = f.counters();
    double value = 20;
    for (auto _ : state) {
        state.PauseTiming();
        value = value == 20 ? 21 : 20;
        comfort->setValueCalc(value);
        economy->setValueCalc(value + 5);
        ti->setValueCalc(value + 20);
        state.ResumeTiming();
        if (!f.params->WriteToLns())
            state.SkipWithError("write failed");
    }
    report(state, before, f.counters());
    f.params->cpIo().setSkipMatchingCps(false);
}
BENCHMARK(BM_WriteChangedCpsOnly)->Unit(benchmark::kMillisecond);

// Text -> value -> CP bytes -> value -> text for a setpoint (SNVT_temp_p at
// 0.1 degC, the field bytes 7-8 of the 12-byte SetPoints CP).
void BM_TextValueBytesRoundTrip(benchmark::State &state)
{
    params::TextValue v;
    v.setSnvtType(params::SNVT_temp_p);
    v.setResolution(params::RES_0_1);
    v.setRangeMin(params::Dec::fromDouble(5));
    v.setRangeMax(params::Dec::fromDouble(50));
    params::FieldPlace place{7, 2, 0, v.fieldSigned()};
    QByteArray cp(12, '\0');
    const QStringList entries{QStringLiteral("21.5"), QStringLiteral("22,25"), QStringLiteral("60"),
                              QStringLiteral("19.04")};
    int i = 0;
    for (auto _ : state) {
        const params::TextValue::Check c = v.roundingCheck(entries.at(i++ & 3));
        v.setValue(v.valueForNumber(v.numberOfTypedText(c.text)));
        cp = *params::writeField(cp, place, 12, v.fieldValue());
        v.setValue(v.valueForField(*params::readField(cp, place, 12)));
        benchmark::DoNotOptimize(v.displayText());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["conversions_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TextValueBytesRoundTrip);

// The same through the parameter and its QLineEdit: text set, change and
// validation events, the field writer into the CP bytes, the field reader
// and the text shown again.
void BM_TextBoxParameterRoundTrip(benchmark::State &state)
{
    ParamsFixture &f = fixture();
    auto p = f.params->TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"));
    QLineEdit *box = f.window.textBoxWidget(p->TextBoxControl()->index());
    const params::FieldPlace place = p->fieldPlace();
    QByteArray cp(12, '\0');
    const QStringList entries{QStringLiteral("21.5"), QStringLiteral("22,25"), QStringLiteral("19.04")};
    int i = 0;
    for (auto _ : state) {
        box->setText(entries.at(i++ % 3));
        p->TextBox_Change_Event();
        bool cancel = false;
        p->TextBox_Validate_Event(cancel);
        p->TextBox_LostFocus_Event();
        cp = *params::writeField(cp, place, 12, p->numbers().fieldValue());
        p->setValue(p->numbers().valueForField(*params::readField(cp, place, 12)));
        benchmark::DoNotOptimize(box->text());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["conversions_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TextBoxParameterRoundTrip);

} // namespace

int main(int argc, char **argv)
{
    qputenv("AEROLIS_UNATTENDED", "1");
    return benchsupport::runWidgetBenchmarks(argc, argv);
}
