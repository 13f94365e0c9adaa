#include "infowindows.h"

#include <platform/resstrings.h>

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

HelpViewer::HelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setOpenLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    setWindowTitle(gLoadResString(1381));
    resize(720, 560);
}

bool HelpViewer::open(const QString &file, int context)
{
    const QFileInfo fi(file);
    if (!fi.isFile() || !fi.isReadable())
        return false;
    m_browser->setSearchPaths({fi.absolutePath()});
    QUrl url = QUrl::fromLocalFile(fi.absoluteFilePath());
    m_browser->setSource(url);
    if (context > 0) {
        const QString anchor = QStringLiteral("ctx") + QString::number(context);
        // A page without that topic stays at its top.
        if (m_browser->toHtml().contains(QStringLiteral("name=\"") + anchor + QLatin1Char('"')))
            m_browser->scrollToAnchor(anchor);
    }
    return true;
}

InfoWindow::InfoWindow(const QString &objectName, const QString &title, const QList<InfoLine> &lines,
                       const QStringList &footer, QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(objectName);
    setWindowTitle(title);
    auto *outer = new QHBoxLayout(this);
    auto *pic = new QLabel(this);
    pic->setObjectName(QStringLiteral("picInfo"));
    pic->setPixmap(aboutPicture());
    pic->setAlignment(Qt::AlignTop);
    outer->addWidget(pic);
    auto *right = new QVBoxLayout;
    outer->addLayout(right, 1);
    auto *grid = new QGridLayout;
    int row = 0;
    for (const InfoLine &l : lines) {
        auto *c = new QLabel(l.caption, this);
        auto *v = new QLabel(l.value, this);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        c->setObjectName(QStringLiteral("lblCaption%1").arg(row));
        v->setObjectName(QStringLiteral("lblValue%1").arg(row));
        if (l.caption.isEmpty()) {
            grid->addWidget(v, row, 0, 1, 2);
            delete c;
        } else {
            grid->addWidget(c, row, 0);
            grid->addWidget(v, row, 1);
        }
        ++row;
    }
    right->addLayout(grid);
    for (const QString &f : footer) {
        auto *l = new QLabel(f, this);
        l->setWordWrap(true);
        QFont small = l->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        l->setFont(small);
        right->addWidget(l);
    }
    right->addStretch(1);
    auto *close = new QPushButton(gLoadResString(1384), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    right->addLayout(buttons);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumWidth(460);
}

QString InfoWindow::text() const
{
    QStringList out;
    const auto labels = findChildren<QLabel *>();
    for (const QLabel *l : labels)
        if (!l->text().isEmpty())
            out << l->text();
    return out.join(QLatin1Char('\n'));
}

QPixmap aboutPicture()
{
    QPixmap pm(72, 72);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 92, 160));
    p.drawRoundedRect(QRectF(4, 4, 64, 64), 12, 12);
    p.setBrush(Qt::white);
    // A stylised air stream: three arcs.
    QPen pen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i)
        p.drawArc(QRectF(16, 18 + i * 12, 40, 18), 20 * 16, 140 * 16);
    return pm;
}

} // namespace ui
