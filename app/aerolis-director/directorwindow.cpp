#include "directorwindow.h"

#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QListWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

namespace director {

namespace {

constexpr int kFullNameRole = Qt::UserRole + 1;

} // namespace

DirectorWindow::DirectorWindow(Director &director, QWidget *parent) : QMainWindow(parent), m_director(director)
{
    setObjectName(QStringLiteral("DirectorWindow"));
    setWindowTitle(platform::fillPlaceholders(gLoadResString(1910), {director.networkName()}));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("NetworkTree"));
    m_tree->setColumnCount(4);
    QStringList headers;
    for (int i = 1; i <= 4; ++i)
        headers << gLoadResString(1911, i);
    m_tree->setHeaderLabels(headers);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setCentralWidget(m_tree);

    auto *dock = new QDockWidget(gLoadResString(1914), this);
    dock->setObjectName(QStringLiteral("CommandsDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_commands = new QListWidget(dock);
    m_commands->setObjectName(QStringLiteral("Commands"));
    dock->setWidget(m_commands);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    QToolBar *bar = addToolBar(QStringLiteral("tools"));
    bar->setObjectName(QStringLiteral("Tools"));
    bar->setMovable(false);
    bar->addAction(gLoadResString(1913, 1), this, [this] { registerInProject(); })->setObjectName(QStringLiteral("Register"));
    bar->addAction(gLoadResString(1913, 2), this, [this] { refresh(); })->setObjectName(QStringLiteral("Refresh"));
    bar->addAction(gLoadResString(1913, 3), this, &QWidget::close)->setObjectName(QStringLiteral("Exit"));

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { showCommands(); });
    connect(m_commands, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { launchCommand(m_commands->row(item)); });

    fillTree();
    resize(900, 560);
}

void DirectorWindow::fillTree()
{
    m_tree->clear();
    std::function<void(QTreeWidgetItem *, const QVector<SubsystemEntry> &)> add =
        [&](QTreeWidgetItem *parent, const QVector<SubsystemEntry> &level) {
            for (const SubsystemEntry &s : level) {
                auto *si = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
                si->setText(0, s.name);
                add(si, s.subsystems);
                for (const DeviceEntry &d : s.devices) {
                    auto *di = new QTreeWidgetItem(si);
                    di->setText(0, d.name);
                    di->setText(1, d.templateName);
                    di->setText(2, d.programId);
                    di->setText(3, stateText(d.state));
                    for (const ObjectEntry &o : d.objects) {
                        auto *oi = new QTreeWidgetItem(di);
                        oi->setText(0, o.name);
                        oi->setData(0, kFullNameRole, o.fullName);
                    }
                }
                si->setExpanded(true);
            }
        };
    add(nullptr, m_director.tree());
}

void DirectorWindow::refresh()
{
    const QString selected = m_tree->currentItem() ? m_tree->currentItem()->data(0, kFullNameRole).toString() : QString();
    m_director.refresh();
    fillTree();
    if (!selected.isEmpty())
        selectObject(selected);
}

bool DirectorWindow::selectObject(const QString &fullName)
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, kFullNameRole).toString() == fullName) {
            m_tree->setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void DirectorWindow::showCommands()
{
    m_commands->clear();
    m_shown.clear();
    QTreeWidgetItem *item = m_tree->currentItem();
    const QString fullName = item ? item->data(0, kFullNameRole).toString() : QString();
    const DeviceEntry *device = nullptr;
    const ObjectEntry *object = fullName.isEmpty() ? nullptr : m_director.findObject(fullName, &device);
    if (!object)
        return;
    m_shown = m_director.commandsFor(*device, *object);
    for (const lnssim::PlugInRegistration &r : qAsConst(m_shown))
        m_commands->addItem(r.name);
    if (m_shown.isEmpty())
        statusBar()->showMessage(platform::fillPlaceholders(gLoadResString(1915), {device->templateName}));
    else
        statusBar()->clearMessage();
}

Outcome DirectorWindow::launchCommand(int row)
{
    Outcome o;
    QTreeWidgetItem *item = m_tree->currentItem();
    const DeviceEntry *device = nullptr;
    const ObjectEntry *object = item ? m_director.findObject(item->data(0, kFullNameRole).toString(), &device) : nullptr;
    if (!object || row < 0 || row >= m_shown.size())
        return o;
    // The plug-in answers during the launch; the window waits meanwhile.
    setEnabled(false);
    o = m_director.launch(*device, *object, m_shown.at(row), LaunchOptions());
    setEnabled(true);
    report(o);
    return o;
}

Outcome DirectorWindow::registerInProject()
{
    setEnabled(false);
    const Outcome o = m_director.registerInProject(m_director.programIds().join(QLatin1Char(',')));
    setEnabled(true);
    report(o);
    showCommands();
    return o;
}

void DirectorWindow::report(const Outcome &o)
{
    if (o.ok)
        statusBar()->showMessage(o.message);
    else
        platform::messages().show(platform::MsgIcon::Exclamation, windowTitle(), o.message);
}

} // namespace director
