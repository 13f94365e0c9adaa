#include "multidevicewindow.h"

#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ui {

namespace {
constexpr int kKeyRole = Qt::UserRole + 1;
} // namespace

QString MultiDeviceWindow::stateText(const platform::MultiDeviceCandidate &c)
{
    return gLoadResString(1604, c.commissioned ? 1 : 2);
}

MultiDeviceWindow::MultiDeviceWindow(const platform::MultiDeviceRequest &request, QWidget *parent)
    : QDialog(parent)
    , m_request(request)
    , m_tree(new QTreeWidget(this))
    , m_filter(new QLineEdit(this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_count(new QLabel(this))
    , m_cost(new QLabel(this))
    , m_all(new QPushButton(gLoadResString(1602, 2), this))
    , m_none(new QPushButton(gLoadResString(1602, 3), this))
    , m_failed(new QPushButton(gLoadResString(1602, 4), this))
    , m_ok(nullptr)
{
    setObjectName(QStringLiteral("MultiDeviceWindow"));
    setWindowTitle(request.title.isEmpty() ? gLoadResString(1602, 1)
                                           : request.title + QStringLiteral(" - ") + gLoadResString(1602, 1));
    m_tree->setObjectName(QStringLiteral("lstObjects"));
    m_tree->setColumnCount(3);
    m_tree->setHeaderLabels({gLoadResString(1603, 1), gLoadResString(1603, 2), gLoadResString(1603, 3)});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_filter->setClearButtonEnabled(true);
    m_all->setObjectName(QStringLiteral("cmdSelectAll"));
    m_none->setObjectName(QStringLiteral("cmdSelectNone"));
    m_failed->setObjectName(QStringLiteral("cmdSelectFailed"));
    m_failed->setEnabled(false);
    m_cost->setObjectName(QStringLiteral("lblCost"));
    m_cost->setWordWrap(true);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_progress->setObjectName(QStringLiteral("prgSearch"));

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(gLoadResString(1602, 5), this));
    filterRow->addWidget(m_filter, 1);
    auto *selectRow = new QHBoxLayout;
    selectRow->addWidget(m_all);
    selectRow->addWidget(m_none);
    selectRow->addWidget(m_failed);
    selectRow->addStretch(1);
    selectRow->addWidget(m_count);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addLayout(filterRow);
    layout->addWidget(m_tree, 1);
    layout->addLayout(selectRow);
    layout->addWidget(m_cost);
    layout->addWidget(buttons);
    resize(560, 480);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_all, &QPushButton::clicked, this, &MultiDeviceWindow::selectAll);
    connect(m_none, &QPushButton::clicked, this, &MultiDeviceWindow::selectNone);
    connect(m_failed, &QPushButton::clicked, this, &MultiDeviceWindow::selectFailed);
    connect(m_filter, &QLineEdit::textChanged, this, &MultiDeviceWindow::setFilterText);
    connect(m_tree, &QTreeWidget::itemChanged, this, &MultiDeviceWindow::onItemChanged);
    if (m_request.search)
        connect(m_request.search, &platform::MultiDeviceSearch::progress, this, &MultiDeviceWindow::onProgress);
    m_status->setText(gLoadResString(1602, 6));
    refreshSummary();
}

void MultiDeviceWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_searched)
        QTimer::singleShot(0, this, &MultiDeviceWindow::startSearch);
}

void MultiDeviceWindow::onProgress(int done, int total)
{
    m_progress->setRange(0, qMax(1, total));
    m_progress->setValue(done);
    m_status->setText(platform::fillPlaceholders(gLoadResString(1605, 1), {QString::number(done), QString::number(total)}));
    // The search runs on this thread: let the window paint now and then.
    if (isVisible() && (done % 50 == 0 || done == total))
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MultiDeviceWindow::startSearch()
{
    if (m_searched)
        return;
    m_searched = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_request.search)
        m_candidates = m_request.search->run();
    QApplication::restoreOverrideCursor();
    platform::sortCandidates(m_candidates);
    populate();
    m_progress->hide();
    m_status->setText(platform::fillPlaceholders(gLoadResString(1605, 2), {QString::number(m_candidates.size())}));
}

void MultiDeviceWindow::populate()
{
    const QSignalBlocker block(m_tree);
    m_tree->clear();
    const QSet<QString> failed(m_request.failedLastRun.cbegin(), m_request.failedLastRun.cend());
    QTreeWidgetItem *group = nullptr;
    QString groupPath;
    bool anyFailed = false;
    for (const auto &c : m_candidates) {
        if (!group || c.subsystemPath != groupPath) {
            group = new QTreeWidgetItem(m_tree, {c.subsystemPath});
            group->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
            group->setCheckState(0, Qt::Unchecked);
            QFont f = group->font(0);
            f.setBold(true);
            group->setFont(0, f);
            group->setExpanded(true);
            groupPath = c.subsystemPath;
        }
        auto *item = new QTreeWidgetItem(group, {c.deviceName + QStringLiteral(" / ") + c.objectName, c.templateName,
                                                 stateText(c)});
        item->setData(0, kKeyRole, c.key);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(0, Qt::Unchecked);
        item->setToolTip(0, c.key);
        if (failed.contains(c.key)) {
            anyFailed = true;
            item->setForeground(0, QBrush(Qt::red));
            item->setToolTip(0, platform::fillPlaceholders(gLoadResString(1607), {c.key}));
        }
    }
    m_failed->setEnabled(anyFailed);
    refreshSummary();
}

QVector<QTreeWidgetItem *> MultiDeviceWindow::objectItems() const
{
    QVector<QTreeWidgetItem *> out;
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = m_tree->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i)
            out << group->child(i);
    }
    return out;
}

void MultiDeviceWindow::setFilterText(const QString &text)
{
    if (m_filter->text() != text) {
        const QSignalBlocker block(m_filter);
        m_filter->setText(text);
    }
    QHash<QString, const platform::MultiDeviceCandidate *> byKey;
    for (const auto &c : m_candidates)
        byKey.insert(c.key, &c);
    for (int g = 0; g < m_tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = m_tree->topLevelItem(g);
        bool any = false;
        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem *item = group->child(i);
            const auto *c = byKey.value(item->data(0, kKeyRole).toString());
            const bool show = c && platform::candidateMatches(*c, text, stateText(*c));
            item->setHidden(!show);
            any = any || show;
        }
        group->setHidden(!any);
    }
}

void MultiDeviceWindow::setChecked(const QString &key, bool on)
{
    for (QTreeWidgetItem *item : objectItems()) {
        if (item->data(0, kKeyRole).toString() == key)
            item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
}

void MultiDeviceWindow::selectAll()
{
    m_bulk = true;
    for (QTreeWidgetItem *item : objectItems()) {
        if (!item->isHidden() && !item->parent()->isHidden())
            item->setCheckState(0, Qt::Checked);
    }
    m_bulk = false;
    refreshSummary();
}

void MultiDeviceWindow::selectNone()
{
    m_bulk = true;
    for (QTreeWidgetItem *item : objectItems())
        item->setCheckState(0, Qt::Unchecked);
    m_bulk = false;
    refreshSummary();
}

void MultiDeviceWindow::selectFailed()
{
    m_bulk = true;
    for (QTreeWidgetItem *item : objectItems()) {
        const bool failed = m_request.failedLastRun.contains(item->data(0, kKeyRole).toString());
        item->setCheckState(0, failed ? Qt::Checked : Qt::Unchecked);
    }
    m_bulk = false;
    refreshSummary();
}

void MultiDeviceWindow::onItemChanged(QTreeWidgetItem *, int column)
{
    if (column == 0 && !m_bulk)
        refreshSummary();
}

QStringList MultiDeviceWindow::selectedKeys() const
{
    QSet<QString> ticked;
    for (QTreeWidgetItem *item : objectItems()) {
        if (item->checkState(0) == Qt::Checked)
            ticked.insert(item->data(0, kKeyRole).toString());
    }
    QStringList out;
    for (const auto &c : m_candidates) {
        if (ticked.contains(c.key))
            out << c.key;
    }
    return out;
}

QStringList MultiDeviceWindow::visibleKeys() const
{
    QStringList out;
    for (QTreeWidgetItem *item : objectItems()) {
        if (!item->isHidden() && !item->parent()->isHidden())
            out << item->data(0, kKeyRole).toString();
    }
    return out;
}

void MultiDeviceWindow::refreshSummary()
{
    const QStringList keys = selectedKeys();
    QVector<platform::MultiDeviceCandidate> chosen;
    const QSet<QString> set(keys.cbegin(), keys.cend());
    for (const auto &c : m_candidates) {
        if (set.contains(c.key))
            chosen << c;
    }
    m_count->setText(platform::fillPlaceholders(gLoadResString(1605, 3),
                                                {QString::number(keys.size()), QString::number(m_candidates.size())}));
    QString cost;
    if (m_request.search && !chosen.isEmpty()) {
        const platform::MultiDeviceCost c = m_request.search->cost(chosen);
        const qint64 per = c.objects > 0 ? c.micros / c.objects : 0;
        cost = platform::fillPlaceholders(gLoadResString(1606, 1),
                                          {QString::number(c.objects), QString::number(c.transactions),
                                           platform::durationText(c.micros), platform::durationText(per)})
            + QLatin1Char(' ') + gLoadResString(1606, 2);
    }
    m_cost->setText(cost);
    if (m_ok)
        m_ok->setEnabled(!keys.isEmpty());
}

QString MultiDeviceWindow::costText() const
{
    return m_cost->text();
}

QString MultiDeviceWindow::countText() const
{
    return m_count->text();
}

QString MultiDeviceWindow::progressText() const
{
    return m_status->text();
}

QStringList WidgetMultiDeviceSelector::select(const platform::MultiDeviceRequest &request)
{
    if (platform::unattendedRequested()) {
        platform::UnattendedMultiDevice u;
        const QStringList keys = u.select(request);
        lastCandidates = u.lastCandidates;
        return keys;
    }
    MultiDeviceWindow window(request, QApplication::activeWindow());
    const int result = window.exec();
    lastCandidates = window.candidates();
    return result == QDialog::Accepted ? window.selectedKeys() : QStringList();
}

} // namespace ui
