#include "pages.h"

#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace ui {

namespace {

// The controller type page's picture: a drawn room controller front.
QPixmap controllerPicture()
{
    QPixmap pm(120, 150);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.setBrush(QColor(245, 245, 240));
    p.drawRoundedRect(QRectF(10, 5, 100, 140), 10, 10);
    p.setBrush(QColor(210, 210, 205));
    p.drawEllipse(QPointF(60, 60), 30, 30);
    p.setPen(QPen(QColor(60, 60, 60), 3));
    p.drawLine(QPointF(60, 60), QPointF(60, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 160, 0));
    p.drawEllipse(QPointF(40, 115), 5, 5);
    p.setBrush(QColor(200, 160, 0));
    p.drawEllipse(QPointF(60, 115), 5, 5);
    p.setBrush(QColor(190, 0, 0));
    p.drawEllipse(QPointF(80, 115), 5, 5);
    return pm;
}


struct TagIds
{
    int caption = 0;
    int tooltip = 0;
};

TagIds parseTag(const QString &tag)
{
    const QStringList parts = tag.split(QLatin1Char('/'));
    return {static_cast<int>(platform::leadingInt32(parts.value(0))),
            static_cast<int>(platform::leadingInt32(parts.value(1)))};
}

} // namespace

void buildPage(const PageDesign &design, QWidget *frame, QHash<QString, QWidget *> &arrays)
{
    for (const ControlDesign &c : design.controls) {
        QWidget *parent = frame;
        if (c.parent)
            parent = frame->findChild<QWidget *>(QString::fromLatin1(c.parent));
        QWidget *w = nullptr;
        QString kind;
        switch (c.kind) {
        case CtlKind::Label: {
            auto *l = new QLabel(parent);
            l->setWordWrap(c.h > 24);
            l->setAlignment(Qt::AlignLeft | (c.h > 24 ? Qt::AlignTop : Qt::AlignVCenter));
            if (c.name && QLatin1String(c.name) == QLatin1String("pic0")) {
                l->setPixmap(controllerPicture());
                l->setAlignment(Qt::AlignCenter);
                l->setFrameShape(QFrame::Box);
                kind = QStringLiteral("PictureBox");
            } else {
                kind = QStringLiteral("Label");
            }
            w = l;
            break;
        }
        case CtlKind::TextBox: {
            auto *e = new QLineEdit(parent);
            e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            w = e;
            kind = QStringLiteral("TextBox");
            break;
        }
        case CtlKind::ComboBox: {
            auto *cb = new QComboBox(parent);
            cb->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            w = cb;
            kind = QStringLiteral("ComboBox");
            break;
        }
        case CtlKind::CheckBox:
            w = new QCheckBox(parent);
            kind = QStringLiteral("CheckBox");
            break;
        case CtlKind::CommandButton:
            w = new QPushButton(parent);
            kind = QStringLiteral("CommandButton");
            break;
        case CtlKind::OptionButton:
            w = new QRadioButton(parent);
            kind = QStringLiteral("OptionButton");
            break;
        case CtlKind::Lines:
            w = new SectionLine(parent);
            kind = QStringLiteral("QXLines");
            break;
        case CtlKind::Shape:
            w = new IndicatorShape(parent);
            kind = QStringLiteral("Shape");
            break;
        case CtlKind::Group:
            w = new QGroupBox(parent);
            kind = QStringLiteral("Frame");
            break;
        case CtlKind::LogBox:
            w = new LogBox(parent);
            kind = QStringLiteral("QX_LogBox");
            break;
        }
        w->setGeometry(c.x, c.y, c.w, c.h);
        setControlKind(w, kind, QString::fromLatin1(c.tag));
        if (c.item > 1)
            w->setProperty("TagItem", c.item);
        if (c.index >= 0) {
            const QString name = arrayName(c.kind) + QString::number(c.index);
            w->setObjectName(name);
            w->setProperty("ArrayIndex", c.index);
            arrays.insert(name, w);
        } else if (c.name) {
            w->setObjectName(QString::fromLatin1(c.name));
        }
    }
}

void setCaptionOf(QWidget *w, const QString &text)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(text);
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setText(text);
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        g->setTitle(text);
    else if (auto *s = qobject_cast<SectionLine *>(w))
        s->setText(text);
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(text);
    else if (w->isWindow())
        w->setWindowTitle(text);
}

void loadControlCaption(QWidget *control, bool tooltips)
{
    const QString kind = controlKind(control);
    if (kind == QLatin1String("TabStrip")) {
        auto *strip = static_cast<TabStrip *>(control);
        for (int i = 0; i < strip->count(); ++i) {
            const TagIds ids = parseTag(strip->tag(i).toString());
            if (ids.caption > 0)
                strip->setCaption(i, gLoadResString(ids.caption));
            strip->setToolTipText(i, tooltips && ids.tooltip >= 1 ? gLoadResString(ids.tooltip) : QString());
        }
        return;
    }
    const TagIds ids = parseTag(controlTag(control));
    if (ids.caption > 0) {
        const int item = control->property("TagItem").isValid() ? control->property("TagItem").toInt() : 1;
        setCaptionOf(control, gLoadResString(ids.caption, item));
    }
    control->setToolTip(tooltips && ids.tooltip >= 1 ? gLoadResString(ids.tooltip) : QString());
}

void loadControlCaptions(QWidget *form, bool tooltips)
{
    const int formId = static_cast<int>(platform::leadingInt32(controlTag(form)));
    if (formId > 0)
        form->setWindowTitle(gLoadResString(formId));
    const QList<QWidget *> all = form->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (controlKind(w).isEmpty() || w->isWindow())
            continue;
        loadControlCaption(w, tooltips);
    }
}

QString controlCaption(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *s = qobject_cast<const SectionLine *>(w))
        return s->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return w->windowTitle();
}

} // namespace ui
