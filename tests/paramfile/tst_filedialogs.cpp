// The file dialog service: the filter of the string table as Qt name
// filters, the unattended answers (cancel unless a path is scripted, the
// flags' checks) and the scripted double's queue.
#include "testenv.h"

#include <platform/filedialogs.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>

#include <QtTest>

using namespace platform;

class TstFileDialogs : public QObject
{
    Q_OBJECT
private:
    TestEnvironment env;

    static FileDialogRequest request(FileDialogKind kind, const QString &folder)
    {
        FileDialogRequest r;
        r.kind = kind;
        r.title = gLoadResString(1600, kind == FileDialogKind::Open ? 1 : 2);
        r.filter = gLoadResString(1601);
        r.initialFolder = folder;
        r.flags = kind == FileDialogKind::Open ? kOpenFileFlags : kSaveFileFlags;
        return r;
    }

private slots:
    void cleanup()
    {
        qunsetenv("AEROLIS_OPEN_FILE");
        qunsetenv("AEROLIS_SAVE_FILE");
    }

    void filters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("qt");
        QTest::newRow("string table") << gLoadResString(1601) << QStringList{"Data (*.dat)", "All (*.*)"};
        QTest::newRow("description without patterns") << "Data|*.dat;*.txt" << QStringList{"Data (*.dat *.txt)"};
        QTest::newRow("odd piece left over") << "Data (*.dat)|*.dat|All" << QStringList{"Data (*.dat)"};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void filters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, qt);
        QCOMPARE(nameFilters(filter), qt);
    }

    void flagsAreTheProducts()
    {
        QCOMPARE(kOpenFileFlags, OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
        QCOMPARE(kSaveFileFlags,
                 OFN_LONGNAMES | OFN_NOREADONLYRETURN | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    }

    void unattended_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("scripted"); // relative to the folder
        QTest::addColumn<QString>("answer");   // empty: cancel
        QTest::newRow("open, nothing scripted") << int(FileDialogKind::Open) << QString() << QString();
        QTest::newRow("open, existing file") << int(FileDialogKind::Open) << "set.dat" << "set.dat";
        QTest::newRow("open, missing file") << int(FileDialogKind::Open) << "none.dat" << QString();
        QTest::newRow("save, nothing scripted") << int(FileDialogKind::Save) << QString() << QString();
        QTest::newRow("save, new file") << int(FileDialogKind::Save) << "new.dat" << "new.dat";
        QTest::newRow("save, folder missing") << int(FileDialogKind::Save) << "no/new.dat" << QString();
    }
    void unattended()
    {
        QFETCH(int, kind);
        QFETCH(QString, scripted);
        QFETCH(QString, answer);
        QFile f(env.file("set.dat"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const auto k = FileDialogKind(kind);
        qputenv(k == FileDialogKind::Open ? "AEROLIS_OPEN_FILE" : "AEROLIS_SAVE_FILE", scripted.toUtf8());
        TraceLog::instance().clearRecent();
        UnattendedFileDialogs u;
        const FileDialogAnswer a = u.show(request(k, env.path()));
        QCOMPARE(a.cancelled, answer.isEmpty());
        QCOMPARE(a.fileName, answer.isEmpty() ? QString() : env.file(answer));
        // One line tells what was asked and answered.
        QCOMPARE(TraceLog::instance().recent().size(), 1);
        const QString line = TraceLog::instance().recent().constFirst();
        QVERIFY2(line.contains(QStringLiteral("FILEDIALOG ")
                               + (k == FileDialogKind::Open ? "open Load data from file" : "save Save data to file")),
                 qPrintable(line));
        QVERIFY(line.endsWith(answer.isEmpty() ? QStringLiteral("-> cancel") : QStringLiteral("-> ") + env.file(answer)));
    }

    void absolutePathIsTakenAsIs()
    {
        qputenv("AEROLIS_SAVE_FILE", env.file("abs.dat").toUtf8());
        UnattendedFileDialogs u;
        QCOMPARE(u.show(request(FileDialogKind::Save, QStringLiteral("/nonexistent"))).fileName, env.file("abs.dat"));
    }

    void scriptedQueue()
    {
        ScriptedFileDialogs s;
        s.queueFile(QStringLiteral("/a.dat"));
        s.queueCancel();
        QCOMPARE(s.show(request(FileDialogKind::Open, "/x")).fileName, QStringLiteral("/a.dat"));
        QVERIFY(s.show(request(FileDialogKind::Save, "/x")).cancelled);
        QVERIFY(s.show(request(FileDialogKind::Save, "/x")).cancelled); // empty queue: cancel
        QCOMPARE(s.shown.size(), 3);
        QCOMPARE(s.shown.at(1).title, QStringLiteral("Save data to file"));
        QCOMPARE(s.shown.at(0).flags, kOpenFileFlags);
    }

    void processWideService()
    {
        auto s = std::make_shared<ScriptedFileDialogs>();
        setFileDialogService(s);
        s->queueFile(QStringLiteral("/b.dat"));
        QCOMPARE(fileDialogs().show(request(FileDialogKind::Open, "/x")).fileName, QStringLiteral("/b.dat"));
        setFileDialogService(nullptr);
        QVERIFY(dynamic_cast<UnattendedFileDialogs *>(&fileDialogs()));
    }
};

QTEST_GUILESS_MAIN(TstFileDialogs)
#include "tst_filedialogs.moc"
