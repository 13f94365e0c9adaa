// The program's own record of every designed tab of every tab strip, so that
// a tab hidden by the page logic comes back at its designed place, between
// the neighbours it had in the design, whatever else is hidden.
#pragma once

#include "controls.h"

#include <QList>
#include <QPointer>
#include <QVariant>

#include <memory>
#include <vector>

namespace ui {

class cTabs;
class cTabStrip;
class cTabStrips;

// One remembered tab.
class cTab
{
public:
    cTabs *Parent() const { return m_parent; }
    qint16 Index() const { return m_index; }
    void setIndex(qint16 i) { m_index = i; }
    QString Key() const { return m_key; }
    void setKey(const QString &k) { m_key = k; }
    QString Caption() const { return m_caption; }
    void setCaption(const QString &c) { m_caption = c; }
    QString ToolTipText() const { return m_toolTip; }
    void setToolTipText(const QString &t) { m_toolTip = t; }
    QVariant Tag() const { return m_tag; }
    void setTag(const QVariant &t) { m_tag = t; }

private:
    friend class cTabs;
    cTabs *m_parent = nullptr;
    qint16 m_index = 0;
    QString m_key;
    QString m_caption;
    QString m_toolTip;
    QVariant m_tag;
};

// The records of one strip, in registration order.
class cTabs
{
public:
    explicit cTabs(cTabStrip *parent)
        : m_parent(parent)
    {
    }
    cTabStrip *Parent() const { return m_parent; }
    // Records tab `position` of the strip control as it is now; its designed
    // index is its 1-based position.
    cTab *Add(const TabStrip &strip, int position);
    cTab *Item(int index) const;
    cTab *ItemByKey(const QString &key) const;
    qint16 Count() const { return static_cast<qint16>(m_tabs.size()); }
    void ShowTabByKeyNo(int keyNo);
    void HideTabByKeyNo(int keyNo);

private:
    cTabStrip *m_parent;
    std::vector<std::unique_ptr<cTab>> m_tabs;
};

class cTabStrip
{
public:
    cTabStrip(TabStrip *control, cTabStrips *parent);
    cTabStrips *Parent() const { return m_parent; }
    cTabs *Tabs() const { return m_tabs.get(); }
    TabStrip *control() const { return m_control; }
    // Leaves exactly the tabs whose key numbers are listed, each at its
    // designed place.
    void ShowTabs(const QList<int> &tabKeys);

private:
    QPointer<TabStrip> m_control;
    cTabStrips *m_parent;
    std::unique_ptr<cTabs> m_tabs;
};

class cTabStrips
{
public:
    cTabStrip *Add(TabStrip *tbs);
    cTabStrip *Item(const TabStrip *tabStripControl) const;
    qint16 Count() const { return static_cast<qint16>(m_strips.size()); }
    void clear() { m_strips.clear(); }

private:
    std::vector<std::unique_ptr<cTabStrip>> m_strips;
};

} // namespace ui
