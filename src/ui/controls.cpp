#include "controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QToolTip>

#include <limits>

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
    scrollToLastLine();
}

void LogBox::scrollToLastLine()
{
    if (!isVisible()) {
        m_scrollWhenShown = true;
        return;
    }
    if (m_scrollQueued)
        return;
    m_scrollQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scrollQueued = false;
            scrollToBottom();
        },
        Qt::QueuedConnection);
}

void LogBox::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
    if (m_scrollWhenShown) {
        m_scrollWhenShown = false;
        scrollToBottom();
        // Once more after the list has its final size.
        scrollToLastLine();
    }
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

void ButtonLine::setStatus(const QString &text, bool alert)
{
    m_statusAlert = alert;
    m_status->setStyleSheet(alert ? QStringLiteral("color: #ff0000;") : QString());
    m_status->setText(text);
}

void ButtonLine::resizeEvent(QResizeEvent *)
{
    // Status text on the left, the three buttons right-aligned.
    const int margin = 4;
    int bw = 84;
    for (const QPushButton *b : {m_ok, m_cancel, m_apply})
        bw = qMax(bw, b->sizeHint().width());
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

namespace {

// The navigation buttons' pictures: sliders for configuration, a dial for
// controlling.
QIcon navigationIcon(const QString &key)
{
    QPixmap pm(28, 28);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0, 92, 160);
    if (key == QLatin1String("0")) {
        p.setPen(QPen(QColor(90, 90, 90), 2));
        for (int i = 0; i < 3; ++i)
            p.drawLine(7 + i * 7, 4, 7 + i * 7, 24);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        const int knobs[] = {16, 8, 19};
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(3.5 + i * 7, knobs[i] - 2.5, 7, 5));
    } else {
        p.setPen(QPen(QColor(90, 90, 90), 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(3, 3, 22, 22));
        p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 14), QPointF(20, 8));
    }
    return QIcon(pm);
}

} // namespace

QToolButton *NavigationBar::addButton(const QString &key, const QString &tag, const QString &caption)
{
    auto *b = new QToolButton(this);
    b->setIcon(navigationIcon(key));
    b->setIconSize(QSize(28, 28));
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
    if (QToolButton *b = m_buttons.at(position).widget) {
        b->setText(caption);
        fitCaption(b);
    }
}

void NavigationBar::fitCaption(QToolButton *b) const
{
    // The caption stays on one line inside the button: from the bar's
    // caption size the font steps down until the style's size for the
    // picture and the text fits the button's width.
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * kCaptionScale);
    const qreal smallest = f.pointSizeF() * kSmallestCaptionScale;
    b->setFont(f);
    while (b->sizeHint().width() > b->width() && f.pointSizeF() - kCaptionStep >= smallest) {
        f.setPointSizeF(f.pointSizeF() - kCaptionStep);
        b->setFont(f);
    }
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
        b.widget->setGeometry(1, y, w - 2, 56);
        fitCaption(b.widget);
        y += 62;
    }
}

TabStrip::TabStrip(QWidget *parent)
    : QWidget(parent)
    , m_bar(new TabRowBar(this))
{
    setControlKind(this, QStringLiteral("TabStrip"));
    connect(m_bar, &TabRowBar::currentChanged, this, [this](int) { Q_EMIT clicked(); });
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
    fitBar();
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

void TabStrip::setCaption(int position, const QString &caption)
{
    m_bar->setTabText(position, caption);
    fitBar();
}

void TabStrip::removeTab(int position)
{
    m_bar->removeTab(position);
    fitBar();
}

void TabStrip::setMinimumRows(int rows)
{
    m_minimumRows = qMax(1, rows);
    fitBar();
}

void TabStrip::fitBar()
{
    const int h = qMax(m_bar->heightForWidth(width()), m_minimumRows * m_bar->rowHeight());
    m_bar->setGeometry(0, 0, width(), h);
    update();
}

QRect TabStrip::clientArea() const
{
    const int top = m_bar->height();
    return QRect(x() + 2, y() + top + 2, qMax(0, width() - 4), qMax(0, height() - top - 4));
}

void TabStrip::resizeEvent(QResizeEvent *)
{
    fitBar();
}

void TabStrip::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(this);
    const int top = m_bar->height();
    opt.rect = QRect(0, top - 1, width(), height() - top + 1);
    opt.lineWidth = 1;
    opt.shape = QTabBar::RoundedNorth;
    opt.tabBarSize = QSize(width(), top);
    p.drawPrimitive(QStyle::PE_FrameTabWidget, opt);
}

TabRowBar::TabRowBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TabRows"));
    setMouseTracking(false);
    setFocusPolicy(Qt::TabFocus);
}

int TabRowBar::rowHeight() const
{
    return tabSize(QStringLiteral("X"), font()).height();
}

QSize TabRowBar::tabSize(const QString &text, const QFont &captionFont) const
{
    // As the style sizes a tab of a plain tab bar.
    QStyleOptionTab opt;
    opt.initFrom(this);
    opt.shape = QTabBar::RoundedNorth;
    opt.text = text;
    const QFontMetrics fm(captionFont);
    const int hframe = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &opt, this);
    const int vframe = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &opt, this);
    const QSize contents(fm.size(Qt::TextShowMnemonic, text).width() + hframe, fm.height() + vframe);
    return style()->sizeFromContents(QStyle::CT_TabBarTab, &opt, contents, this);
}

namespace {

// Room left and right of a tab's text when the tabs of a row are narrowed
// to fit the strip's width.
constexpr int kCompactTabPadding = 4;
// Caption sizes (relative to the bar's font) tried in turn to keep every
// tab in one row; the smallest is still the size of the navigation
// captions. Tabs that do not fit even then go into balanced rows.
constexpr qreal kOneRowCaptionScales[] = {1.0, 0.95, 0.9, 0.85, 0.8};

// Splits the tab widths (design order) into `rows` consecutive rows so that
// the widest row is as narrow as possible; answers where each row starts.
// Strips hold at most a dozen tabs, so every split is tried.
QList<int> balancedRowStarts(const QList<int> &widths, int rows)
{
    const int n = int(widths.size());
    rows = qBound(1, rows, qMax(1, n));
    QList<int> prefix{0};
    for (int w : widths)
        prefix << prefix.last() + w;
    // best[r][i]: narrowest widest row when the first i tabs fill r rows.
    const int kNone = std::numeric_limits<int>::max();
    QList<QList<int>> best(rows + 1, QList<int>(n + 1, kNone));
    QList<QList<int>> cut(rows + 1, QList<int>(n + 1, 0));
    best[0][0] = 0;
    for (int r = 1; r <= rows; ++r) {
        for (int i = r; i <= n; ++i) {
            for (int j = r - 1; j < i; ++j) {
                if (best[r - 1][j] == kNone)
                    continue;
                const int widest = qMax(best[r - 1][j], prefix[i] - prefix[j]);
                if (widest < best[r][i]) {
                    best[r][i] = widest;
                    cut[r][i] = j;
                }
            }
        }
    }
    QList<int> starts;
    for (int r = rows, i = n; r > 0; --r) {
        i = cut[r][i];
        starts.prepend(i);
    }
    if (starts.isEmpty())
        starts << 0;
    return starts;
}

// Widths of one row's tabs so that the row is exactly `width` wide: narrow
// tabs give up padding in proportion to what they have; a row of a strip
// with several rows is stretched to the full width, as multi-row tab
// controls do. A single row that fits keeps the tabs' own widths.
QList<int> fitRow(const QList<int> &natural, const QList<int> &compact, int width, bool stretch)
{
    int naturalSum = 0, compactSum = 0;
    for (int i = 0; i < natural.size(); ++i) {
        naturalSum += natural.at(i);
        compactSum += compact.at(i);
    }
    QList<int> out = natural;
    if (naturalSum > width) {
        const int room = qMax(0, width - compactSum);
        const int spare = naturalSum - compactSum;
        for (int i = 0; i < out.size(); ++i)
            out[i] = compact.at(i) + (spare > 0 ? (natural.at(i) - compact.at(i)) * room / spare : 0);
    } else if (stretch) {
        const int extra = width - naturalSum;
        for (int i = 0; i < out.size(); ++i)
            out[i] += extra / int(out.size());
    } else {
        return out;
    }
    // Rounding left over goes to the row's last tab.
    int sum = 0;
    for (int w : std::as_const(out))
        sum += w;
    if (!out.isEmpty() && (sum < width || naturalSum > width))
        out.last() += width - sum;
    return out;
}

} // namespace

TabRowBar::Layout TabRowBar::layoutTabs(int width, int barHeight) const
{
    // The tabs in design order in one row, their captions narrowed to their
    // text and then made smaller step by step when needed; only when that is
    // not enough in rows, as few as they fit in and balanced so that no tab
    // is left alone on a row of its own. The tabs sit at the bottom of the
    // bar, and of several rows the one holding the selected tab lies next
    // to the page, so that the selected tab always touches its page.
    Layout out;
    const int n = int(m_tabs.size());
    out.font = font();
    if (n == 0)
        return out;
    auto widthsFor = [&](const QFont &f, QList<int> &natural, QList<int> &compact) {
        natural.clear();
        compact.clear();
        const QFontMetrics fm(f);
        for (const Tab &t : m_tabs) {
            natural << tabSize(t.text, f).width();
            compact << qMin(natural.last(), fm.size(Qt::TextShowMnemonic, t.text).width() + 2 * kCompactTabPadding);
        }
    };
    auto sum = [](const QList<int> &w, int from, int to) {
        int total = 0;
        for (int i = from; i < to; ++i)
            total += w.at(i);
        return total;
    };
    QList<int> natural, compact;
    QList<int> starts;
    for (qreal scale : kOneRowCaptionScales) {
        QFont f = font();
        f.setPointSizeF(font().pointSizeF() * scale);
        widthsFor(f, natural, compact);
        if (sum(compact, 0, n) <= width) {
            out.font = f;
            starts = {0};
            break;
        }
    }
    if (starts.isEmpty()) {
        widthsFor(font(), natural, compact);
        for (int rows = 2; rows <= n; ++rows) {
            starts = balancedRowStarts(natural, rows);
            bool fits = true;
            for (int r = 0; r < starts.size() && fits; ++r) {
                const int to = r + 1 < starts.size() ? starts.at(r + 1) : n;
                fits = sum(compact, starts.at(r), to) <= width || to - starts.at(r) == 1;
            }
            if (fits)
                break;
        }
    }
    out.rows = int(starts.size());
    const int h = rowHeight();
    const int top = qMax(0, barHeight - out.rows * h);
    const int selected = qBound(0, m_current, n - 1);
    int selectedRow = 0;
    for (int r = 0; r < out.rows; ++r)
        if (selected >= starts.at(r))
            selectedRow = r;
    out.rects.resize(n);
    for (int r = 0; r < out.rows; ++r) {
        const int from = starts.at(r);
        const int to = r + 1 < out.rows ? starts.at(r + 1) : n;
        const QList<int> widths =
            fitRow(natural.mid(from, to - from), compact.mid(from, to - from), width, out.rows > 1);
        // The selected row goes last; the rows after it move up by one.
        const int visualRow = r == selectedRow ? out.rows - 1 : (r > selectedRow ? r - 1 : r);
        int x = 0;
        for (int i = from; i < to; ++i) {
            out.rects[i] = QRect(x, top + visualRow * h, widths.at(i - from), h);
            x += widths.at(i - from);
        }
    }
    return out;
}

void TabRowBar::relayoutTabs()
{
    const Layout l = layoutTabs(width(), height());
    m_rects = l.rects;
    m_captionFont = l.font;
    update();
}

int TabRowBar::rowCount() const
{
    return layoutTabs(width(), height()).rows;
}

int TabRowBar::heightForWidth(int width) const
{
    return qMax(1, layoutTabs(width, 0).rows) * rowHeight();
}

QSize TabRowBar::sizeHint() const
{
    return {width(), heightForWidth(width())};
}

QRect TabRowBar::tabRect(int i) const
{
    return m_rects.value(i);
}

int TabRowBar::insertTab(int position, const QString &text)
{
    position = qBound(0, position, m_tabs.size());
    m_tabs.insert(position, Tab{text, QString(), QVariant()});
    // The selected tab stays the selected one.
    if (m_current < 0)
        m_current = 0;
    else if (position <= m_current)
        ++m_current;
    relayoutTabs();
    return position;
}

void TabRowBar::removeTab(int position)
{
    if (position < 0 || position >= m_tabs.size())
        return;
    m_tabs.removeAt(position);
    relayoutTabs();
    if (position < m_current) {
        --m_current;
    } else if (position == m_current) {
        // The tab that took its place (or the new last one) is selected.
        m_current = m_tabs.isEmpty() ? -1 : qMin(position, m_tabs.size() - 1);
        relayoutTabs();
        Q_EMIT currentChanged(m_current);
    }
}

void TabRowBar::setTabText(int i, const QString &text)
{
    if (i < 0 || i >= m_tabs.size())
        return;
    m_tabs[i].text = text;
    relayoutTabs();
}

void TabRowBar::setCurrentIndex(int i)
{
    if (i < 0 || i >= m_tabs.size() || i == m_current)
        return;
    m_current = i;
    relayoutTabs();
    Q_EMIT currentChanged(i);
}

void TabRowBar::resizeEvent(QResizeEvent *)
{
    relayoutTabs();
}

void TabRowBar::mousePressEvent(QMouseEvent *e)
{
    for (int i = 0; i < m_rects.size(); ++i) {
        if (m_rects.at(i).contains(e->position().toPoint())) {
            setCurrentIndex(i);
            return;
        }
    }
}

bool TabRowBar::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        auto *he = static_cast<QHelpEvent *>(e);
        for (int i = 0; i < m_rects.size(); ++i) {
            if (m_rects.at(i).contains(he->pos())) {
                if (!m_tabs.at(i).toolTip.isEmpty())
                    QToolTip::showText(he->globalPos(), m_tabs.at(i).toolTip, this);
                return true;
            }
        }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void TabRowBar::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    // The selected tab is drawn last so that it lies over its neighbours.
    QList<int> order;
    for (int i = 0; i < m_tabs.size(); ++i)
        if (i != m_current)
            order << i;
    if (m_current >= 0)
        order << m_current;
    for (int i : std::as_const(order)) {
        QStyleOptionTab opt;
        opt.initFrom(this);
        opt.shape = QTabBar::RoundedNorth;
        opt.text = m_tabs.at(i).text;
        opt.rect = m_rects.value(i);
        const bool first = i == 0 || m_rects.value(i - 1).y() != opt.rect.y();
        const bool last = i == m_tabs.size() - 1 || m_rects.value(i + 1).y() != opt.rect.y();
        opt.position = first && last ? QStyleOptionTab::OnlyOneTab
            : first                  ? QStyleOptionTab::Beginning
            : last                   ? QStyleOptionTab::End
                                     : QStyleOptionTab::Middle;
        if (i == m_current)
            opt.state |= QStyle::State_Selected;
        else
            opt.state &= ~QStyle::State_Selected;
        if (!isEnabled())
            opt.state &= ~QStyle::State_Enabled;
        opt.state &= ~QStyle::State_HasFocus;
        // The shape by the style; the caption centred in the tab, so that a
        // tab narrowed to its text keeps the whole text.
        p.drawControl(QStyle::CE_TabBarTabShape, opt);
        p.setFont(m_captionFont);
        QRect text = opt.rect.adjusted(kCompactTabPadding / 2, 0, -kCompactTabPadding / 2, 0);
        if (i != m_current)
            text.translate(0, style()->pixelMetric(QStyle::PM_TabBarTabShiftVertical, &opt, this));
        style()->drawItemText(&p, text, Qt::AlignCenter | Qt::TextShowMnemonic, opt.palette, isEnabled(),
                              opt.text, QPalette::WindowText);
    }
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
