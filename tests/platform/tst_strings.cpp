// The compiled-in string table and gLoadResString.
#include <platform/resstrings.h>

#include <QRegularExpression>
#include <QtTest>

class TstStrings : public QObject
{
    Q_OBJECT
private slots:
    void init() { platform::setLanguageOffset(0); }

    void tableIsCompiledIn()
    {
        // Every English entry 1000..1858 the program uses must come with
        // its German partner; a table that failed to load has no entries.
        QVERIFY(platform::stringCount() > 200);
    }

    void load_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("expected");
        QTest::newRow("item 0 counts as 1") << 0 << 1373 << 0 << QStringLiteral("German");
        QTest::newRow("item 2 of a list") << 0 << 1373 << 2 << QStringLiteral("English");
        QTest::newRow("past the last item") << 0 << 1373 << 3 << QString();
        QTest::newRow("negative item") << 0 << 1373 << -1 << QString();
        QTest::newRow("missing id") << 0 << 1503 << 1 << QString();
        QTest::newRow("pilcrow becomes line break") << 0 << 1436 << 1
                                                    << QStringLiteral("The project can not be opened !\n\nPlease close some LNS applications (e.g. plug-ins) and retry.");
        QTest::newRow("placeholders are kept") << 0 << 1508 << 1
                                               << QStringLiteral("The LNS server can not be opened ! %1 is being closed.");
        QTest::newRow("menu accelerator") << 0 << 1371 << 7 << QStringLiteral("E&xit");
        QTest::newRow("item 3 of 1501") << 0 << 1501 << 3 << QStringLiteral("Reading configuration ...");
        QTest::newRow("16-bit overflow gives empty") << 1000 << 32000 << 1 << QString();
        QTest::newRow("wrong language offset gives empty") << 5000 << 1373 << 1 << QString();
    }
    void load()
    {
        QFETCH(int, offset);
        QFETCH(int, id);
        QFETCH(int, item);
        QFETCH(QString, expected);
        platform::setLanguageOffset(offset);
        QCOMPARE(gLoadResString(id, item), expected);
    }

    void itemZeroIsWrittenBack()
    {
        int item = 0;
        QCOMPARE(gLoadResString(1373, item), QStringLiteral("German"));
        QCOMPARE(item, 1);
        int kept = 2;
        gLoadResString(1373, kept);
        QCOMPARE(kept, 2);
    }

    void germanUsesOffset()
    {
        platform::setLanguageOffset(1000);
        const QString german = gLoadResString(1504, 2);
        platform::setLanguageOffset(0);
        const QString english = gLoadResString(1504, 2);
        QCOMPARE(english, QStringLiteral("Connecting to LNS server ..."));
        QCOMPARE(german, platform::rawString(2504).split(platform::kItemSeparator).value(1));
        QVERIFY(!german.isEmpty());
        QVERIFY(german != english);
    }

    // Each English entry has a German partner with the same list items,
    // placeholders and line breaks, so a list or a filled message never
    // loses a value when the language is switched.
    void germanPartnersMatch()
    {
        static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
        int pairs = 0;
        for (int id = 900; id <= 1999; ++id) {
            const QString en = platform::rawString(id);
            if (en.isEmpty())
                continue;
            const QString de = platform::rawString(id + 1000);
            QVERIFY2(!de.isEmpty(), qPrintable(QStringLiteral("no German text for %1").arg(id)));
            QCOMPARE(de.count(platform::kItemSeparator), en.count(platform::kItemSeparator));
            QCOMPARE(de.count(platform::kLineBreakMark), en.count(platform::kLineBreakMark));
            QStringList pe, pd;
            for (auto it = placeholder.globalMatch(en); it.hasNext();)
                pe << it.next().captured();
            for (auto it = placeholder.globalMatch(de); it.hasNext();)
                pd << it.next().captured();
            pe.sort();
            pd.sort();
            QCOMPARE(pd, pe);
            ++pairs;
        }
        QVERIFY(pairs > 100);
    }
};

QTEST_GUILESS_MAIN(TstStrings)
#include "tst_strings.moc"
