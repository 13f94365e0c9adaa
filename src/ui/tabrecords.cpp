#include "tabrecords.h"

namespace ui {

cTab *cTabs::Add(const TabStrip &strip, int position)
{
    auto tab = std::make_unique<cTab>();
    tab->m_parent = this;
    tab->m_index = static_cast<qint16>(position + 1);
    tab->m_key = strip.key(position);
    tab->m_caption = strip.caption(position);
    tab->m_toolTip = strip.toolTipText(position);
    tab->m_tag = strip.tag(position);
    m_tabs.push_back(std::move(tab));
    return m_tabs.back().get();
}

cTab *cTabs::Item(int index) const
{
    for (const auto &t : m_tabs)
        if (t->Index() == index)
            return t.get();
    return nullptr;
}

cTab *cTabs::ItemByKey(const QString &key) const
{
    for (const auto &t : m_tabs)
        if (t->Key() == key)
            return t.get();
    return nullptr;
}

void cTabs::HideTabByKeyNo(int keyNo)
{
    TabStrip *strip = m_parent->control();
    if (!strip)
        return;
    for (int i = 0; i < strip->count(); ++i) {
        if (keyNumber(strip->key(i)) == keyNo) {
            strip->removeTab(i);
            return;
        }
    }
}

void cTabs::ShowTabByKeyNo(int keyNo)
{
    TabStrip *strip = m_parent->control();
    if (!strip)
        return;
    const QString key = QStringLiteral("KEY:") + QString::number(keyNo);
    const cTab *record = ItemByKey(key);
    if (!record || strip->indexOfKey(key) >= 0)
        return;

    // The first shown tab that was designed after this one marks the place.
    int place = strip->count();
    for (int p = 0; p < strip->count() && place == strip->count(); ++p) {
        const QString shownKey = strip->key(p);
        for (const auto &later : m_tabs) {
            if (later->Index() > record->Index() && later->Key() == shownKey) {
                place = p;
                break;
            }
        }
    }
    strip->insertTab(place, record->Caption(), record->Key(), record->ToolTipText(), record->Tag());
}

cTabStrip::cTabStrip(TabStrip *control, cTabStrips *parent)
    : m_control(control)
    , m_parent(parent)
    , m_tabs(std::make_unique<cTabs>(this))
{
}

void cTabStrip::ShowTabs(const QList<int> &tabKeys)
{
    if (!m_control)
        return;
    QStringList remove;
    for (int i = 0; i < m_control->count(); ++i)
        if (!tabKeys.contains(keyNumber(m_control->key(i))))
            remove << m_control->key(i);
    for (const QString &k : std::as_const(remove)) {
        const int i = m_control->indexOfKey(k);
        if (i >= 0)
            m_control->removeTab(i);
    }
    for (int keyNo : tabKeys)
        m_tabs->ShowTabByKeyNo(keyNo);
}

cTabStrip *cTabStrips::Add(TabStrip *tbs)
{
    auto strip = std::make_unique<cTabStrip>(tbs, this);
    for (int i = 0; i < tbs->count(); ++i)
        strip->Tabs()->Add(*tbs, i);
    m_strips.push_back(std::move(strip));
    return m_strips.back().get();
}

cTabStrip *cTabStrips::Item(const TabStrip *tabStripControl) const
{
    for (const auto &s : m_strips)
        if (s->control() == tabStripControl)
            return s.get();
    return nullptr;
}

} // namespace ui
