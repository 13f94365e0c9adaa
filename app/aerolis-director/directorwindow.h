// The network tool's window: the network's tree (subsystems, devices with
// template, program id and state, LonMark objects) and, for the selected
// object, the plug-in commands registered for its template; activating a
// command launches the plug-in on the object.
#pragma once

#include "director.h"

#include <QMainWindow>

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace director {

class DirectorWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit DirectorWindow(Director &director, QWidget *parent = nullptr);

    QTreeWidget *tree() const { return m_tree; }
    QListWidget *commands() const { return m_commands; }
    // Selects the object with the full object name; false when there is none.
    bool selectObject(const QString &fullName);
    // Launches the command in row `row` of the command list.
    Outcome launchCommand(int row);
    Outcome registerInProject();
    void refresh();

private:
    void fillTree();
    void showCommands();
    void report(const Outcome &o);

    Director &m_director;
    QTreeWidget *m_tree = nullptr;
    QListWidget *m_commands = nullptr;
    QVector<lnssim::PlugInRegistration> m_shown;
};

} // namespace director
