#include "trendwindow.h"

#include "monitoring.h"

#include <platform/resstrings.h>

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTime>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace monitoring {

namespace {

const char *const kTrendWindowName = "frmTrend";

// Colours of the lines: setpoint and room temperature dark, the outputs in
// the colours of heating, cooling, air and fan.
const QColor kColours[TS_COUNT] = {QColor(0, 0, 0),     QColor(128, 0, 128), QColor(220, 40, 40), QColor(240, 140, 40),
                                   QColor(40, 90, 220), QColor(40, 170, 90), QColor(120, 120, 120)};

} // namespace

TrendWindow::TrendWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QString::fromLatin1(kTrendWindowName));
    setWindowTitle(gLoadResString(1960));
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_time = new QValueAxis;
    m_time->setRange(-double(m_model.windowMs()) / 60000.0, 0);
    m_time->setTitleText(gLoadResString(1962, 5));
    m_time->setLabelFormat(QStringLiteral("%d"));
    m_temperature = new QValueAxis;
    m_temperature->setRange(0, 40);
    m_temperature->setTitleText(gLoadResString(1962, 3));
    m_percent = new QValueAxis;
    m_percent->setRange(0, 105);
    m_percent->setTitleText(gLoadResString(1962, 4));
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_temperature, Qt::AlignLeft);
    m_chart->addAxis(m_percent, Qt::AlignRight);
    for (int s = 0; s < TS_COUNT; ++s) {
        auto *line = new QLineSeries;
        line->setName(TrendModel::seriesName(s));
        line->setColor(kColours[s]);
        m_chart->addSeries(line);
        line->attachAxis(m_time);
        line->attachAxis(s <= TS_ROOM_TEMPERATURE ? m_temperature : m_percent);
        m_lines[size_t(s)] = line;
    }
    m_modeMarks = new QScatterSeries;
    m_modeMarks->setName(gLoadResString(1962, 1));
    m_modeMarks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_modeMarks->setMarkerSize(9);
    m_occMarks = new QScatterSeries;
    m_occMarks->setName(gLoadResString(1962, 2));
    m_occMarks->setMarkerSize(9);
    for (QScatterSeries *m : {m_modeMarks, m_occMarks}) {
        m_chart->addSeries(m);
        m->attachAxis(m_time);
        m->attachAxis(m_percent);
    }
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_marksLabel = new QLabel(this);
    m_marksLabel->setObjectName(QStringLiteral("lblTrendMarks"));
    m_marksLabel->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_marksLabel);
    resize(720, 480);
}

TrendWindow::~TrendWindow() = default;

qint64 TrendWindow::now() const
{
    return m_now ? m_now() : QDateTime::currentMSecsSinceEpoch();
}

void TrendWindow::attach(cMonitoring *monitoring)
{
    if (m_monitoring)
        disconnect(m_monitoring, nullptr, this, nullptr);
    m_monitoring = monitoring;
    if (monitoring)
        connect(monitoring, &cMonitoring::updateShown, this, &TrendWindow::addUpdate);
}

void TrendWindow::addUpdate(const QString &pointName, const QString &value)
{
    if (m_model.addUpdate(pointName, value, now()))
        refresh();
}

void TrendWindow::addRoomTemperature(double celsius)
{
    m_model.addRoomTemperature(celsius, now());
    refresh();
}

QString TrendWindow::marksText() const
{
    QStringList parts;
    for (const TrendMark &m : m_model.marks())
        parts << QStringLiteral("%1 %2").arg(QDateTime::fromMSecsSinceEpoch(m.ms).time().toString(QStringLiteral("HH:mm:ss")), m.text);
    return parts.join(QStringLiteral("  ·  "));
}

void TrendWindow::refresh()
{
    const qint64 t = now();
    m_model.prune(t);
    auto minutes = [t](qint64 ms) { return double(ms - t) / 60000.0; };
    double lo = 1e9, hi = -1e9;
    for (int s = 0; s < TS_COUNT; ++s) {
        QList<QPointF> points;
        const QVector<TrendSample> &samples = m_model.series(s);
        for (int i = 0; i < samples.size(); ++i) {
            // Steps: a value holds until the next one comes.
            const double x = std::max(minutes(samples.at(i).ms), m_time->min());
            if (i > 0)
                points << QPointF(x, samples.at(i - 1).value);
            points << QPointF(x, samples.at(i).value);
            if (s <= TS_ROOM_TEMPERATURE) {
                lo = std::min(lo, samples.at(i).value);
                hi = std::max(hi, samples.at(i).value);
            }
        }
        if (!samples.isEmpty())
            points << QPointF(0, samples.last().value);
        m_lines[size_t(s)]->replace(points);
    }
    if (lo <= hi)
        m_temperature->setRange(std::floor(lo) - 1, std::ceil(hi) + 1);
    QList<QPointF> modes, occ;
    for (const TrendMark &m : m_model.marks())
        (m.kind == TrendMark::Mode ? modes : occ) << QPointF(minutes(m.ms), m.kind == TrendMark::Mode ? 102 : 98);
    m_modeMarks->replace(modes);
    m_occMarks->replace(occ);
    m_marksLabel->setText(marksText());
}

TrendWindow *openTrendWindow(cMonitoring &monitoring, QWidget *parent)
{
    TrendWindow *w = parent ? parent->findChild<TrendWindow *>(QString::fromLatin1(kTrendWindowName)) : nullptr;
    if (!w) {
        w = new TrendWindow(parent);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->attach(&monitoring);
    }
    w->show();
    w->raise();
    return w;
}

} // namespace monitoring
