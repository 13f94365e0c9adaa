// Small widgets of our own that stand in for the closed controls the main
// window is built from: the page frame, the captioned section line, the log
// list and the logger window, the button line with its status text, the
// navigation button bar, the tab strip with a client area, the blinking
// indicator shape and the menu bar with named tools.
//
// Every control carries two dynamic properties: "Tag" (the caption and
// tooltip ids, "captionId/tooltipId", read by the caption loading) and
// "TypeName" (the control kind, read by the caption loading and the styling
// walk).
#pragma once

#include <QAction>
#include <QColor>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QVariant>
#include <QWidget>

namespace ui {

// Window geometry of the program is given in twips; this platform works in
// pixels. 1440 twips per inch at 96 pixels per inch: 15 twips per pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPixels(int twips)
{
    // Rounded to the nearest pixel, halves away from zero.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// The two properties every control carries.
void setControlKind(QWidget *w, const QString &typeName, const QString &tag = QString());
QString controlKind(const QObject *w);
QString controlTag(const QObject *w);
void setControlTag(QObject *w, const QString &tag);

// A page: a plain frame that holds the controls of one tab.
class PageFrame : public QFrame
{
    Q_OBJECT
public:
    explicit PageFrame(QWidget *parent = nullptr);
};

// A captioned horizontal section line ("label line").
class SectionLine : public QWidget
{
    Q_OBJECT
public:
    explicit SectionLine(QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_caption->text(); }

private:
    QLabel *m_caption;
};

// A round indicator lamp whose fill colour the window sets.
class IndicatorShape : public QWidget
{
    Q_OBJECT
public:
    explicit IndicatorShape(QWidget *parent = nullptr);
    void setFillColor(const QColor &c);
    QColor fillColor() const { return m_fill; }
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor m_fill{Qt::darkGray};
};

// The log list: one entry per line, each with its colour and weight. The
// last line is brought into view once per batch of lines (when control
// returns to the event loop), and a hidden list does it when it is shown:
// bringing a line into view lays the whole list out, so doing it for every
// line made a long run's logging grow with the square of its lines.
class LogBox : public QListWidget
{
    Q_OBJECT
public:
    explicit LogBox(QWidget *parent = nullptr);
    void addLine(const QString &text, const QColor &color, bool bold);
    QString plainText() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void scrollToLastLine();
    bool m_scrollQueued = false;
    bool m_scrollWhenShown = false;
};

// The separate logger window: a log list in a window of its own.
class LoggerWindow : public QWidget
{
    Q_OBJECT
public:
    explicit LoggerWindow(QWidget *parent = nullptr);
    LogBox *log() const { return m_log; }

private:
    LogBox *m_log;
};

// The button line: OK, Cancel, Apply and the status text.
class ButtonLine : public QWidget
{
    Q_OBJECT
public:
    enum Button { OK = 1, Cancel = 2, Apply = 3 };
    explicit ButtonLine(QWidget *parent = nullptr);
    QPushButton *button(Button b) const;
    void setButtonCaption(Button b, const QString &text);
    // A status text; an alert is shown in red until the next text.
    void setStatus(const QString &text, bool alert = false);
    QString status() const { return m_status->text(); }
    bool statusIsAlert() const { return m_statusAlert; }

Q_SIGNALS:
    void buttonClicked(int button);

protected:
    void resizeEvent(QResizeEvent *) override;

private:
    QLabel *m_status;
    bool m_statusAlert = false;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QPushButton *m_apply;
};

// The navigation bar: one captioned group of buttons, each with a key (the
// tab strip it shows) and a tag (its caption id).
class NavigationBar : public QWidget
{
    Q_OBJECT
public:
    struct Button
    {
        QString key;
        QString tag;
        QString caption;
        QPointer<QToolButton> widget;
    };
    explicit NavigationBar(QWidget *parent = nullptr);
    void setGroupCaption(const QString &text);
    QString groupCaption() const { return m_group->text(); }
    QToolButton *addButton(const QString &key, const QString &tag, const QString &caption);
    void removeButton(int position);
    int count() const { return m_buttons.size(); }
    const Button &buttonAt(int position) const { return m_buttons.at(position); }
    void setButtonCaption(int position, const QString &caption);
    // Selects (checks) the button without running its click handling.
    void select(int position);
    int selected() const;

Q_SIGNALS:
    void buttonClicked(int position);

protected:
    void resizeEvent(QResizeEvent *) override { relayout(); }

private:
    // Caption size relative to the bar's font, the smallest size it may
    // shrink to (relative to that) and the step it shrinks by.
    static constexpr qreal kCaptionScale = 0.75;
    static constexpr qreal kSmallestCaptionScale = 0.8;
    static constexpr qreal kCaptionStep = 0.25;
    void relayout();
    void fitCaption(QToolButton *b) const;
    QLabel *m_group;
    QList<Button> m_buttons;
};

// The tabs of a tab strip, wrapped into as many rows as they need (the
// strips of this window hold more tabs than one row of the page width).
class TabRowBar : public QWidget
{
    Q_OBJECT
public:
    explicit TabRowBar(QWidget *parent = nullptr);
    int count() const { return m_tabs.size(); }
    int insertTab(int position, const QString &text);
    void removeTab(int position);
    QString tabText(int i) const { return m_tabs.value(i).text; }
    void setTabText(int i, const QString &text);
    QString tabToolTip(int i) const { return m_tabs.value(i).toolTip; }
    void setTabToolTip(int i, const QString &tip) { m_tabs[i].toolTip = tip; }
    QVariant tabData(int i) const { return m_tabs.value(i).data; }
    void setTabData(int i, const QVariant &data) { m_tabs[i].data = data; }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int i);
    // Height needed for the given width.
    int heightForWidth(int width) const override;
    // Rows the tabs take at the bar's width.
    int rowCount() const;
    int rowHeight() const;
    bool hasHeightForWidth() const override { return true; }
    QSize sizeHint() const override;
    QRect tabRect(int i) const;
    // The font the captions are drawn in (smaller when that keeps the tabs
    // in one row).
    QFont captionFont() const { return m_captionFont; }

Q_SIGNALS:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    bool event(QEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    struct Tab
    {
        QString text;
        QString toolTip;
        QVariant data;
    };
    struct Layout
    {
        QList<QRect> rects;
        int rows = 0;
        QFont font; // of the captions
    };
    // Places the tabs in a bar of the given size.
    Layout layoutTabs(int width, int barHeight) const;
    void relayoutTabs();
    QSize tabSize(const QString &text, const QFont &captionFont) const;
    QList<Tab> m_tabs;
    QList<QRect> m_rects;
    QFont m_captionFont;
    int m_current = -1;
};

// A tab strip: a row of tabs over a framed client area on which the window
// lays its pages. Each tab has a key ("KEY:" plus the page number), a
// caption, a tooltip and a tag.
class TabStrip : public QWidget
{
    Q_OBJECT
public:
    explicit TabStrip(QWidget *parent = nullptr);
    int count() const { return m_bar->count(); }
    QString key(int position) const;
    QString caption(int position) const { return m_bar->tabText(position); }
    QString toolTipText(int position) const { return m_bar->tabToolTip(position); }
    QVariant tag(int position) const;
    void setTag(int position, const QVariant &tag);
    void setCaption(int position, const QString &caption);
    void setToolTipText(int position, const QString &tip) { m_bar->setTabToolTip(position, tip); }
    int addTab(const QString &caption, const QString &key, const QString &toolTip, const QVariant &tag);
    int insertTab(int position, const QString &caption, const QString &key, const QString &toolTip,
                  const QVariant &tag);
    void removeTab(int position);
    // Rows of tabs the strip keeps room for even when fewer are needed, so
    // that the client area stays put while tabs come and go.
    void setMinimumRows(int rows);
    int indexOfKey(const QString &key) const;
    int selectedIndex() const { return m_bar->currentIndex(); }
    // Selects a tab; the strip's click is raised when the selection changes.
    void select(int position) { m_bar->setCurrentIndex(position); }
    QStringList keys() const;
    TabRowBar *bar() const { return m_bar; }
    // The client area below the tabs, in the parent's coordinates.
    QRect clientArea() const;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    void fitBar();
    TabRowBar *m_bar;
    int m_minimumRows = 1;
};

// The number after the colon of a tab key; 0 when there is none.
int keyNumber(const QString &key);

// The menu bar: bands (drop-down menus) and tools, each found by its name.
class ActiveBar : public QObject
{
    Q_OBJECT
public:
    explicit ActiveBar(QMenuBar *bar);
    QMenuBar *menuBar() const { return m_bar; }
    // A band by name ("File", "Help", "Extras", "Language").
    QMenu *band(const QString &name) const { return m_bands.value(name); }
    QMenu *addBand(const QString &name, QMenu *parentBand = nullptr);
    QAction *addTool(const QString &name, QMenu *band);
    QAction *addSeparator(const QString &name, QMenu *band);
    // A tool by name: the tools of every band and the bands' own entries.
    QAction *tool(const QString &name) const { return m_tools.value(name); }
    QStringList toolNames() const { return m_order; }

Q_SIGNALS:
    void toolClick(const QString &name);

private:
    QMenuBar *m_bar;
    QHash<QString, QMenu *> m_bands;
    QHash<QString, QAction *> m_tools;
    QStringList m_order;
};

} // namespace ui
