#include "controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace ui {

void setControlKind(QWidget *w, const QString &typeName, const QString &tag)
{
    w->setProperty("TypeName", typeName);
    if (!tag.isNull())
        w->setProperty("Tag", tag);
}

QString controlKind(const QObject *w)
{
    return w->property("TypeName").toString();
}

QString controlTag(const QObject *w)
{
    return w->property("Tag").toString();
}

void setControlTag(QObject *w, const QString &tag)
{
    w->setProperty("Tag", tag);
}

PageFrame::PageFrame(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setControlKind(this, QStringLiteral("Frame"), QStringLiteral("0"));
}

SectionLine::SectionLine(QWidget *parent)
    : QWidget(parent)
    , m_caption(new QLabel(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QFont f = m_caption->font();
    f.setBold(true);
    m_caption->setFont(f);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(m_caption);
    layout->addWidget(line, 1);
    setControlKind(this, QStringLiteral("QXLines"));
}

void SectionLine::setText(const QString &text)
{
    m_caption->setText(text);
    m_caption->setVisible(!text.isEmpty());
}

IndicatorShape::IndicatorShape(QWidget *parent)
    : QWidget(parent)
{
    setControlKind(this, QStringLiteral("Shape"));
}

void IndicatorShape::setFillColor(const QColor &c)
{
    m_fill = c;
    update();
}

void IndicatorShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_fill);
    const int d = qMin(width(), height()) - 2;
    p.drawEllipse(QRectF(1, 1, d, d));
}

LogBox::LogBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setUniformItemSizes(true);
    setControlKind(this, QStringLiteral("QX_LogBox"));
}

void LogBox::addLine(const QString &text, const QColor &color, bool bold)
{
    auto *item = new QListWidgetItem(text, this);
    item->setForeground(color);
    if (bold) {
        QFont f = font();
        f.setBold(true);
        item->setFont(f);
    }
    scrollToBottom();
}

QString LogBox::plainText() const
{
    QStringList lines;
    for (int i = 0; i < count(); ++i)
        lines << item(i)->text();
    return lines.join(QLatin1Char('\n'));
}

LoggerWindow::LoggerWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_log(new LogBox(this))
{
    setObjectName(QStringLiteral("QxLogger"));
    m_log->setObjectName(QStringLiteral("QxLoggerList"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_log);
    resize(560, 360);
}

ButtonLine::ButtonLine(QWidget *parent)
    : QWidget(parent)
    , m_status(new QLabel(this))
    , m_ok(new QPushButton(this))
    , m_cancel(new QPushButton(this))
    , m_apply(new QPushButton(this))
{
    setObjectName(QStringLiteral("QXButtonLine"));
    setControlKind(this, QStringLiteral("QXButtonLine"));
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_apply->setObjectName(QStringLiteral("cmdApply"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { Q_EMIT buttonClicked(OK); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Q_EMIT buttonClicked(Cancel); });
    connect(m_apply, &QPushButton::clicked, this, [this] { Q_EMIT buttonClicked(Apply); });
}

QPushButton *ButtonLine::button(Button b) const
{
    switch (b) {
    case OK:
        return m_ok;
    case Cancel:
        return m_cancel;
    case Apply:
        return m_apply;
    }
    return nullptr;
}

void ButtonLine::setButtonCaption(Button b, const QString &text)
{
    button(b)->setText(text);
}

void ButtonLine::setStatus(const QString &text)
{
    m_status->setText(text);
}

void ButtonLine::resizeEvent(QResizeEvent *)
{
    // Status text on the left, the three buttons right-aligned.
    const int margin = 4;
    const int bw = 84;
    const int bh = qMin(height() - 2 * margin, 26);
    const int y = (height() - bh) / 2;
    int x = width() - margin - bw;
    for (QPushButton *b : {m_apply, m_cancel, m_ok}) {
        b->setGeometry(x, y, bw, bh);
        x -= bw + 6;
    }
    m_status->setGeometry(margin, y, qMax(0, x + bw - margin - 6), bh);
}

NavigationBar::NavigationBar(QWidget *parent)
    : QWidget(parent)
    , m_group(new QLabel(this))
{
    setObjectName(QStringLiteral("ButtonBar"));
    setControlKind(this, QStringLiteral("JSBtnBar"));
    m_group->setObjectName(QStringLiteral("ButtonBarGroup"));
    m_group->setAlignment(Qt::AlignCenter);
    m_group->setFrameShape(QFrame::StyledPanel);
    m_group->setFrameShadow(QFrame::Raised);
    QFont f = m_group->font();
    f.setBold(true);
    m_group->setFont(f);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Mid));
    setPalette(pal);
}

void NavigationBar::setGroupCaption(const QString &text)
{
    m_group->setText(text);
}

QToolButton *NavigationBar::addButton(const QString &key, const QString &tag, const QString &caption)
{
    auto *b = new QToolButton(this);
    b->setObjectName(QStringLiteral("ButtonBarButton") + key);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setText(caption);
    b->show();
    m_buttons.append(Button{key, tag, caption, b});
    connect(b, &QToolButton::clicked, this, [this, b] {
        for (int i = 0; i < m_buttons.size(); ++i) {
            if (m_buttons.at(i).widget == b) {
                select(i);
                Q_EMIT buttonClicked(i);
                return;
            }
        }
    });
    relayout();
    return b;
}

void NavigationBar::removeButton(int position)
{
    if (position < 0 || position >= m_buttons.size())
        return;
    delete m_buttons.at(position).widget.data();
    m_buttons.removeAt(position);
    relayout();
}

void NavigationBar::setButtonCaption(int position, const QString &caption)
{
    m_buttons[position].caption = caption;
    if (m_buttons.at(position).widget)
        m_buttons.at(position).widget->setText(caption);
}

void NavigationBar::select(int position)
{
    for (int i = 0; i < m_buttons.size(); ++i)
        if (m_buttons.at(i).widget)
            m_buttons.at(i).widget->setChecked(i == position);
}

int NavigationBar::selected() const
{
    for (int i = 0; i < m_buttons.size(); ++i)
        if (m_buttons.at(i).widget && m_buttons.at(i).widget->isChecked())
            return i;
    return -1;
}

void NavigationBar::relayout()
{
    const int w = qMax(width(), 80);
    m_group->setGeometry(0, 0, w, 24);
    int y = 32;
    for (const Button &b : std::as_const(m_buttons)) {
        if (!b.widget)
            continue;
        b.widget->setGeometry(4, y, w - 8, 48);
        y += 54;
    }
}

TabStrip::TabStrip(QWidget *parent)
    : QWidget(parent)
    , m_bar(new QTabBar(this))
{
    setControlKind(this, QStringLiteral("TabStrip"));
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(true);
    m_bar->setElideMode(Qt::ElideNone);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int) { Q_EMIT clicked(); });
}

QString TabStrip::key(int position) const
{
    return m_bar->tabData(position).toMap().value(QStringLiteral("key")).toString();
}

QVariant TabStrip::tag(int position) const
{
    return m_bar->tabData(position).toMap().value(QStringLiteral("tag"));
}

void TabStrip::setTag(int position, const QVariant &tag)
{
    QVariantMap m = m_bar->tabData(position).toMap();
    m.insert(QStringLiteral("tag"), tag);
    m_bar->setTabData(position, m);
}

int TabStrip::addTab(const QString &caption, const QString &key, const QString &toolTip, const QVariant &tag)
{
    return insertTab(count(), caption, key, toolTip, tag);
}

int TabStrip::insertTab(int position, const QString &caption, const QString &key, const QString &toolTip,
                        const QVariant &tag)
{
    // Inserting must not move the selection: the page shown stays the same.
    const QSignalBlocker block(m_bar);
    const int i = m_bar->insertTab(position, caption);
    m_bar->setTabToolTip(i, toolTip);
    m_bar->setTabData(i, QVariantMap{{QStringLiteral("key"), key}, {QStringLiteral("tag"), tag}});
    return i;
}

int TabStrip::indexOfKey(const QString &key) const
{
    for (int i = 0; i < count(); ++i)
        if (this->key(i) == key)
            return i;
    return -1;
}

QStringList TabStrip::keys() const
{
    QStringList k;
    for (int i = 0; i < count(); ++i)
        k << key(i);
    return k;
}

QRect TabStrip::clientArea() const
{
    const int top = m_bar->sizeHint().height();
    return QRect(x() + 2, y() + top + 2, qMax(0, width() - 4), qMax(0, height() - top - 4));
}

void TabStrip::resizeEvent(QResizeEvent *)
{
    m_bar->setGeometry(0, 0, width(), m_bar->sizeHint().height());
}

void TabStrip::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(this);
    const int top = m_bar->sizeHint().height();
    opt.rect = QRect(0, top - 1, width(), height() - top + 1);
    opt.lineWidth = 1;
    opt.shape = QTabBar::RoundedNorth;
    opt.tabBarSize = m_bar->sizeHint();
    p.drawPrimitive(QStyle::PE_FrameTabWidget, opt);
}

int keyNumber(const QString &key)
{
    const int colon = key.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return 0;
    bool ok = false;
    const int n = key.mid(colon + 1).trimmed().toInt(&ok);
    return ok ? n : 0;
}

ActiveBar::ActiveBar(QMenuBar *bar)
    : QObject(bar)
    , m_bar(bar)
{
    bar->setObjectName(QStringLiteral("MainMenu"));
    setObjectName(QStringLiteral("ActiveBar"));
}

QMenu *ActiveBar::addBand(const QString &name, QMenu *parentBand)
{
    QMenu *menu = parentBand ? parentBand->addMenu(QString()) : m_bar->addMenu(QString());
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_bands.insert(name, menu);
    m_tools.insert(name, menu->menuAction());
    m_order << name;
    return menu;
}

QAction *ActiveBar::addTool(const QString &name, QMenu *band)
{
    auto *a = new QAction(band ? static_cast<QObject *>(band) : static_cast<QObject *>(m_bar));
    a->setObjectName(name);
    if (band)
        band->addAction(a);
    else
        m_bar->addAction(a);
    connect(a, &QAction::triggered, this, [this, name] { Q_EMIT toolClick(name); });
    m_tools.insert(name, a);
    m_order << name;
    return a;
}

QAction *ActiveBar::addSeparator(const QString &name, QMenu *band)
{
    QAction *a = band->addSeparator();
    a->setObjectName(name);
    m_tools.insert(name, a);
    m_order << name;
    return a;
}

} // namespace ui
