// The multi-device selection window: our own dialog for choosing the
// LonMark objects a parameter set is copied to.
//
// It runs the search when it is shown (a progress bar while it searches),
// lists the objects grouped by subsystem with device, object, template and
// state, lets the user tick several (select all / none / the ones that
// failed in the last run, filter by text) and shows what writing to the
// ticked ones costs on the channel before the run starts. The chosen keys
// come back in the stable order of the search, whatever order they were
// ticked in.
#pragma once

#include <platform/multidevice.h>

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class MultiDeviceWindow : public QDialog
{
    Q_OBJECT
public:
    explicit MultiDeviceWindow(const platform::MultiDeviceRequest &request, QWidget *parent = nullptr);

    // Runs the search now (done by the first show otherwise).
    void startSearch();
    bool searched() const { return m_searched; }

    void setFilterText(const QString &text);
    // Tick every object the filter shows / untick all / tick the failed ones.
    void selectAll();
    void selectNone();
    void selectFailed();
    void setChecked(const QString &key, bool on);

    QStringList selectedKeys() const;
    const QVector<platform::MultiDeviceCandidate> &candidates() const { return m_candidates; }
    // Visible (not filtered) object keys, in the list's order.
    QStringList visibleKeys() const;
    QTreeWidget *tree() const { return m_tree; }
    QString costText() const;
    QString countText() const;
    QString progressText() const;

    static QString stateText(const platform::MultiDeviceCandidate &c);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void populate();
    void refreshSummary();
    void onProgress(int done, int total);
    void onItemChanged(QTreeWidgetItem *item, int column);
    QVector<QTreeWidgetItem *> objectItems() const;

    platform::MultiDeviceRequest m_request;
    QVector<platform::MultiDeviceCandidate> m_candidates;
    bool m_searched = false;
    bool m_bulk = false;
    QTreeWidget *m_tree;
    QLineEdit *m_filter;
    QProgressBar *m_progress;
    QLabel *m_status;
    QLabel *m_count;
    QLabel *m_cost;
    QPushButton *m_all;
    QPushButton *m_none;
    QPushButton *m_failed;
    QPushButton *m_ok;
};

// The selector the program uses: this window, or the unattended printout
// when AEROLIS_UNATTENDED=1.
class WidgetMultiDeviceSelector : public platform::MultiDeviceSelector
{
public:
    QStringList select(const platform::MultiDeviceRequest &request) override;
};

} // namespace ui
