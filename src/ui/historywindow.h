// The record of writes of the window's controller (menu entry "History" of
// the configuration command): every recorded write, newest first, with CP
// values as the pages show them; "Restore" writes back what the controller
// held before the selected record's run, through the window's own write with
// its checks, so the restore is recorded like any write.
#pragma once

#include <lns/writehistory.h>

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace ui {

class frmMain;

class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HistoryWindow(frmMain &window);

    // Reads the record of the window's controller again.
    void reload();
    QTableWidget *table() const { return m_table; }
    const QVector<lns::WriteRecord> &records() const { return m_records; }
    // Restores the run of the selected row after asking; true when the
    // window's write went through.
    bool restoreSelected();

private:
    frmMain &m_window;
    QVector<lns::WriteRecord> m_records;
    QTableWidget *m_table;
    QPushButton *m_restore;
};

// The menu entry: shows the window's History window (made on first use).
void ShowHistory(frmMain &window);
// Puts ShowHistory into the window's history hook.
void bindHistoryMenu(frmMain &window);

} // namespace ui
