#include "resyncwindow.h"

#include "configurationbinding.h"
#include "frmmain.h"

#include <configuration/configuration.h>
#include <host/hoststate.h>
#include <lns/writehistory.h>
#include <params/paramcollection.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <report/parameterrows.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int kTexts = 1932;
enum Item {
    kTitle = 1,
    kCpColumn = 2,
    kDeviceColumn = 3,
    kDatabaseColumn = 4,
    kPush = 5,
    kPull = 6,
    kAgree = 7,
    kDiffer = 8,
    kConfirmPush = 9,
    kConfirmPull = 10,
    kNotRead = 11,
    kCompareAgain = 12,
};
// How the record names the window's resync writes.
const QString kPushCommand = QStringLiteral("resync --push");
const QString kPullCommand = QStringLiteral("resync --pull");

QString str(int item, const QStringList &args = {})
{
    return platform::fillPlaceholders(gLoadResString(kTexts, item), args);
}

} // namespace

ResyncWindow::ResyncWindow(frmMain &window)
    : QDialog(&window), m_window(window), m_table(new QTableWidget(this)), m_status(new QLabel(this)),
      m_push(new QPushButton(str(kPush), this)), m_pull(new QPushButton(str(kPull), this))
{
    setObjectName(QStringLiteral("frmResync"));
    setWindowTitle(str(kTitle, {window.caption()}));
    m_table->setObjectName(QStringLiteral("resyncTable"));
    m_table->setColumnCount(3);
    m_table->setHorizontalHeaderLabels({str(kCpColumn), str(kDeviceColumn), str(kDatabaseColumn)});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_status->setObjectName(QStringLiteral("lblResyncStatus"));
    m_push->setObjectName(QStringLiteral("cmdPush"));
    m_pull->setObjectName(QStringLiteral("cmdPull"));
    auto *again = new QPushButton(str(kCompareAgain), this);
    again->setObjectName(QStringLiteral("cmdCompare"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_push, QDialogButtonBox::ActionRole);
    buttons->addButton(m_pull, QDialogButtonBox::ActionRole);
    buttons->addButton(again, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_push, &QPushButton::clicked, this, [this] { push(); });
    connect(m_pull, &QPushButton::clicked, this, [this] { pull(); });
    connect(again, &QPushButton::clicked, this, [this] { compare(); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(760, 360);
}

QString ResyncWindow::statusText() const
{
    return m_status->text();
}

void ResyncWindow::compare()
{
    m_differences.clear();
    m_table->clearContents();
    m_table->setRowCount(0);
    m_push->setEnabled(false);
    m_pull->setEnabled(false);
    configuration::cConfiguration *c = configurationOf(m_window);
    const lns::Connection &conn = host::state().conn;
    if (!c || !conn.device)
        return;
    params::cParams &p = c->Parameters();
    QStringList unread;
    QHash<QString, QByteArray> device;
    QVector<configuration::DatabaseCp> copy;
    {
        configuration::ComparisonHold hold;
        hold.begin(conn.system);
        copy = configuration::databaseCopy(conn.device);
        device = configuration::readDeviceBytes(p, &unread);
    }
    if (!unread.isEmpty() && device.isEmpty()) {
        m_status->setText(str(kNotRead, {unread.join(QStringLiteral(", "))}));
        return;
    }
    m_differences = configuration::differences(copy, device);
    m_table->setRowCount(m_differences.size());
    for (int row = 0; row < m_differences.size(); ++row) {
        const configuration::CpDifference &d = m_differences.at(row);
        const QStringList cells{d.cp, report::recordedValueText(&p, lns::WriteKind::Cp, d.cp, d.device),
                                report::recordedValueText(&p, lns::WriteKind::Cp, d.cp, d.database)};
        for (int col = 0; col < cells.size(); ++col)
            m_table->setItem(row, col, new QTableWidgetItem(cells.at(col)));
    }
    m_table->resizeColumnsToContents();
    QString status = m_differences.isEmpty() ? str(kAgree) : str(kDiffer, {QString::number(m_differences.size())});
    if (!unread.isEmpty())
        status += QLatin1Char(' ') + str(kNotRead, {unread.join(QStringLiteral(", "))});
    m_status->setText(status);
    m_push->setEnabled(!m_differences.isEmpty());
    m_pull->setEnabled(!m_differences.isEmpty());
}

bool ResyncWindow::ask(int item) const
{
    return platform::messages().show(platform::MsgIcon::Question, m_window.caption(),
                                     str(item, {QString::number(m_differences.size())}), platform::MB_YesNo)
        == platform::ANS_Yes;
}

bool ResyncWindow::push()
{
    configuration::cConfiguration *c = configurationOf(m_window);
    if (!c || m_differences.isEmpty() || !ask(kConfirmPush))
        return false;
    params::cParams &p = c->Parameters();
    const QHash<QString, QByteArray> held = configuration::heldDeviceBytes(p);
    QStringList notHeld;
    const configuration::RestorePlan plan =
        configuration::changesAgainst(configuration::databaseToDevice(m_differences), held, &notHeld);
    bool written = plan.isEmpty();
    if (!plan.isEmpty()) {
        // The database values go through the window's own write, with its
        // page logic and checks.
        configuration::loadRestore(*c, plan, held);
        lns::setWriteCommand(kPushCommand);
        const auto &write = m_window.commandHooks().writeParameters;
        written = write && write(m_window);
        lns::setWriteCommand(QString());
    }
    compare();
    return written;
}

bool ResyncWindow::pull()
{
    configuration::cConfiguration *c = configurationOf(m_window);
    const lns::Connection &conn = host::state().conn;
    if (!c || m_differences.isEmpty() || !ask(kConfirmPull))
        return false;
    // The device is read inside a transaction whose commit takes its bytes
    // into the database copy; the object server records each changed CP.
    QString error;
    bool taken = false;
    {
        configuration::ComparisonHold hold;
        if (hold.begin(conn.system)) {
            lns::setWriteCommand(kPullCommand);
            QStringList unread;
            configuration::readDeviceBytes(c->Parameters(), &unread);
            taken = unread.isEmpty() && hold.takeReads(&error);
            lns::setWriteCommand(QString());
            if (!unread.isEmpty())
                error = str(kNotRead, {unread.join(QStringLiteral(", "))});
        }
    }
    if (!taken && !error.isEmpty())
        m_window.LogLine(error, frmMain::kRed, false, true);
    compare();
    return taken;
}

void ShowResync(frmMain &window)
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub ShowResync()"));
    auto *resync = window.findChild<ResyncWindow *>(QStringLiteral("frmResync"), Qt::FindDirectChildrenOnly);
    if (!resync)
        resync = new ResyncWindow(window);
    resync->show();
    resync->raise();
    resync->compare();
}

void bindResyncMenu(frmMain &window)
{
    window.commandHooks().resync = [](frmMain &w) { ShowResync(w); };
}

} // namespace ui
