// The plug-in registrar on a real registry file: the identity under the
// product's own key, and the one-time move of identities that an earlier
// version left at its former place.
#include "testenv.h"

#include <platform/registrar.h>
#include <platform/registry.h>

#include <QFile>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kIdentity = QStringLiteral("Identity");

// Entries as "progId/value=text".
void store(const QString &key, const QStringList &entries)
{
    for (const QString &e : entries) {
        const qsizetype slash = e.indexOf(QLatin1Char('/'));
        const qsizetype eq = e.indexOf(QLatin1Char('='));
        platform::Registry::write(key + QLatin1Char('\\') + e.left(slash), kIdentity,
                                  e.mid(slash + 1, eq - slash - 1), e.mid(eq + 1));
    }
}

// Every identity value below key, as "progId/value=text", sorted.
QStringList stored(const QString &key)
{
    QStringList out;
    for (const QString &progId : platform::Registry::childKeys(key)) {
        for (const QString &section : platform::Registry::childKeys(key + QLatin1Char('\\') + progId)) {
            QSettings s(platform::Registry::fileName(), QSettings::IniFormat);
            QString group = key + QLatin1Char('\\') + progId + QLatin1Char('\\') + section;
            group.replace(QLatin1Char('\\'), QLatin1Char('/'));
            s.beginGroup(group);
            for (const QString &value : s.childKeys())
                out << progId + QLatin1Char('/') + value + QLatin1Char('=') + s.value(value).toString();
        }
    }
    out.sort();
    return out;
}

} // namespace

class TstRegistrar : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> m_env;

private Q_SLOTS:
    void init()
    {
        // A registry of its own for every case.
        m_env = std::make_unique<TestEnvironment>();
    }

    void keyIsTheProductsOwn()
    {
        QCOMPARE(platform::kPlugInsKey, QStringLiteral("SOFTWARE\\norda\\Plug-ins"));
        QCOMPARE(platform::PlugInRegistrar::identityKey(QStringLiteral("nordaQRT.Application")),
                 QStringLiteral("SOFTWARE\\norda\\Plug-ins\\nordaQRT.Application"));
    }

    void earlierIdentitiesMoveOnce_data()
    {
        QTest::addColumn<QStringList>("earlier");
        QTest::addColumn<QStringList>("current");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QStringList>("expected");

        const QStringList earlierIdentity{"nordaQRT.Application/ProgIdPrefix=nordaQRT",
                                          "nordaQRT.Application/ClassName=Application",
                                          "nordaQRT.Application/Version=1.2"};
        QTest::newRow("found by a network tool after the move")
            << earlierIdentity << QStringList() << "lookup" << true
            << QStringList{"nordaQRT.Application/ClassName=Application", "nordaQRT.Application/ProgIdPrefix=nordaQRT",
                           "nordaQRT.Application/Version=1.2"};
        QTest::newRow("registering writes the new place only")
            << earlierIdentity << QStringList() << "register" << true
            << QStringList{"nordaQRT.Application/ClassName=Application",
                           "nordaQRT.Application/ItemOrder=ProgIdPrefix,ClassName,Version",
                           "nordaQRT.Application/ProgIdPrefix=nordaQRT", "nordaQRT.Application/Version=1.3"};
        QTest::newRow("unregistering leaves nothing at either place")
            << earlierIdentity << QStringList() << "unregister" << false << QStringList();
        QTest::newRow("a value at the new place is the newer one")
            << earlierIdentity << QStringList{"nordaQRT.Application/Version=1.3"} << "lookup" << true
            << QStringList{"nordaQRT.Application/ClassName=Application", "nordaQRT.Application/ProgIdPrefix=nordaQRT",
                           "nordaQRT.Application/Version=1.3"};
        QTest::newRow("every earlier identity moves")
            << QStringList{"otherQRT.Application/ProgIdPrefix=otherQRT", "otherQRT.Application/Version=2.0"}
            << QStringList() << "lookup" << false
            << QStringList{"otherQRT.Application/ProgIdPrefix=otherQRT", "otherQRT.Application/Version=2.0"};
        QTest::newRow("nothing earlier, nothing made up")
            << QStringList() << QStringList() << "lookup" << false << QStringList();
    }
    void earlierIdentitiesMoveOnce()
    {
        QFETCH(QStringList, earlier);
        QFETCH(QStringList, current);
        QFETCH(QString, operation);
        QFETCH(bool, registered);
        QFETCH(QStringList, expected);
        store(platform::kEarlierPlugInsKey, earlier);
        store(platform::kPlugInsKey, current);
        const QString progId = QStringLiteral("nordaQRT.Application");

        if (operation == QLatin1String("register")) {
            platform::PlugInRegistrar r;
            r.setItem(QStringLiteral("ProgIdPrefix"), QStringLiteral("nordaQRT"));
            r.setItem(QStringLiteral("ClassName"), QStringLiteral("Application"));
            r.setItem(QStringLiteral("Version"), QStringLiteral("1.3"));
            QVERIFY(r.registerPlugIn());
        } else if (operation == QLatin1String("unregister")) {
            QVERIFY(platform::PlugInRegistrar().unregisterPlugIn(QStringLiteral("nordaQRT")));
        }
        QCOMPARE(platform::PlugInRegistrar::isRegistered(progId), registered);
        QCOMPARE(stored(platform::kPlugInsKey), expected);
        // The earlier place is gone, and the move is not made again.
        QVERIFY(platform::Registry::childKeys(platform::kEarlierPlugInsKey).isEmpty());
        QCOMPARE(platform::PlugInRegistrar::moveEarlierRegistrations(), 0);
        QCOMPARE(stored(platform::kPlugInsKey), expected);
    }

    // Registering the identity it holds already leaves the registry file as
    // it is (each run of the plug-in registers; a report of many controllers
    // registers once per controller); a changed item is written.
    void unchangedIdentityIsNotRewritten_data()
    {
        QTest::addColumn<QString>("secondVersion");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("same identity") << "1.3" << false;
        QTest::newRow("new version") << "1.4" << true;
    }

    void unchangedIdentityIsNotRewritten()
    {
        QFETCH(QString, secondVersion);
        QFETCH(bool, rewritten);
        const auto registrar = [](const QString &version) {
            platform::PlugInRegistrar r;
            r.setItem(QStringLiteral("ProgIdPrefix"), QStringLiteral("nordaQRT"));
            r.setItem(QStringLiteral("ClassName"), QStringLiteral("Application"));
            r.setItem(QStringLiteral("Version"), version);
            return r;
        };
        QVERIFY(registrar(QStringLiteral("1.3")).registerPlugIn());
        // A file written anew is a new file (written aside, then renamed).
        const auto fileId = [] {
            struct stat st {};
            return ::stat(QFile::encodeName(platform::Registry::fileName()).constData(), &st) == 0 ? qint64(st.st_ino) : -1;
        };
        const qint64 before = fileId();
        QVERIFY(before != -1);
        QVERIFY(registrar(secondVersion).registerPlugIn());
        QCOMPARE(fileId() != before, rewritten);
        QCOMPARE(stored(platform::kPlugInsKey),
                 (QStringList{QStringLiteral("nordaQRT.Application/ClassName=Application"),
                              QStringLiteral("nordaQRT.Application/ItemOrder=ProgIdPrefix,ClassName,Version"),
                              QStringLiteral("nordaQRT.Application/ProgIdPrefix=nordaQRT"),
                              QStringLiteral("nordaQRT.Application/Version=") + secondVersion}));
    }

    // Values of other keys are not touched by the move.
    void otherKeysStay()
    {
        platform::Registry::write(QStringLiteral("SOFTWARE\\norda\\vlink Register"), QStringLiteral("Options"),
                                  QStringLiteral("Language"), QStringLiteral("1000"));
        store(platform::kEarlierPlugInsKey, {QStringLiteral("nordaQRT.Application/Version=1.2")});
        QVERIFY(platform::PlugInRegistrar::moveEarlierRegistrations() > 0);
        QCOMPARE(platform::Registry::read(QStringLiteral("SOFTWARE\\norda\\vlink Register"), QStringLiteral("Options"),
                                          QStringLiteral("Language")),
                 QStringLiteral("1000"));
        QCOMPARE(stored(platform::kPlugInsKey), QStringList{QStringLiteral("nordaQRT.Application/Version=1.2")});
        QVERIFY(stored(platform::kEarlierPlugInsKey).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstRegistrar)
#include "tst_registrar.moc"
