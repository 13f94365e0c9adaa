// The INI reader, on real files, and the shipped device template.
#include "testenv.h"

#include <platform/inifile.h>
#include <platform/tracelog.h>

#include <QtTest>

class TstIniFile : public QObject
{
    Q_OBJECT

    QString write(const QByteArray &content)
    {
        const QString path = m_env.file(QStringLiteral("t%1.ini").arg(++m_n));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }

    TestEnvironment m_env;
    int m_n = 0;

private slots:
    void exactSectionAndKeyTexts_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("section with trailing blank") << "CPs 1.0 " << "A" << "with blank";
        QTest::newRow("same name without blank") << "CPs 1.0" << "A" << "without blank";
        QTest::newRow("key is case-sensitive") << "CPs 1.0 " << "a" << "";
        QTest::newRow("key with blank") << "CPs 1.0 " << "B " << "blank key";
        QTest::newRow("value keeps later equals") << "CPs 1.0 " << "C" << "x=y";
        QTest::newRow("missing section") << "Nope" << "A" << "";
    }
    void exactSectionAndKeyTexts()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        platform::IniFile ini;
        QVERIFY(ini.setFileName(write("[CPs 1.0 ]\r\nA=with blank\r\nB =blank key\r\nC=x=y\r\n[CPs 1.0]\nA=without blank\n")));
        QCOMPARE(ini.value(section, key), expected);
    }

    void badLinesAreSkippedAndTraced()
    {
        platform::TraceLog::instance().clearRecent();
        platform::IniFile ini;
        QVERIFY(ini.setFileName(write("orphan=1\n[S]\nnot a pair\nK=v\n[broken\n=nokey\nL=w\n")));
        QCOMPARE(ini.value("S", "K"), QStringLiteral("v"));
        // "[broken" is not a section header: L still belongs to S.
        QCOMPARE(ini.value("S", "L"), QStringLiteral("w"));
        int skipped = 0;
        for (const QString &l : platform::TraceLog::instance().recent())
            skipped += l.startsWith(QStringLiteral("[QX_IniFile] skipped line")) ? 1 : 0;
        QCOMPARE(skipped, 4);
    }

    void missingFile()
    {
        platform::IniFile ini;
        QVERIFY(!ini.setFileName(m_env.file(QStringLiteral("none.ini"))));
        QVERIFY(!ini.exists());
        QCOMPARE(ini.value("S", "K"), QString());
        QCOMPARE(ini.fileName(), m_env.file(QStringLiteral("none.ini")));
    }

    void indexes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("tmpl");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("member");
        QTest::newRow("index and member") << "A" << "" << 5 << 2;
        QTest::newRow("index only") << "B" << "" << 7 << 0;
        QTest::newRow("absent") << "Z" << "" << -1 << -1;
        QTest::newRow("not numeric") << "N" << "" << -1 << -1;
        QTest::newRow("template override") << "A" << "T2" << 9 << 0;
        QTest::newRow("template removes") << "B" << "T2" << -1 << 0;
        QTest::newRow("other template falls back") << "A" << "T3" << 5 << 2;
    }
    void indexes()
    {
        QFETCH(QString, key);
        QFETCH(QString, tmpl);
        platform::IniFile ini;
        QVERIFY(ini.setFileName(write("[S ]\nA=5,2\nB=7\nN=x\n[T2|S ]\nA=9,0\nB=-1\n")));
        const auto idx = ini.indexes("S ", key, tmpl);
        QTEST(idx.index, "index");
        QTEST(idx.member, "member");
    }

    // The shipped template: five device templates, each with its CtrlType,
    // and every CP key the configuration pages rely on.
    void shippedTemplate()
    {
        platform::IniFile ini;
        QVERIFY(ini.setFileName(TestEnvironment::iniPath()));
        const auto templates = ini.templates();
        QCOMPARE(templates.size(), 5);
        const QString cps = QStringLiteral("norda AerolisController CPs 1.0 ");
        QSet<QString> programIds;
        for (int i = 0; i < templates.size(); ++i) {
            QCOMPARE(ini.value(cps, "CtrlType", templates[i].name).toInt(), i + 1);
            programIds << templates[i].programId;
        }
        QCOMPARE(programIds.size(), 5);
        for (const char *key : {"HvacAppMode", "NumValves", "SetPoints", "SettingHystHigh", "HeatXp"})
            QVERIFY2(ini.indexes(cps, key).index > 0, key);
        QVERIFY(ini.contains(QStringLiteral("norda AerolisController Help 1.0"), "HelpFilePath"));
        QVERIFY(ini.contains(QStringLiteral("norda AerolisController Apps 1.0 "), "App_1"));
        // Compatible program ids stay within one family.
        QVERIFY(ini.compatibleProgramIds(templates[0].programId).contains(templates[2].programId));
        QVERIFY(!ini.compatibleProgramIds(templates[0].programId).contains(templates[1].programId));
    }
};

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_inifile.moc"
