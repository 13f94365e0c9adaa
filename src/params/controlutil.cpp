#include "controlutil.h"

#include "paramenums.h"

#include <QSignalBlocker>
#include <QVariant>

namespace params {

int textColor(const ControlState *c)
{
    return c ? c->textColor() : 0;
}

void setTextColor(ControlState *c, int color)
{
    if (c)
        c->setTextColor(color);
}

void markRange(ControlState *c, bool outside)
{
    setTextColor(c, outside ? kColorRed : 0);
}

void setBackground(ControlState *c, Background b)
{
    if (c)
        c->setBackground(b);
}

Background background(const ControlState *c)
{
    return c ? c->background() : Background::Window;
}

int selectByItemData(ControlState *combo, int data, bool skipMarkedInvalid)
{
    if (!combo)
        return -1;
    int found = -1;
    for (int i = 0; i < combo->count(); ++i) {
        if (skipMarkedInvalid && combo->itemData(i, kInvalidEntryRole).toBool())
            continue;
        const QVariant d = combo->itemData(i);
        if (d.isValid() && d.toInt() == data) {
            found = i;
            break;
        }
    }
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(found);
    return found;
}

QString controlTag(const ControlState *control)
{
    return control ? control->tag() : QString();
}

void setControlTag(ControlState *control, const QString &tag)
{
    if (control)
        control->setTag(tag);
}

int controlIndex(const ControlState *control)
{
    return control ? control->index() : -1;
}

} // namespace params
