#include "historywindow.h"

#include "configurationbinding.h"
#include "frmmain.h"

#include <configuration/configuration.h>
#include <configuration/restore.h>
#include <host/hoststate.h>
#include <params/paramcollection.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <report/parameterrows.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int kColumnTexts = 1789; // Time, Object, Item, Before, After, Outcome, User, Command
constexpr int kColumns = 8;
constexpr int kWindowTexts = 1808;
enum WindowItem { kTitle = 1, kRestore = 2, kConfirm = 3, kNothingToRestore = 4, kRestoreCommand = 5, kNoRecords = 6 };
constexpr int kLeftAsIs = 1805; // item 6: CPs no parameter holds

QString str(int id, int item, const QStringList &args = {})
{
    return platform::fillPlaceholders(gLoadResString(id, item), args);
}

// The controller's device path as the record names it
// ("Demo.Building.Floor1.Room101").
QString devicePath()
{
    const lns::Connection &c = host::state().conn;
    QStringList parts;
    try {
        if (c.network)
            parts << c.network->name();
        if (c.subsystem)
            parts << c.subsystem->path();
        if (c.device)
            parts << c.device->name();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("HistoryDevicePath"), e.number(), e.description());
        return QString();
    }
    return parts.join(QLatin1Char('.'));
}

// What the device holds now of each parameter CP, as the configuration
// last read or wrote it.
QHash<QString, QByteArray> heldBytes(params::cParams &all)
{
    QHash<QString, QByteArray> out;
    for (const auto &p : all.AllParameters()) {
        if (!p)
            continue;
        const lns::ConfigPropertyPtr cp =
            p->CpIsExternal() && p->ConfigPropExt() ? p->ConfigPropExt()->ConfigProperty() : p->ConfigProperty();
        if (!cp)
            continue;
        try {
            if (const auto bytes = all.cpIo().knownBytes(cp))
                out.insert(cp->name(), *bytes);
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("HistoryHeldBytes"), e.number(), e.description());
        }
    }
    return out;
}

} // namespace

HistoryWindow::HistoryWindow(frmMain &window)
    : QDialog(&window), m_window(window), m_table(new QTableWidget(this)),
      m_restore(new QPushButton(str(kWindowTexts, kRestore), this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(str(kWindowTexts, kTitle, {window.caption()}));
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setColumnCount(kColumns);
    QStringList headers;
    for (int i = 1; i <= kColumns; ++i)
        headers << gLoadResString(kColumnTexts, i);
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_restore->setObjectName(QStringLiteral("cmdRestore"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_restore, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, [this] { restoreSelected(); });
    connect(m_table, &QTableWidget::itemSelectionChanged, this,
            [this] { m_restore->setEnabled(!m_table->selectedItems().isEmpty()); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(900, 420);
    reload();
}

void HistoryWindow::reload()
{
    m_records.clear();
    const lns::NetworkPtr network = host::state().conn.network;
    lns::HistoryFilter filter;
    filter.device = devicePath();
    try {
        if (network && !filter.device.isEmpty())
            m_records = network->writeHistory(filter);
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("HistoryWindow"), e.number(), e.description());
        m_window.LogLine(e.description(), frmMain::kRed, false, true);
    }
    configuration::cConfiguration *c = configurationOf(m_window);
    params::cParams *all = c ? &c->Parameters() : nullptr;
    m_table->clearContents();
    m_table->setRowCount(m_records.size());
    for (int row = 0; row < m_records.size(); ++row) {
        const lns::WriteRecord &r = m_records.at(row);
        const QStringList cells{r.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                r.object.isEmpty() ? r.device : r.device + QLatin1Char('.') + r.object,
                                r.item,
                                report::recordedValueText(all, r.kind, r.item, r.before),
                                report::recordedValueText(all, r.kind, r.item, r.after),
                                lns::writeOutcomeText(r.outcome),
                                r.user + QLatin1Char('@') + r.host,
                                (r.tool + QLatin1Char(' ') + r.command).trimmed()};
        for (int col = 0; col < kColumns; ++col)
            m_table->setItem(row, col, new QTableWidgetItem(cells.at(col)));
    }
    m_table->resizeColumnsToContents();
    m_restore->setEnabled(!m_table->selectedItems().isEmpty());
    if (m_records.isEmpty())
        m_window.LogLine(str(kWindowTexts, kNoRecords, {filter.device}), 0, false, true);
}

bool HistoryWindow::restoreSelected()
{
    const QList<QTableWidgetItem *> selected = m_table->selectedItems();
    configuration::cConfiguration *c = configurationOf(m_window);
    if (selected.isEmpty() || !c)
        return false;
    const lns::WriteRecord &record = m_records.at(selected.first()->row());
    const configuration::RestorePlan all = configuration::planOf(configuration::transactionOf(m_records, record));
    params::cParams &p = c->Parameters();
    const QHash<QString, QByteArray> held = heldBytes(p);
    // CPs no parameter holds (what an application load set) stay as they
    // are; so do CPs that hold the recorded bytes already.
    QStringList leftAsIs;
    const configuration::RestorePlan plan = configuration::changesAgainst(all, held, &leftAsIs);
    const QString when = record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (plan.isEmpty()) {
        platform::messages().show(platform::MsgIcon::Information, m_window.caption(), str(kWindowTexts, kNothingToRestore));
        return false;
    }
    QString question = str(kWindowTexts, kConfirm, {QString::number(plan.cps.size()), when, plan.cps.join(QStringLiteral(", "))});
    if (!leftAsIs.isEmpty())
        question += QStringLiteral("\n") + str(kLeftAsIs, 6, {leftAsIs.join(QStringLiteral(", "))});
    if (platform::messages().show(platform::MsgIcon::Question, m_window.caption(), question, platform::MB_YesNo)
        != platform::ANS_Yes)
        return false;
    configuration::loadRestore(*c, plan, held);
    lns::setWriteCommand(str(kWindowTexts, kRestoreCommand, {when}));
    const auto &write = m_window.commandHooks().writeParameters;
    const bool written = write && write(m_window);
    lns::setWriteCommand(QString());
    reload();
    return written;
}

void ShowHistory(frmMain &window)
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub ShowHistory()"));
    auto *history = window.findChild<HistoryWindow *>(QStringLiteral("frmHistory"), Qt::FindDirectChildrenOnly);
    if (!history)
        history = new HistoryWindow(window);
    else
        history->reload();
    history->show();
    history->raise();
}

void bindHistoryMenu(frmMain &window)
{
    window.commandHooks().history = [](frmMain &w) { ShowHistory(w); };
}

} // namespace ui
