// Handles of the simulated object server (objects handed from one process
// to another) and the project registrations kept in the network database.
#include "simfixture.h"

#include <lnssim/handles.h>
#include <lnssim/projectregistrations.h>

#include <QCryptographicHash>
#include <QtTest>

namespace {

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

lnssim::PlugInRegistration registration(const QString &templateName, int commandId, const QString &name)
{
    lnssim::PlugInRegistration r;
    r.templateName = templateName;
    r.programId = QStringLiteral("90:00:9D:51:0A:04:04:01");
    r.registrationNumber = 4;
    r.name = name;
    r.commandId = commandId;
    r.classId = 28;
    r.description = QStringLiteral("d");
    r.manufacturerId = QStringLiteral("0009D");
    r.progIdPrefix = QStringLiteral("nordaQRT");
    r.className = QStringLiteral("Application");
    r.version = QStringLiteral("1.3");
    return r;
}

} // namespace

class TstHandles : public QObject
{
    Q_OBJECT
private slots:
    // A handle made in one process resolves, through another object server
    // (as in the plug-in's process), to the same network database object.
    void roundTrip_data()
    {
        QTest::addColumn<int>("classId");
        QTest::newRow("object server") << 0;
        QTest::newRow("network") << 1;
        QTest::newRow("system") << 3;
        QTest::newRow("subsystem") << 5;
        QTest::newRow("device") << 7;
        QTest::newRow("LonMark object") << 28;
    }
    void roundTrip()
    {
        QFETCH(int, classId);
        SimFixture f;
        f.open();
        const lns::LonMarkObjectPtr lmo = f.controller(QStringLiteral("Room203"));
        lns::ObjectPtr object;
        switch (classId) {
        case 0: object = f.server; break;
        case 1: object = f.network; break;
        case 3: object = f.system; break;
        case 5: object = lns::findAncestor(lmo, lns::ClsSubsystem); break;
        case 7: object = lmo->parent(); break;
        default: object = lmo; break;
        }
        const QString handle = lnssim::objectHandle(object);
        QVERIFY(handle.startsWith(QStringLiteral("lnssim:%1:").arg(classId)));
        QCOMPARE(lnssim::handleClassId(handle), classId);

        lnssim::HandleResolver other(TestEnvironment::iniPath());
        const lns::ObjectPtr resolved = other.resolve(handle);
        QVERIFY(resolved);
        QCOMPARE(resolved->classId(), classId);
        QVERIFY(resolved.get() != object.get());
        QCOMPARE(resolved->name(), object->name());
        QCOMPARE(lnssim::objectHandle(resolved), handle);
        if (classId == 28) {
            auto r = std::dynamic_pointer_cast<lns::LonMarkObject>(resolved);
            QCOMPARE(r->parent()->name(), QStringLiteral("Room203"));
            QCOMPARE(r->index(), lmo->index());
            // The same database: extension data written through one side is
            // read through the other.
            lmo->setExtensionData(QStringLiteral("probe"), QStringLiteral("42"));
            QCOMPARE(r->extensionData(QStringLiteral("probe")), QStringLiteral("42"));
        }
        if (classId == 5)
            QCOMPARE(std::dynamic_pointer_cast<lns::Subsystem>(resolved)->path(), QStringLiteral("Building.Floor2"));
    }

    // A resolver given the process's own object server resolves through it:
    // one network session for both.
    void ownServerIsShared()
    {
        SimFixture f;
        f.open();
        const QString handle = lnssim::objectHandle(f.controller(QStringLiteral("Room101")));
        lnssim::HandleResolver resolver(TestEnvironment::iniPath());
        resolver.addServer(f.server);
        const lns::ObjectPtr resolved = resolver.resolve(handle);
        QCOMPARE(lns::findAncestor(resolved, lns::ClsNetwork).get(), f.network.get());
    }

    void fieldsAreEncoded()
    {
        SimFixture f;
        const QString odd = f.env.file(QStringLiteral("a:b %c"));
        QVERIFY(QDir().mkpath(odd));
        QVERIFY(QFile::copy(QDir(f.env.lnsRoot()).filePath("Demo.lnsdb"), QDir(odd).filePath("Demo.lnsdb")));
        auto server = lnssim::SimObjectServer::create(odd, TestEnvironment::iniPath());
        server->open(0);
        auto net = server->networks()->item(QStringLiteral("Demo"));
        net->open(false);
        const QString handle = lnssim::objectHandle(net);
        QCOMPARE(handle.count(QLatin1Char(':')), 3);
        lnssim::HandleResolver other(TestEnvironment::iniPath());
        auto resolved = std::dynamic_pointer_cast<lns::Network>(other.resolve(handle));
        QVERIFY(resolved);
        QCOMPARE(lnssim::objectHandle(resolved), handle);
        net->close();
        resolved->close();
    }

    // Text that is no handle, or a handle that names nothing.
    void badHandles_data()
    {
        QTest::addColumn<QString>("handle");
        QTest::addColumn<int>("error");
        QTest::newRow("empty") << "" << int(lns::ErrBadValue);
        QTest::newRow("other scheme") << "com:28:x" << int(lns::ErrBadValue);
        QTest::newRow("missing fields") << "lnssim:28:ROOT:Demo:1" << int(lns::ErrBadValue);
        QTest::newRow("index not a number") << "lnssim:7:ROOT:Demo:seven" << int(lns::ErrBadValue);
        QTest::newRow("ClassId 29") << "lnssim:29:ROOT:Demo:1:1" << int(lns::ErrIndexOutOfRange);
        QTest::newRow("no such folder") << "lnssim:1:%2Fno%2Fsuch%2Ffolder:Demo" << int(lns::ErrIndexOutOfRange);
        QTest::newRow("no such network") << "lnssim:1:ROOT:Nowhere" << int(lns::ErrIndexOutOfRange);
        QTest::newRow("no such device") << "lnssim:28:ROOT:Demo:999:1" << int(lns::ErrIndexOutOfRange);
        QTest::newRow("no such object") << "lnssim:28:ROOT:Demo:DEV:7" << int(lns::ErrIndexOutOfRange);
        QTest::newRow("no such subsystem") << "lnssim:5:ROOT:Demo:Building.Floor9" << int(lns::ErrIndexOutOfRange);
    }
    void badHandles()
    {
        QFETCH(QString, handle);
        QFETCH(int, error);
        SimFixture f;
        f.open();
        handle.replace(QLatin1String("ROOT"), QString::fromLatin1(QUrl::toPercentEncoding(f.env.lnsRoot())));
        handle.replace(QLatin1String("DEV"), QString::number(f.device(QStringLiteral("Room101"))->index()));
        lnssim::HandleResolver resolver(TestEnvironment::iniPath());
        QVERIFY_LNS_ERROR(resolver.resolve(handle), error);
    }

    void objectsWithoutHandle()
    {
        SimFixture f;
        f.open();
        QVERIFY_LNS_ERROR(lnssim::objectHandle(f.objectCp(QStringLiteral("Room101"), QStringLiteral("SetPoints"))),
                          lns::ErrNotSupported);
        QVERIFY_LNS_ERROR(lnssim::objectHandle(nullptr), lns::ErrNotSupported);
        QCOMPARE(lnssim::handleClassId(QStringLiteral("lnssim:x:y")), -1);
    }

    // Project registrations: a network without any reads as empty and stays
    // byte for byte what it was; the first registration adds the table with
    // its own schema component, and the file stays a valid network database.
    void registrationTable()
    {
        SimFixture f;
        const QString path = lnssim::NetworkDb::pathFor(f.env.lnsRoot(), QStringLiteral("Demo"));
        {
            const QByteArray before = fileHash(path);
            lnssim::NetworkAdmin a(f.env.lnsRoot(), QStringLiteral("Demo"));
            a.open();
            QVERIFY(lnssim::ProjectRegistrations(a.db()).all().isEmpty());
            a.close();
            QCOMPARE(fileHash(path), before);
        }
        lnssim::NetworkAdmin a(f.env.lnsRoot(), QStringLiteral("Demo"));
        a.open();
        lnssim::ProjectRegistrations regs(a.db());
        const qint64 changes = regs.totalChanges();
        regs.add(registration(QStringLiteral("AerolisCtrl-T1"), 22, QStringLiteral("control")));
        regs.add(registration(QStringLiteral("AerolisCtrl-T1"), 13, QStringLiteral("configure")));
        regs.add(registration(QStringLiteral("AerolisCtrl-T2"), 13, QStringLiteral("configure")));
        // The same plug-in command for the same template again replaces it.
        lnssim::PlugInRegistration newer = registration(QStringLiteral("AerolisCtrl-T2"), 13, QStringLiteral("configure"));
        newer.version = QStringLiteral("1.4");
        regs.add(newer);

        const QVector<lnssim::PlugInRegistration> all = regs.all();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all.at(0).commandId, 13);
        QCOMPARE(all.at(1).commandId, 22);
        QCOMPARE(all.at(2).version, QStringLiteral("1.4"));
        QCOMPARE(regs.forTemplate(QStringLiteral("AerolisCtrl-T1")).size(), 2);
        QCOMPARE(regs.forTemplate(QStringLiteral("AerolisCtrl-T1"), 28).size(), 2);
        QCOMPARE(regs.forTemplate(QStringLiteral("AerolisCtrl-T1"), 7).size(), 0);
        QCOMPARE(regs.forTemplate(QStringLiteral("AerolisCtrl-T9")).size(), 0);
        QVERIFY(regs.totalChanges() > changes);

        QVERIFY_LNS_ERROR(regs.add(registration(QString(), 13, QStringLiteral("x"))), lns::ErrBadValue);
        QVERIFY_LNS_ERROR(regs.add(registration(QStringLiteral("T"), 13, QString())), lns::ErrBadValue);

        QCOMPARE(regs.removePlugIn(QStringLiteral("NORDAQRT")), 3);
        QVERIFY(regs.all().isEmpty());
        a.close();
        QCOMPARE(lnssim::NetworkDb::probe(path).version, lnssim::kSchemaVersion);
        f.open();
        QCOMPARE(f.device(QStringLiteral("Room101"))->name(), QStringLiteral("Room101"));
    }
};

QTEST_GUILESS_MAIN(TstHandles)
#include "tst_handles.moc"
