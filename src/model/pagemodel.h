// The page model: the state of every control of the designed pages, held by
// its object name ("TextBox27", "ComboBox5", "Label30", "cmdButton0",
// "fraHvacAppMode", ...), built from the page table. The page logic, the
// parameters and the report work on it; the window is one view of it.
#pragma once

#include "controlstate.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

namespace model {

class PageModel : public QObject
{
    Q_OBJECT
public:
    explicit PageModel(QObject *parent = nullptr);

    // Member `index` of the control array `arrayName`; nullptr when the
    // pages have none.
    ControlState *control(const QString &arrayName, int index) const;
    // Any control by object name (array members and named controls).
    ControlState *named(const QString &name) const;
    QList<ControlState *> controls() const { return m_ordered; }

    // The captions of the labels, buttons, check boxes, section lines and
    // frames from the string table, in the language set.
    void loadCaptions();

    // Every control back to what it showed when the model was built (with
    // its captions), its logic connections dropped: one model serves the
    // controllers of a run one after another.
    void resetToDesign();

private:
    void keepDesign();

    QHash<QString, ControlState *> m_byName;
    QList<ControlState *> m_ordered;
    QHash<ControlState *, std::pair<int, int>> m_captionIds; // string id, list item
    QVector<ControlValues> m_design; // in the order of m_ordered
};

} // namespace model
