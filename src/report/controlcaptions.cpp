#include "controlcaptions.h"

#include <model/pagemodel.h>
#include <model/pagetable.h>

#include <QHash>
#include <QRect>

#include <algorithm>

namespace report {

namespace {

using model::ControlKind;

// A designed control with its rectangle on the page (a control in a group
// is placed relative to the group).
struct Placed
{
    QString name;
    ControlKind kind;
    QRect rect;
    QString parent;
};

using PageIndex = QHash<int, QVector<Placed>>;

const PageIndex &pages()
{
    static const PageIndex index = [] {
        PageIndex out;
        for (const model::PageDesign &page : model::pageTable()) {
            QHash<QString, QPoint> groups;
            for (const model::ControlDesign &c : page.controls)
                if (c.kind == ControlKind::Group && c.name)
                    groups.insert(QString::fromLatin1(c.name), QPoint(c.x, c.y));
            for (const model::ControlDesign &c : page.controls) {
                const QString parent = c.parent ? QString::fromLatin1(c.parent) : QString();
                const QPoint origin = groups.value(parent);
                out[page.page] << Placed{c.objectName(), c.kind, QRect(origin.x() + c.x, origin.y() + c.y, c.w, c.h),
                                         parent};
            }
        }
        return out;
    }();
    return index;
}

// The page model the control belongs to: states are owned per page by an
// object the model owns.
const model::PageModel *modelOf(const model::ControlState &control)
{
    const QObject *owner = control.parent();
    return owner ? qobject_cast<const model::PageModel *>(owner->parent()) : nullptr;
}

QString cleaned(QString text)
{
    text.remove(QLatin1Char('&'));
    text = text.simplified();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

bool sameRow(const QRect &a, const QRect &b)
{
    const int middle = a.center().y();
    return middle >= b.top() && middle <= b.bottom();
}

bool isCaption(ControlKind k)
{
    return k == ControlKind::Label || k == ControlKind::CheckBox;
}

} // namespace

QString ControlPlace::label() const
{
    if (frame.isEmpty() || caption.isEmpty() || frame == caption)
        return caption.isEmpty() ? frame : caption;
    return frame + QStringLiteral(" / ") + caption;
}

ControlPlace placeOf(const model::ControlState &control)
{
    ControlPlace place;
    const QVector<Placed> controls = pages().value(control.page());
    const model::PageModel *model = modelOf(control);
    const auto textOf = [model](const QString &name) {
        const model::ControlState *s = model ? model->named(name) : nullptr;
        return s ? cleaned(s->text()) : QString();
    };
    const auto self = std::find_if(controls.cbegin(), controls.cend(),
                                   [&control](const Placed &p) { return p.name == control.objectName(); });
    if (self == controls.cend())
        return place;
    const QRect at = self->rect;
    place.order = at.top() * 1000 + at.left();

    // The captions left of it on its row, left to right; a check box or an
    // option button is its own caption.
    QVector<const Placed *> beside;
    if (self->kind == ControlKind::CheckBox || self->kind == ControlKind::OptionButton) {
        place.caption = cleaned(control.text());
    } else {
        for (const Placed &p : controls)
            if (isCaption(p.kind) && p.parent == self->parent && p.rect.right() < at.left() && sameRow(at, p.rect))
                beside << &p;
        std::sort(beside.begin(), beside.end(), [](const Placed *a, const Placed *b) { return a->rect.left() < b->rect.left(); });
        QStringList parts;
        for (const Placed *p : beside)
            if (const QString t = textOf(p->name); !t.isEmpty())
                parts << t;
        place.caption = parts.join(QLatin1Char(' '));
    }

    // The frame: the group it sits in, else the section line above it, else
    // the check box an indented row depends on.
    if (!self->parent.isEmpty()) {
        place.frame = textOf(self->parent);
        return place;
    }
    const int captionLeft = beside.isEmpty() ? at.left() : beside.first()->rect.left();
    const Placed *section = nullptr;
    const Placed *governing = nullptr;
    for (const Placed &p : controls) {
        if (p.rect.top() >= at.top() || !p.parent.isEmpty())
            continue;
        if (p.kind == ControlKind::Lines && (!section || p.rect.top() > section->rect.top()))
            section = &p;
        if (p.kind == ControlKind::CheckBox && p.rect.left() < captionLeft
            && (!governing || p.rect.top() > governing->rect.top()))
            governing = &p;
    }
    if (const Placed *frame = section ? section : governing)
        place.frame = textOf(frame->name);
    return place;
}

} // namespace report
