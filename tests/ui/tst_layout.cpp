// The window's layout measured on the real widgets, offscreen: the plug-in
// started through Main for a controller of every kind of the demo network,
// in both languages, with the configuration bound as the program binds it
// (so the page logic hides the tabs each kind does not have). Every tab is
// chosen in turn and its place is measured against its page; the navigation
// captions are measured against their buttons.
#include "hostfixture.h"
#include "simserver.h"

#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>
#include <ui/monitoringbinding.h>

#include <QToolButton>
#include <QtTest>

namespace {

class LayoutFixture : public HostFixture
{
public:
    explicit LayoutFixture(int languageOffset)
    {
        platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                  QString::number(languageOffset));
        wireDemoNetwork(env.lnsRoot(), appFolder);
        host::Environment &e = host::state().env;
        e.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
            win = std::make_shared<ui::frmMain>();
            ui::bindConfiguration(*win);
            ui::bindMonitoring(*win);
            return win;
        };
    }
    ~LayoutFixture()
    {
        if (win) {
            win->setParametersChanged(false);
            win->hide();
        }
        if (!host::state().ending)
            host::EndApp();
        host::state().mainWindow.reset();
        win.reset();
    }
    void start(const QString &room)
    {
        host::Main({QStringLiteral("/COMMANDID:13/CLASSID:28/OBJECTNAME:Demo.Building.Floor1.%1.Controller").arg(room)});
    }
    std::shared_ptr<ui::frmMain> win;
};

// Vertical place of a widget's point in window coordinates.
int windowY(const QWidget *w, int y, const QWidget *window)
{
    return w->mapTo(window, QPoint(0, y)).y();
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tabsTouchTheirPage_data();
    void tabsTouchTheirPage();
    void navigationCaptionsFit_data();
    void navigationCaptionsFit();
};

void TestLayout::tabsTouchTheirPage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("room");
    QTest::addColumn<bool>("allTabs");
    for (const auto &[language, name] : {std::pair{0, "English"}, std::pair{1000, "German"}}) {
        for (int kind = 1; kind <= 5; ++kind) {
            const QString room = QStringLiteral("Room10%1").arg(kind);
            QTest::addRow("%s, kind %d", name, kind) << language << room << false;
        }
        // Every designed tab at once (the most any kind shows).
        QTest::addRow("%s, all nine tabs", name) << language << QStringLiteral("Room102") << true;
    }
}

void TestLayout::tabsTouchTheirPage()
{
    QFETCH(int, language);
    QFETCH(QString, room);
    QFETCH(bool, allTabs);
    LayoutFixture f(language);
    f.start(room);
    QVERIFY(f.win && f.win->isVisible());
    QCOMPARE(platform::languageOffset(), language);
    if (allTabs)
        f.win->tabStripRecord(0)->ShowTabs({0, 1, 3, 4, 5, 6, 7, 8, 9});

    for (int s = 0; s < 2; ++s) {
        f.win->navigationButtonClick(s);
        ui::TabStrip *strip = f.win->tabStrip(s);
        QCOMPARE(f.win->currentTabStrip(), strip);
        ui::TabRowBar *bar = strip->bar();
        const int n = strip->count();
        QVERIFY(n > 0);
        if (allTabs && s == 0)
            QCOMPARE(n, 9);

        QList<QRect> firstPlaces;
        for (int sel = 0; sel < n; ++sel) {
            strip->select(sel);
            const int pageNo = ui::keyNumber(strip->key(sel));
            QCOMPARE(f.win->currentPage(), pageNo);
            const QWidget *page = f.win->page(pageNo);
            QVERIFY(page->isVisible());

            // The chosen tab stands on its page: no gap between them.
            const QRect tab = bar->tabRect(sel);
            const int tabBottom = windowY(bar, tab.bottom() + 1, f.win.get());
            const int pageTop = windowY(page, 0, f.win.get());
            QVERIFY2(pageTop - tabBottom >= 0 && pageTop - tabBottom <= 3,
                     qPrintable(QStringLiteral("tab \"%1\": bottom %2, page top %3")
                                    .arg(strip->caption(sel))
                                    .arg(tabBottom)
                                    .arg(pageTop)));

            // Every tab in one row within the strip, each caption whole.
            QList<QRect> places;
            const QFontMetrics fm(bar->captionFont());
            for (int i = 0; i < n; ++i) {
                const QRect r = bar->tabRect(i);
                places << r;
                QCOMPARE(r.top(), tab.top());
                QVERIFY2(r.left() >= 0 && r.right() < bar->width(), qPrintable(strip->caption(i)));
                QVERIFY2(fm.size(Qt::TextShowMnemonic, strip->caption(i)).width() <= r.width() - 2,
                         qPrintable(strip->caption(i)));
                QVERIFY(fm.height() <= r.height());
            }
            // Choosing a tab moves no tab.
            if (sel == 0)
                firstPlaces = places;
            QCOMPARE(places, firstPlaces);
        }
        // The captions are not made smaller than the navigation captions.
        QVERIFY(bar->captionFont().pointSizeF() >= bar->font().pointSizeF() * 0.75);
    }
}

void TestLayout::navigationCaptionsFit_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("German") << 1000;
}

void TestLayout::navigationCaptionsFit()
{
    QFETCH(int, language);
    LayoutFixture f(language);
    f.start(QStringLiteral("Room101"));
    QVERIFY(f.win && f.win->isVisible());
    ui::NavigationBar *nav = f.win->navigationBar();
    QCOMPARE(nav->count(), 2);
    const QStringList expected{gLoadResString(1001), gLoadResString(1003)};
    for (int i = 0; i < nav->count(); ++i) {
        QToolButton *b = nav->buttonAt(i).widget;
        QVERIFY(b && b->isVisible());
        QCOMPARE(b->text(), expected.at(i));
        // The button is as wide as the style needs for picture and caption,
        // and the caption's text is narrower than the button's inside.
        QVERIFY2(b->sizeHint().width() <= b->width(),
                 qPrintable(QStringLiteral("%1: needs %2, has %3").arg(b->text()).arg(b->sizeHint().width()).arg(b->width())));
        const int textWidth = b->fontMetrics().horizontalAdvance(b->text());
        QVERIFY2(textWidth <= b->contentsRect().width() - 4,
                 qPrintable(QStringLiteral("%1: text %2, inside %3").arg(b->text()).arg(textWidth).arg(b->contentsRect().width())));
        // Within the bar.
        QVERIFY2(b->geometry().right() < nav->width(),
                 qPrintable(QStringLiteral("%1: right %2, bar width %3").arg(b->text()).arg(b->geometry().right()).arg(nav->width())));
    }
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
