// The controlling page on the page model alone, without a window: its two
// lists filled as the main window fills them, and the three indicators
// blinking through IndicatorBlinker (their colour kept on the shape's
// state). The monitoring logic under test with no widget at all.
#pragma once

#include <model/pagemodel.h>
#include <monitoring/indicators.h>
#include <monitoring/monitoring.h>
#include <params/controlutil.h>
#include <platform/resstrings.h>

#include <QColor>
#include <QObject>

#include <array>

class StandalonePage : public QObject, public monitoring::MonitoringWindow
{
public:
    StandalonePage()
    {
        setObjectName(QStringLiteral("frmMonitoringPage"));
        for (int i = 0; i < 3; ++i) {
            model::ControlState *s = ctl("shpButton", i);
            blinkers[i] = new monitoring::IndicatorBlinker(i, [s](const QColor &c) { s->setProperty("fillColor", c); }, this);
        }
        fillLists();
    }

    void fillLists()
    {
        model::ControlState *modes = list(1);
        modes->clear();
        for (int n = 1; n <= 7; ++n)
            modes->addItem(gLoadResString(1072, n), n - 1);
        modes->setCurrentIndex(-1);
        model::ControlState *occ = list(9);
        occ->clear();
        const std::pair<int, int> items[] = {{1, 0}, {3, 3}, {2, 1}, {4, 255}};
        for (const auto &[item, data] : items)
            occ->addItem(gLoadResString(1076, item), data);
        occ->setCurrentIndex(-1);
    }

    // MonitoringWindow
    model::ControlState *control(const QString &array, int index) const override { return model.control(array, index); }
    void SetNightPurgeIndicator(bool a) override { blinkers[0]->setActive(a); }
    void SetEnergyHoldOffIndicator(bool a) override { blinkers[1]->setActive(a); }
    void SetFrostAlarmIndicator(bool a) override { blinkers[2]->setActive(a); }
    bool parametersChanged() const override { return changed; }
    QString caption() const override { return QStringLiteral("Room101 / Controller"); }

    model::ControlState *ctl(const char *array, int index) const
    {
        return control(QString::fromLatin1(array), index);
    }
    model::ControlState *box(int i) const { return ctl("TextBox", i); }
    QString text(int i) const { return box(i)->text(); }
    model::ControlState *list(int i) const { return ctl("ComboBox", i); }
    QColor shapeColor(int i) const { return ctl("shpButton", i)->property("fillColor").value<QColor>(); }

    model::PageModel model;
    std::array<monitoring::IndicatorBlinker *, 3> blinkers{};
    bool changed = false;
};
