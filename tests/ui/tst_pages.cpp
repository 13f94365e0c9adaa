// The pages: every control the pages are known to hold exists under its
// object name on the right page, controls do not overlap or leave their
// page, and the styling walk colours the page elements by the Qt style.
#include "uifixture.h"

#include <ui/pages.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>

using ui::frmMain;

class TestPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controlOnItsPage_data();
    void controlOnItsPage();
    void arrayLookup();
    void noOverlapOnAnyPage_data();
    void noOverlapOnAnyPage();
    void styling_data();
    void styling();
    void defaultFrameWidth();
};

void TestPages::controlOnItsPage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("className");
    auto rows = [](const QString &array, QList<int> indexes, int page, const char *cls) {
        for (int i : indexes) {
            const QString name = array + QString::number(i);
            QTest::newRow(qPrintable(name)) << name << page << QString::fromLatin1(cls);
        }
    };
    // Controller type.
    rows(QStringLiteral("ComboBox"), {0}, 0, "QComboBox");
    QTest::newRow("fraHvacAppMode") << "fraHvacAppMode" << 0 << "QGroupBox";
    // Setpoints.
    rows(QStringLiteral("TextBox"), {3, 4, 5, 6, 7, 8, 9, 10, 11}, 1, "QLineEdit");
    rows(QStringLiteral("ComboBox"), {8}, 1, "QComboBox");
    rows(QStringLiteral("QXLines"), {20}, 1, "ui::SectionLine");
    rows(QStringLiteral("Label"), {72}, 1, "QLabel");
    // Controlling and monitoring.
    rows(QStringLiteral("ComboBox"), {1, 9}, 2, "QComboBox");
    rows(QStringLiteral("cmdButton"), {0, 3}, 2, "QPushButton");
    rows(QStringLiteral("TextBox"), {12, 13, 14, 15, 16, 17, 18, 19, 34}, 2, "QLineEdit");
    rows(QStringLiteral("shpButton"), {0, 1, 2}, 2, "ui::IndicatorShape");
    rows(QStringLiteral("Label"), {30}, 2, "QLabel");
    // Heating.
    rows(QStringLiteral("ComboBox"), {2}, 3, "QComboBox");
    rows(QStringLiteral("TextBox"), {20, 21}, 3, "QLineEdit");
    rows(QStringLiteral("Label"), {20}, 3, "QLabel");
    rows(QStringLiteral("cmdButton"), {1}, 3, "QPushButton");
    // Reheating.
    rows(QStringLiteral("ComboBox"), {3}, 4, "QComboBox");
    rows(QStringLiteral("TextBox"), {22, 23}, 4, "QLineEdit");
    rows(QStringLiteral("CheckBox"), {2}, 4, "QCheckBox");
    // Cooling.
    rows(QStringLiteral("ComboBox"), {4}, 5, "QComboBox");
    rows(QStringLiteral("TextBox"), {24, 25, 26}, 5, "QLineEdit");
    rows(QStringLiteral("Label"), {40, 69, 70}, 5, "QLabel");
    rows(QStringLiteral("CheckBox"), {3}, 5, "QCheckBox");
    rows(QStringLiteral("QXLines"), {19}, 5, "ui::SectionLine");
    rows(QStringLiteral("cmdButton"), {2}, 5, "QPushButton");
    // Ventilation.
    rows(QStringLiteral("CheckBox"), {5, 6}, 6, "QCheckBox");
    rows(QStringLiteral("TextBox"), {27, 28, 29, 30}, 6, "QLineEdit");
    rows(QStringLiteral("ComboBox"), {5, 6}, 6, "QComboBox");
    rows(QStringLiteral("Label"), {49, 50, 27, 29}, 6, "QLabel");
    // Fan.
    rows(QStringLiteral("ComboBox"), {7}, 7, "QComboBox");
    rows(QStringLiteral("TextBox"), {31, 32, 33}, 7, "QLineEdit");
    rows(QStringLiteral("CheckBox"), {4}, 7, "QCheckBox");
    // Nv timing.
    rows(QStringLiteral("CheckBox"), {0, 1}, 8, "QCheckBox");
    rows(QStringLiteral("TextBox"), {0, 1, 2}, 8, "QLineEdit");
    rows(QStringLiteral("Label"), {21, 37}, 8, "QLabel");
    // Logger.
    QTest::newRow("QxLogBox") << "QxLogBox" << 9 << "ui::LogBox";
}

void TestPages::controlOnItsPage()
{
    QFETCH(QString, name);
    QFETCH(int, page);
    QFETCH(QString, className);
    UiFixture f;
    frmMain &w = f.load();
    const auto found = w.findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *c = found.first();
    QCOMPARE(QString::fromLatin1(c->metaObject()->className()), className);
    QWidget *frame = c->parentWidget();
    while (frame && !frame->objectName().startsWith(QLatin1String("QXFrame")))
        frame = frame->parentWidget();
    QVERIFY(frame);
    QCOMPARE(frame, w.page(page));
}

void TestPages::arrayLookup()
{
    UiFixture f;
    frmMain &w = f.load();
    QCOMPARE(w.control(QStringLiteral("TextBox"), 27), w.findChild<QWidget *>(QStringLiteral("TextBox27")));
    QVERIFY(w.control<QLineEdit>(QStringLiteral("TextBox"), 27));
    QVERIFY(!w.control<QComboBox>(QStringLiteral("TextBox"), 27));
    QVERIFY(!w.control(QStringLiteral("TextBox"), 35));
    QVERIFY(!w.control(QStringLiteral("Nothing"), 0));
    QCOMPARE(w.control(QStringLiteral("QXFrame"), 2), w.page(2));
    QCOMPARE(w.control(QStringLiteral("TabStrip"), 1), w.tabStrip(1));
    // Every text box 0..34 exists exactly once.
    for (int i = 0; i <= 34; ++i)
        QVERIFY2(w.control<QLineEdit>(QStringLiteral("TextBox"), i), qPrintable(QString::number(i)));
    for (int i = 0; i <= 9; ++i)
        QVERIFY(w.control<QComboBox>(QStringLiteral("ComboBox"), i));
    for (int i = 0; i <= 6; ++i)
        QVERIFY(w.control<QCheckBox>(QStringLiteral("CheckBox"), i));
    for (int i = 0; i <= 3; ++i)
        QVERIFY(w.control<QPushButton>(QStringLiteral("cmdButton"), i));
}

void TestPages::noOverlapOnAnyPage_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("language");
    for (const ui::PageDesign &p : ui::pageTable())
        for (int lang : {0, 1000})
            QTest::newRow(qPrintable(QStringLiteral("page %1, offset %2").arg(p.page).arg(lang))) << p.page << lang;
}

void TestPages::noOverlapOnAnyPage()
{
    QFETCH(int, page);
    QFETCH(int, language);
    UiFixture f;
    platform::setLanguageOffset(language);
    frmMain &w = f.show();
    w.navigationBar()->select(0);
    if (page == 2) {
        w.showTabStrip(1);
    } else {
        w.showTabStrip(0);
        w.tabStrip(0)->select(w.tabStrip(0)->indexOfKey(QStringLiteral("KEY:") + QString::number(page)));
    }
    w.showPage(page);
    QWidget *frame = w.page(page);
    QVERIFY(frame->isVisible());
    QList<QWidget *> controls;
    for (QObject *o : frame->children())
        if (auto *c = qobject_cast<QWidget *>(o); c && !ui::controlKind(c).isEmpty())
            controls << c;
    QVERIFY(!controls.isEmpty());
    for (int i = 0; i < controls.size(); ++i) {
        const QRect r = controls.at(i)->geometry();
        QVERIFY2(frame->rect().contains(r), qPrintable(controls.at(i)->objectName()));
        for (int j = i + 1; j < controls.size(); ++j)
            QVERIFY2(!r.intersects(controls.at(j)->geometry()),
                     qPrintable(controls.at(i)->objectName() + QLatin1String(" / ") + controls.at(j)->objectName()));
    }
}

void TestPages::styling_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("visual");
    QTest::newRow("Fusion: themed") << "Fusion" << true;
    QTest::newRow("Windows: classic") << "Windows" << false;
}

void TestPages::styling()
{
    QFETCH(QString, style);
    QFETCH(bool, visual);
    if (!QStyleFactory::keys().contains(style, Qt::CaseInsensitive))
        QSKIP("style not available");
    const QString before = QApplication::style()->name();
    QApplication::setStyle(style);
    UiFixture f;
    frmMain &w = f.show();
    QCOMPARE(w.visualStyle(), visual);
    const QColor expected = visual ? w.palette().color(QPalette::Base) : w.palette().color(QPalette::Button);
    QCOMPARE(w.pageColor(), expected);
    for (const char *name : {"Label49", "CheckBox5", "cmdButton1", "QXLines19", "fraHvacAppMode", "pic0", "QXFrame3"}) {
        QWidget *c = w.findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(c, name);
        QVERIFY2(c->autoFillBackground(), name);
        QCOMPARE(c->palette().color(QPalette::Window), expected);
    }
    // Text boxes and lists keep their own colours.
    QVERIFY(!w.findChild<QWidget *>(QStringLiteral("TextBox27"))->autoFillBackground());
    QVERIFY(!w.findChild<QWidget *>(QStringLiteral("ComboBox5"))->autoFillBackground());
    // The picture loses its border.
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("pic0"))->frameShape(), QFrame::NoFrame);
    // Tab strip width: page width plus 45 (3 px) themed, 30 (2 px) classic.
    QCOMPARE(w.tabStrip(0)->width(), ui::twipsToPixels(frmMain::kPageWidthTwips) + (visual ? 3 : 2));
    QApplication::setStyle(before);
}

void TestPages::defaultFrameWidth()
{
    UiFixture f;
    frmMain &w = f.load();
    w.styleWindow(frmMain::kPageHeightTwips, 2, 0);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(w.page(i)->width(), 5100 / 15);
    QCOMPARE(w.page(0)->height(), 6120 / 15);
    // Each extra row of tabs adds 270 twips (18 px) to the strips.
    const int h2 = w.tabStrip(0)->height();
    w.styleWindow(frmMain::kPageHeightTwips, 3, 0);
    QCOMPARE(w.tabStrip(0)->height(), h2 + 18);
}

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
