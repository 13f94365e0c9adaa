// Device and database copy of the window's controller side by side (menu
// entry "Resync" of the configuration command): the CPs whose bytes differ,
// each value as the pages show it. "Push" writes the database values into
// the device through the window's own write; "Pull" takes the device values
// into the network database. Both are recorded like any write. Comparing
// reads the device inside a transaction that is cancelled, so it changes
// neither side.
#pragma once

#include <configuration/resync.h>

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace ui {

class frmMain;

class ResyncWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ResyncWindow(frmMain &window);

    // Reads the device again and compares it with the database copy.
    void compare();
    QTableWidget *table() const { return m_table; }
    QString statusText() const;
    const QVector<configuration::CpDifference> &differences() const { return m_differences; }
    // After asking: the database values into the device (push) or the
    // device values into the database (pull); true when it went through.
    bool push();
    bool pull();

private:
    bool ask(int item) const;
    frmMain &m_window;
    QVector<configuration::CpDifference> m_differences;
    QTableWidget *m_table;
    QLabel *m_status;
    QPushButton *m_push;
    QPushButton *m_pull;
};

// The menu entry: shows the window's resync dialog (made on first use) with
// a fresh comparison.
void ShowResync(frmMain &window);
// Puts ShowResync into the window's resync hook.
void bindResyncMenu(frmMain &window);

} // namespace ui
