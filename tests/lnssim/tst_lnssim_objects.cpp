// The object model of the simulated object server: the demo network's shape,
// class ids and parent chains, collections, the CPs and NVs each template
// gives its devices, and the files the server refuses to open.
#include "simfixture.h"

#include <lns/templatelookup.h>
#include <lnssim/networkdb.h>

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace lnssim;

namespace {

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QList<int> classChain(lns::ObjectPtr o)
{
    QList<int> ids;
    for (int guard = 0; o && guard < 20; ++guard) {
        ids << o->classId();
        o = o->parent();
    }
    return ids;
}

void writeSqlite(const QString &path, const QStringList &statements)
{
    const QString name = QStringLiteral("test-writer");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

class TestSimObjects : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        f = std::make_unique<SimFixture>();
        f->open();
    }
    void cleanup() { f.reset(); }

    void serverNeedsItsRootFolder()
    {
        auto server = SimObjectServer::create(f->env.file(QStringLiteral("no-such-folder")), TestEnvironment::iniPath());
        QVERIFY_LNS_ERROR(server->networks(), lns::ErrNotOpen);
        QVERIFY_LNS_ERROR(server->open(0), lns::ErrNotOpen);
        QVERIFY(!server->isOpen());
        QVERIFY(!QFileInfo::exists(f->env.file(QStringLiteral("no-such-folder"))));
    }

    void defaultRootFollowsTheEnvironment()
    {
        QCOMPARE(SimObjectServer::defaultRoot(), f->env.lnsRoot());
    }

    void networksAreTheFilesOfTheRoot()
    {
        auto nets = f->server->networks();
        QCOMPARE(nets->count(), 1);
        QCOMPARE(nets->itemAt(1)->name(), QStringLiteral("Demo"));
        QVERIFY_LNS_ERROR(nets->item(QStringLiteral("Nowhere")), lns::ErrIndexOutOfRange);
        QVERIFY(!QFileInfo::exists(NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Nowhere"))));
        // The same network object while the server lists it.
        QCOMPARE(f->server->networks()->item(QStringLiteral("Demo")).get(), f->network.get());
    }

    void demoShape()
    {
        auto top = f->system->subsystems();
        QCOMPARE(top->count(), 1);
        auto floors = top->item(QStringLiteral("Building"))->subsystems();
        QCOMPARE(floors->count(), 2);
        QCOMPARE(floors->itemAt(1)->path(), QStringLiteral("Building.Floor1"));
        QCOMPARE(floors->itemAt(2)->path(), QStringLiteral("Building.Floor2"));

        QHash<QString, int> perTemplate;
        int notCommissioned = 0, devices = 0;
        for (int i = 1; i <= floors->count(); ++i) {
            auto devs = floors->itemAt(i)->appDevices();
            for (int p = 1; p <= devs->count(); ++p) {
                auto d = devs->itemAt(p);
                ++devices;
                ++perTemplate[d->deviceTemplate()->name()];
                QCOMPARE(d->deviceTemplate()->programId(), d->programId());
                if (!d->commissioned())
                    ++notCommissioned;
            }
        }
        QVERIFY(devices >= 12);
        QCOMPARE(perTemplate.size(), 5);
        for (auto it = perTemplate.constBegin(); it != perTemplate.constEnd(); ++it)
            QVERIFY2(it.value() >= 2, qPrintable(it.key()));
        QCOMPARE(notCommissioned, 1);

        int unreachable = 0;
        for (const DeviceInfo &d : f->admin()->devices()) {
            if (!d.state.reachable)
                ++unreachable;
            QVERIFY(d.objectName.startsWith(QLatin1String("Demo.Building.Floor")));
            QVERIFY(d.objectName.endsWith(QLatin1String(".Controller")));
            QCOMPARE(d.state.appNumber, 1);
        }
        QCOMPARE(unreachable, 1);
        QCOMPARE(f->admin()->device(QStringLiteral("Room104")).state.appVersion, QStringLiteral("2.00"));
        QCOMPARE(f->admin()->device(QStringLiteral("Room104")).templateName, QStringLiteral("AerolisCtrl-T4"));
    }

    void classIdsAndParents_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QList<int>>("chain");
        QTest::newRow("network") << "network" << QList<int>{1, 0};
        QTest::newRow("system") << "system" << QList<int>{3, 1, 0};
        QTest::newRow("subsystem") << "subsystem" << QList<int>{5, 5, 3, 1, 0};
        QTest::newRow("device") << "device" << QList<int>{7, 5, 5, 3, 1, 0};
        QTest::newRow("LonMark object") << "object" << QList<int>{28, 7, 5, 5, 3, 1, 0};
        QTest::newRow("object CP") << "objcp" << QList<int>{11, 28, 7, 5, 5, 3, 1, 0};
        QTest::newRow("device CP") << "devcp" << QList<int>{11, 7, 5, 5, 3, 1, 0};
        QTest::newRow("NV") << "nv" << QList<int>{9, 28, 7, 5, 5, 3, 1, 0};
        QTest::newRow("NV CP") << "nvcp" << QList<int>{11, 9, 28, 7, 5, 5, 3, 1, 0};
        QTest::newRow("NV field") << "field" << QList<int>{13, 9, 28, 7, 5, 5, 3, 1, 0};
        QTest::newRow("device template") << "template" << QList<int>{12, 1, 0};
    }

    void classIdsAndParents()
    {
        QFETCH(QString, what);
        QFETCH(QList<int>, chain);
        auto dev = f->device(QStringLiteral("Room101"));
        lns::ObjectPtr o;
        if (what == QLatin1String("network"))
            o = f->network;
        else if (what == QLatin1String("system"))
            o = f->system;
        else if (what == QLatin1String("subsystem"))
            o = std::dynamic_pointer_cast<lns::Object>(dev->parent());
        else if (what == QLatin1String("device"))
            o = dev;
        else if (what == QLatin1String("object"))
            o = f->controller(QStringLiteral("Room101"));
        else if (what == QLatin1String("objcp"))
            o = f->objectCp(QStringLiteral("Room101"), QStringLiteral("HvacAppMode"));
        else if (what == QLatin1String("devcp"))
            o = dev->configProperties()->item(QStringLiteral("TempCalib"));
        else if (what == QLatin1String("nv"))
            o = f->nv(QStringLiteral("Room101"), QStringLiteral("nvoUnitStatus"));
        else if (what == QLatin1String("nvcp"))
            o = f->nv(QStringLiteral("Room101"), QStringLiteral("nvoUnitStatus"))->configProperties()->item(1);
        else if (what == QLatin1String("field"))
            o = f->nv(QStringLiteral("Room101"), QStringLiteral("nvoUnitStatus"))->field(QStringLiteral("fan_output"));
        else if (what == QLatin1String("template"))
            o = dev->deviceTemplate();
        QVERIFY(o);
        QCOMPARE(classChain(o), chain);
        // The top of every chain is this server.
        lns::ObjectPtr top = lns::findAncestor(o, lns::ClsObjectServer);
        QCOMPARE(top.get(), static_cast<lns::Object *>(f->server.get()));
    }

    void ancestorOfAHandedOverObject()
    {
        // A LonMark object held alone still leads to its device and network.
        lns::LonMarkObjectPtr obj = f->controller(QStringLiteral("Room203"));
        lns::ObjectPtr dev = lns::findAncestor(obj, lns::ClsAppDevice);
        QVERIFY(dev);
        QCOMPARE(dev->name(), QStringLiteral("Room203"));
        QCOMPARE(lns::findAncestor(obj, lns::ClsNetwork)->name(), QStringLiteral("Demo"));
        QCOMPARE(lns::findAncestor(obj, lns::ClsSystem)->classId(), int(lns::ClsSystem));
    }

    void collections_data()
    {
        QTest::addColumn<QString>("collection");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("nameAtIndex");
        QTest::addColumn<int>("missingIndex");
        // T1 controller: 25 object CPs with indexes 1..25
        QTest::newRow("object CPs") << "objcps" << 25 << 6 << "SetPoints" << 26;
        QTest::newRow("device CPs") << "devcps" << 1 << 1 << "TempCalib" << 2;
        QTest::newRow("NV CPs") << "nvcps" << 1 << 1 << "MinDeltaLevel" << 0;
        QTest::newRow("device NVs") << "nvs" << 8 << 3 << "nvoUnitStatus" << 9;
        QTest::newRow("controller NVs") << "objnvs" << 8 << 1 << "nviApplicMode" << 0;
        QTest::newRow("LonMark objects") << "objects" << 2 << 0 << "NodeObject" << 2;
        QTest::newRow("devices of Floor1") << "devices" << 6 << 2 << "Room102" << 7;
        QTest::newRow("subsystems") << "floors" << 2 << 2 << "Floor2" << 3;
    }

    void collections()
    {
        QFETCH(QString, collection);
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(QString, nameAtIndex);
        QFETCH(int, missingIndex);
        auto dev = f->device(QStringLiteral("Room101"));
        auto check = [&](auto c) {
            QCOMPARE(c->count(), count);
            QCOMPARE(c->item(index)->name(), nameAtIndex);
            QCOMPARE(c->item(nameAtIndex)->name(), nameAtIndex);
            QCOMPARE(c->itemAt(1)->name(), c->itemAt(1)->name());
            QCOMPARE(c->itemAt(count)->name(), c->itemAt(count)->name());
            QVERIFY_LNS_ERROR(c->item(missingIndex), lns::ErrIndexOutOfRange);
            QVERIFY_LNS_ERROR(c->itemAt(0), lns::ErrIndexOutOfRange);
            QVERIFY_LNS_ERROR(c->itemAt(count + 1), lns::ErrIndexOutOfRange);
            QVERIFY_LNS_ERROR(c->item(QStringLiteral("NoSuchName")), lns::ErrIndexOutOfRange);
        };
        if (collection == QLatin1String("objcps"))
            check(f->controller(QStringLiteral("Room101"))->configProperties());
        else if (collection == QLatin1String("devcps"))
            check(dev->configProperties());
        else if (collection == QLatin1String("nvcps"))
            check(dev->networkVariables()->item(3)->configProperties());
        else if (collection == QLatin1String("nvs"))
            check(dev->networkVariables());
        else if (collection == QLatin1String("objnvs"))
            check(f->controller(QStringLiteral("Room101"))->networkVariables());
        else if (collection == QLatin1String("objects"))
            check(dev->lonMarkObjects());
        else if (collection == QLatin1String("devices"))
            check(f->system->subsystems()->item(QStringLiteral("Building"))->subsystems()->item(1)->appDevices());
        else if (collection == QLatin1String("floors"))
            check(f->system->subsystems()->item(QStringLiteral("Building"))->subsystems());
    }

    void cpsFollowTheTemplate_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("cp");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("factory");
        QTest::newRow("T1 OffDelay") << "Room101" << "OffDelay" << true << "2\t88";
        QTest::newRow("T3 has no OffDelay") << "Room103" << "OffDelay" << false << "";
        QTest::newRow("T4 has no CycleTime") << "Room104" << "CycleTime" << false << "";
        QTest::newRow("T1 CycleTime") << "Room101" << "CycleTime" << true << "11\t184";
        QTest::newRow("T5 has no MinDischAirTemp") << "Room105" << "MinDischAirTemp" << false << "";
        QTest::newRow("T1 HvacAppMode") << "Room101" << "HvacAppMode" << true << "0";
        QTest::newRow("T2 HvacAppMode override") << "Room102" << "HvacAppMode" << true << "4";
        QTest::newRow("T4 HvacAppMode override") << "Room104" << "HvacAppMode" << true << "4";
        QTest::newRow("T5 SetPoints") << "Room105" << "SetPoints" << true << "8\t252\t9\t196\t10\t240\t8\t52\t7\t108\t6\t64";
    }

    void cpsFollowTheTemplate()
    {
        QFETCH(QString, device);
        QFETCH(QString, cp);
        QFETCH(bool, present);
        QFETCH(QString, factory);
        auto cps = f->controller(device)->configProperties();
        if (!present) {
            QVERIFY_LNS_ERROR(cps->item(cp), lns::ErrIndexOutOfRange);
            return;
        }
        QCOMPARE(cps->item(cp)->databaseValue(), factory);
    }

    void templateLookupsFindTheSimulatedObjects()
    {
        platform::IniFile ini;
        QVERIFY(ini.setFileName(TestEnvironment::iniPath()));
        auto dev = f->device(QStringLiteral("Room102"));
        lns::TemplateContext ctx{&ini, dev->deviceTemplate()};
        auto obj = f->controller(QStringLiteral("Room102"));

        auto mode = lns::FetchCp(QStringLiteral("HvacAppMode"), lns::kCpSection, ctx, obj);
        QCOMPARE(mode->name(), QStringLiteral("HvacAppMode"));
        auto minDelta = lns::FetchCp(QStringLiteral("MinDeltaLevel"), lns::kCpSection, ctx, obj);
        QCOMPARE(minDelta->parent()->name(), QStringLiteral("nvoUnitStatus"));
        auto calib = lns::FetchDevCp(QStringLiteral("TempCalib"), lns::kCpSection, ctx, dev);
        QCOMPARE(calib->parent()->classId(), int(lns::ClsAppDevice));
        QCOMPARE(lns::FetchNv(QStringLiteral("nvoEffectSetpt"), lns::kNvSection, ctx, obj)->index(), 5);
        QCOMPARE(lns::FetchDevNv(QStringLiteral("nviOccSchedule"), lns::kNvSection, ctx, dev)->index(), 2);
        bool found = true;
        QVERIFY(!lns::FetchCp(QStringLiteral("NoSuchCp"), lns::kCpSection, ctx, obj, &found));
        QVERIFY(!found);
    }

    void refusedFilesStayUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("garbage") << "garbage" << "the file is damaged or not a database";
        QTest::newRow("empty file") << "empty" << "no schema version";
        QTest::newRow("foreign SQLite database") << "foreign" << "no schema version";
        QTest::newRow("foreign schema version table") << "foreigntable" << "foreign schema version table";
        QTest::newRow("newer schema") << "newer" << "newer";
        QTest::newRow("truncated copy of ours") << "truncated" << "";
    }

    void refusedFilesStayUntouched()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Bad"));
        const QString demo = NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Demo"));
        if (kind == QLatin1String("garbage")) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QByteArray junk;
            for (int i = 0; i < 8192; ++i)
                junk.append(char((i * 131 + 7) & 0xFF));
            out.write(junk);
        } else if (kind == QLatin1String("empty")) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
        } else if (kind == QLatin1String("foreign")) {
            writeSqlite(path, {QStringLiteral("CREATE TABLE customers(id INTEGER PRIMARY KEY, name TEXT)"),
                               QStringLiteral("INSERT INTO customers(name) VALUES('x')")});
        } else if (kind == QLatin1String("foreigntable")) {
            writeSqlite(path, {QStringLiteral("CREATE TABLE schema_version(component TEXT PRIMARY KEY, version INTEGER)"),
                               QStringLiteral("INSERT INTO schema_version VALUES('someone-else', 1)")});
        } else if (kind == QLatin1String("newer")) {
            f->network->close();
            QVERIFY(QFile::copy(demo, path));
            writeSqlite(path, {QStringLiteral("UPDATE schema_version SET version = %1").arg(kSchemaVersion + 1)});
        } else if (kind == QLatin1String("truncated")) {
            f->network->close();
            QFile in(demo);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray all = in.readAll();
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(all.left(all.size() / 3));
        }
        QVERIFY(QFileInfo::exists(path));
        const QByteArray before = fileHash(path);
        const QStringList filesBefore = QDir(f->env.lnsRoot()).entryList(QDir::Files);

        auto net = f->server->networks()->item(QStringLiteral("Bad"));
        bool thrown = false;
        try {
            net->open(false);
        } catch (const lns::LnsError &e) {
            thrown = true;
            QCOMPARE(e.number(), int(lns::ErrDatabase));
            QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
            QVERIFY(e.description().contains(QLatin1String("Bad.lnsdb")));
        }
        QVERIFY(thrown);
        QVERIFY(!net->isOpen());
        QVERIFY_LNS_ERROR(net->system(), lns::ErrNotOpen);
        QCOMPARE(fileHash(path), before);
        QCOMPARE(QDir(f->env.lnsRoot()).entryList(QDir::Files), filesBefore);
    }

    // SQLite's own refusals, told by what they mean, with the file's path.
    void databaseTroubleIsNamed_data()
    {
        QTest::addColumn<QString>("pragma");
        QTest::addColumn<QString>("reason");
        // The file may not grow beyond the pages it has: a full disk.
        QTest::newRow("full disk") << "max_page_count = %1" << "the disk is full";
        QTest::newRow("read-only") << "query_only = 1" << "read-only, the file or its folder cannot be written";
    }

    void databaseTroubleIsNamed()
    {
        QFETCH(QString, pragma);
        QFETCH(QString, reason);
        f->network->close();
        const QString path = NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Demo"));
        NetworkDb db;
        db.open(path);
        QSqlQuery &pages = db.query(QStringLiteral("PRAGMA page_count"));
        db.exec(pages);
        QVERIFY(pages.next());
        const int pageCount = pages.value(0).toInt();
        pages.finish();
        db.run(QStringLiteral("PRAGMA ") + pragma.arg(pageCount));
        try {
            db.setSetting(QStringLiteral("note"), QString(64 * 1024, QLatin1Char('x')));
            QFAIL("the database took the write");
        } catch (const lns::LnsError &e) {
            QCOMPARE(e.number(), int(lns::ErrDatabase));
            QVERIFY2(e.description().startsWith(QStringLiteral("network database %1: %2 (").arg(QDir::toNativeSeparators(path), reason)),
                     qPrintable(e.description()));
        }
        db.close();
        QVERIFY(NetworkDb().open(path).version > 0);
    }

    void vanishedFileIsNotCreated()
    {
        f->network->close();
        auto net = f->server->networks()->item(QStringLiteral("Demo"));
        const QString path = NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Demo"));
        QVERIFY(QFile::remove(path));
        QVERIFY_LNS_ERROR(net->open(false), lns::ErrDatabase);
        QVERIFY(!QFileInfo::exists(path));
    }

    void refuseOpenFault()
    {
        f->network->close();
        f->admin()->setRefuseOpen(true);
        QVERIFY_LNS_ERROR(f->network->open(false), lns::ErrNetworkRefused);
        QVERIFY(!f->network->isOpen());
        f->admin()->setRefuseOpen(false);
        f->network->open(false);
        QVERIFY(f->network->isOpen());
    }

    void handlesOfAClosedNetworkRefuse()
    {
        auto cp = f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"));
        auto cps = f->controller(QStringLiteral("Room101"))->configProperties();
        f->network->close();
        QVERIFY_LNS_ERROR(cp->value(), lns::ErrNotOpen);
        QVERIFY_LNS_ERROR(cps->count(), lns::ErrNotOpen);
        QVERIFY_LNS_ERROR(f->system->startTransaction(), lns::ErrNotOpen);
    }

    void extensionDataStaysWithTheObject()
    {
        auto obj = f->controller(QStringLiteral("Room101"));
        const QString key = QStringLiteral("9726A01-27422_Qrt_AppMode");
        QVERIFY_LNS_ERROR(obj->extensionData(key), lns::ErrIndexOutOfRange);
        const Counters before = f->admin()->totals();
        obj->setExtensionData(key, QStringLiteral("4"));
        QCOMPARE(obj->extensionData(key), QStringLiteral("4"));
        // Another device's object does not share it; no device was contacted.
        QVERIFY_LNS_ERROR(f->controller(QStringLiteral("Room102"))->extensionData(key), lns::ErrIndexOutOfRange);
        QCOMPARE(f->admin()->totals(), before);
        f->network->close();
        f->network->open(false);
        f->system = f->network->system();
        QCOMPARE(f->controller(QStringLiteral("Room101"))->extensionData(key), QStringLiteral("4"));
    }

    void transactionMisuse()
    {
        QVERIFY_LNS_ERROR(f->system->commitTransaction(), lns::ErrNoTransaction);
        QVERIFY_LNS_ERROR(f->system->cancelTransaction(), lns::ErrNoTransaction);
        f->system->startTransaction();
        QVERIFY(f->system->inTransaction());
        QVERIFY_LNS_ERROR(f->system->startTransaction(), lns::ErrTransactionActive);
        f->system->cancelTransaction();
        QVERIFY(!f->system->inTransaction());
        QVERIFY_LNS_ERROR(f->system->endBracket(), lns::ErrNoTransaction);
        f->system->beginBracket(100);
        f->system->beginBracket(100);
        f->system->endBracket();
        QVERIFY(f->system->inBracket());
        f->system->endBracket();
        QVERIFY(!f->system->inBracket());
    }

private:
    std::unique_ptr<SimFixture> f;
};

QTEST_GUILESS_MAIN(TestSimObjects)
#include "tst_lnssim_objects.moc"
