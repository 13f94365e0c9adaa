// What the built `aerolis` loads: the headless tool is a Qt Core program and
// never brings in the window's libraries (Qt Gui only through the PDF module,
// when it renders). Checked on the binary as built,
// with the dynamic loader's own list (ldd), so a library that arrives
// through any of the linked libraries counts too.
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TestCliLinkage : public QObject
{
    Q_OBJECT

    // The libraries the loader resolves for the tool ("libQt6Core", ...).
    static QStringList loadedLibraries()
    {
        // AEROLIS_LINKAGE_TOOL checks another build of the tool.
        QString tool = qEnvironmentVariable("AEROLIS_LINKAGE_TOOL");
        if (tool.isEmpty())
            tool = QStringLiteral(AEROLIS_TOOL);
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {tool});
        if (!ldd.waitForFinished(30000) || ldd.exitCode() != 0)
            return {};
        QStringList names;
        static const QRegularExpression soName(QStringLiteral("^\\s*(\\S+?)\\.so"));
        for (const QString &line : QString::fromLocal8Bit(ldd.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = soName.match(line);
            if (m.hasMatch())
                names << m.captured(1);
        }
        return names;
    }

private Q_SLOTS:
    void libraries_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<bool>("loaded");
        // What every command needs.
        QTest::newRow("Qt Core") << QStringLiteral("libQt6Core") << true;
        QTest::newRow("Qt Sql (network database)") << QStringLiteral("libQt6Sql") << true;
        // The window's libraries; Qt Gui comes with the PDF module, only
        // when a PDF is written.
        QTest::newRow("Qt Gui") << QStringLiteral("libQt6Gui") << false;
        QTest::newRow("Qt Widgets") << QStringLiteral("libQt6Widgets") << false;
        QTest::newRow("Qt Charts") << QStringLiteral("libQt6Charts") << false;
        QTest::newRow("Qt Print Support") << QStringLiteral("libQt6PrintSupport") << false;
    }
    void libraries()
    {
        QFETCH(QString, library);
        QFETCH(bool, loaded);
        const QStringList all = loadedLibraries();
        QVERIFY2(!all.isEmpty(), "ldd could not list the tool's libraries");
        QCOMPARE(all.contains(library), loaded);
    }
};

QTEST_GUILESS_MAIN(TestCliLinkage)
#include "tst_cli_linkage.moc"
