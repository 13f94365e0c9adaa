#include "pagemodel.h"

#include "pagetable.h"

#include <platform/resstrings.h>
#include <platform/stringutil.h>

namespace model {

PageModel::PageModel(QObject *parent) : QObject(parent)
{
    for (const PageDesign &page : pageTable()) {
        // One owner per page: option buttons of one page are exclusive, as
        // the buttons of one frame are.
        auto *owner = new QObject(this);
        for (const ControlDesign &c : page.controls) {
            const QString name = c.objectName();
            if (name.isEmpty())
                continue;
            auto *s = new ControlState(c.kind, name, page.page, owner);
            // A named control ("pic0") is no array member, whatever its name ends with.
            s->setIndex(c.index);
            m_byName.insert(name, s);
            m_ordered << s;
            const int captionId =
                static_cast<int>(platform::leadingInt32(QString::fromLatin1(c.tag).section(QLatin1Char('/'), 0, 0)));
            if (captionId > 0)
                m_captionIds.insert(s, {captionId, c.item});
        }
    }
    keepDesign();
}

ControlState *PageModel::control(const QString &arrayName, int index) const
{
    return named(arrayName + QString::number(index));
}

ControlState *PageModel::named(const QString &name) const
{
    return m_byName.value(name);
}

void PageModel::loadCaptions()
{
    for (auto it = m_captionIds.cbegin(); it != m_captionIds.cend(); ++it) {
        // Text boxes and lists show values, not captions.
        const ControlKind k = it.key()->kind();
        if (k == ControlKind::TextBox || k == ControlKind::ComboBox)
            continue;
        it.key()->setText(gLoadResString(it.value().first, it.value().second));
    }
    keepDesign();
}

void PageModel::keepDesign()
{
    m_design.clear();
    m_design.reserve(m_ordered.size());
    for (const ControlState *s : qAsConst(m_ordered))
        m_design << s->values();
}

void PageModel::resetToDesign()
{
    for (int i = 0; i < m_ordered.size(); ++i)
        m_ordered.at(i)->restore(m_design.at(i));
}

} // namespace model
