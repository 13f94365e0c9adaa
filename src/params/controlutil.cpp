#include "controlutil.h"

#include "paramenums.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <QVariant>
#include <QWidget>

namespace params {

namespace {

const char *const kColorProperty = "aerolisTextColor";
const char *const kBackgroundProperty = "aerolisBackground";

QColor fromColorValue(int v)
{
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// The roles a control draws its text with: edit fields and lists use Text,
// check boxes and option buttons WindowText and ButtonText.
QList<QPalette::ColorRole> textRoles(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return {QPalette::WindowText, QPalette::ButtonText, QPalette::Text};
    return {QPalette::Text, QPalette::ButtonText, QPalette::WindowText};
}

} // namespace

int textColor(const QWidget *w)
{
    if (!w)
        return 0;
    const QVariant v = w->property(kColorProperty);
    return v.isValid() ? v.toInt() : 0;
}

void setTextColor(QWidget *w, int color)
{
    if (!w || textColor(w) == color)
        return;
    QPalette pal = w->palette();
    const QPalette normal = QApplication::palette(w);
    for (QPalette::ColorRole role : textRoles(w)) {
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            if (color == 0)
                pal.setColor(g, role, normal.color(g, role));
            else
                pal.setColor(g, role, fromColorValue(color));
        }
    }
    w->setPalette(pal);
    w->setProperty(kColorProperty, color == 0 ? QVariant() : QVariant(color));
}

void markRange(QWidget *w, bool outside)
{
    setTextColor(w, outside ? kColorRed : 0);
}

void setBackground(QWidget *w, Background b)
{
    if (!w)
        return;
    QPalette pal = w->palette();
    const QPalette normal = QApplication::palette(w);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base,
                     b == Background::ButtonFace ? normal.color(g, QPalette::Button) : normal.color(g, QPalette::Base));
    }
    w->setPalette(pal);
    w->setProperty(kBackgroundProperty, b == Background::ButtonFace ? QStringLiteral("buttonface") : QString());
}

Background background(const QWidget *w)
{
    return w && w->property(kBackgroundProperty).toString() == QLatin1String("buttonface") ? Background::ButtonFace
                                                                                            : Background::Window;
}

int selectByItemData(QComboBox *combo, int data, bool skipMarkedInvalid)
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

QString controlTag(const QObject *control)
{
    return control ? control->property("Tag").toString() : QString();
}

void setControlTag(QObject *control, const QString &tag)
{
    if (control)
        control->setProperty("Tag", tag);
}

int controlIndex(const QObject *control)
{
    if (!control)
        return -1;
    const QVariant p = control->property("Index");
    if (p.isValid())
        return p.toInt();
    const QString name = control->objectName();
    int i = name.size();
    while (i > 0 && name.at(i - 1).isDigit())
        --i;
    if (i == name.size())
        return -1;
    return name.mid(i).toInt();
}

QWidget *findControl(QWidget *root, const QString &arrayName, int index)
{
    if (!root)
        return nullptr;
    const QString name = arrayName + QString::number(index);
    if (root->objectName() == name)
        return root;
    return root->findChild<QWidget *>(name);
}

} // namespace params
