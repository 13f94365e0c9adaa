// The controlling page's controls on their own, with the object names the
// main window gives them, its two lists filled as the main window fills
// them, and the three indicators blinking through IndicatorBlinker: the
// monitoring logic under test without the rest of the window.
#pragma once

#include <monitoring/indicators.h>
#include <monitoring/monitoring.h>
#include <params/controlutil.h>
#include <platform/resstrings.h>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

class StandalonePage : public QWidget, public monitoring::MonitoringWindow
{
public:
    StandalonePage()
    {
        setObjectName(QStringLiteral("frmMonitoringPage"));
        for (int i : {1, 9}) {
            auto *c = new QComboBox(this);
            c->setObjectName(QStringLiteral("ComboBox%1").arg(i));
        }
        for (int i : {12, 13, 14, 15, 16, 17, 18, 19, 34}) {
            auto *e = new QLineEdit(this);
            e->setObjectName(QStringLiteral("TextBox%1").arg(i));
        }
        for (int i : {0, 3}) {
            auto *b = new QPushButton(this);
            b->setObjectName(QStringLiteral("cmdButton%1").arg(i));
        }
        auto *l = new QLabel(gLoadResString(1090), this);
        l->setObjectName(QStringLiteral("Label30"));
        for (int i = 0; i < 3; ++i) {
            auto *s = new QFrame(this);
            s->setObjectName(QStringLiteral("shpButton%1").arg(i));
            s->setAutoFillBackground(true);
            blinkers[i] = new monitoring::IndicatorBlinker(i, [s](const QColor &c) { s->setProperty("fillColor", c); }, this);
        }
        fillLists();
    }

    void fillLists()
    {
        auto *modes = findChild<QComboBox *>(QStringLiteral("ComboBox1"));
        modes->clear();
        for (int n = 1; n <= 7; ++n)
            modes->addItem(gLoadResString(1072, n), n - 1);
        modes->setCurrentIndex(-1);
        auto *occ = findChild<QComboBox *>(QStringLiteral("ComboBox9"));
        occ->clear();
        const std::pair<int, int> items[] = {{1, 0}, {3, 3}, {2, 1}, {4, 255}};
        for (const auto &[item, data] : items)
            occ->addItem(gLoadResString(1076, item), data);
        occ->setCurrentIndex(-1);
    }

    // MonitoringWindow
    QWidget *control(const QString &array, int index) const override
    {
        return params::findControl(const_cast<StandalonePage *>(this), array, index);
    }
    void SetNightPurgeIndicator(bool a) override { blinkers[0]->setActive(a); }
    void SetEnergyHoldOffIndicator(bool a) override { blinkers[1]->setActive(a); }
    void SetFrostAlarmIndicator(bool a) override { blinkers[2]->setActive(a); }
    bool parametersChanged() const override { return changed; }
    QString caption() const override { return QStringLiteral("Room101 / Controller"); }

    template <class T>
    T *ctl(const char *array, int index) const
    {
        return qobject_cast<T *>(control(QString::fromLatin1(array), index));
    }
    QLineEdit *box(int i) const { return ctl<QLineEdit>("TextBox", i); }
    QString text(int i) const { return box(i)->text(); }
    QComboBox *list(int i) const { return ctl<QComboBox>("ComboBox", i); }
    QColor shapeColor(int i) const { return ctl<QWidget>("shpButton", i)->property("fillColor").value<QColor>(); }

    std::array<monitoring::IndicatorBlinker *, 3> blinkers{};
    bool changed = false;
};
