// The program as a user gets it from an installation: this build installed
// with `cmake --install` into a temporary prefix, which is then moved to
// another folder (the installation must not depend on where it was put, nor
// on the build tree), and everything run from there: the executables'
// --help and --version, the headless tools on the demo network, a window run
// offscreen, the manual pages, the desktop entries, the metainfo and the
// bash completions, checked with the validators Debian ships.
#include <platform/resstrings.h>
#include <platform/version.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    bool finished = false;
    QString out;
    QString err;
};

const QString kRoom101 = QStringLiteral("Demo.Building.Floor1.Room101.Controller");

} // namespace

class TstInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_prefix;

    QString path(const QString &relative) const { return QDir(m_root.path()).filePath(relative); }
    QString installed(const QString &relative) const { return QDir(m_prefix).filePath(relative); }
    QString registryFile() const { return path(QStringLiteral("registry/registry.ini")); }

    // A user's session: own home, data, configuration and runtime folders,
    // the offscreen platform, unattended messages, and the installed bin
    // folder first on the path.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment e;
        const QString home = path(QStringLiteral("home"));
        e.insert(QStringLiteral("HOME"), home);
        e.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        e.insert(QStringLiteral("PATH"), installed(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin"));
        e.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("AEROLIS_UNATTENDED"), QStringLiteral("1"));
        e.insert(QStringLiteral("AEROLIS_REGISTRY_ROOT"), path(QStringLiteral("registry")));
        e.insert(QStringLiteral("AEROLIS_LNS_ROOT"), path(QStringLiteral("lns")));
        return e;
    }

    Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &e, int timeoutMs = 120000) const
    {
        Run r;
        QProcess p;
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(m_root.path());
        p.start(program, arguments);
        if (!p.waitForStarted(10000)) {
            r.err = QStringLiteral("cannot start %1: %2").arg(program, p.errorString());
            return r;
        }
        r.finished = p.waitForFinished(timeoutMs);
        if (!r.finished) {
            p.kill();
            p.waitForFinished(5000);
        }
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        r.status = r.finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return r;
    }
    Run run(const QString &program, const QStringList &arguments) const { return run(program, arguments, environment()); }
    Run tool(const QString &name, const QStringList &arguments) const
    {
        return run(installed(QStringLiteral("bin/") + name), arguments);
    }

    // A validator Debian ships (scripts/setup installs it).
    static QString validator(const QString &name)
    {
        return QStandardPaths::findExecutable(name);
    }

    // The words bash completion offers for a command line ending in the word
    // being completed.
    QStringList complete(const QString &script, const QString &function, const QStringList &words) const
    {
        QString quoted;
        for (const QString &w : words)
            quoted += QStringLiteral(" '") + QString(w).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
        const QString code = QStringLiteral("source '%1'; COMP_WORDS=(%2); COMP_CWORD=%3; %4; printf '%s\\n' \"${COMPREPLY[@]}\"")
                                 .arg(script, quoted)
                                 .arg(words.size() - 1)
                                 .arg(function);
        const Run r = run(QStringLiteral("bash"), {QStringLiteral("-c"), code});
        if (r.status != 0)
            return {QStringLiteral("bash failed: ") + r.err};
        return r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(path(QStringLiteral("runtime"))));
        QFile::setPermissions(path(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QDir().mkpath(path(QStringLiteral("home"))));

        // Installed into one folder, then moved: nothing may point back.
        const QString first = path(QStringLiteral("first-prefix"));
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        const Run r = run(QStringLiteral(AEROLIS_CMAKE_COMMAND),
                          {QStringLiteral("--install"), QStringLiteral(AEROLIS_BUILD_DIR), QStringLiteral("--prefix"), first}, e,
                          300000);
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        m_prefix = path(QStringLiteral("usr"));
        QVERIFY(QDir().rename(first, m_prefix));
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/AerolisCtrl"))).isExecutable());
        QVERIFY(QFileInfo(installed(QStringLiteral("share/aerolis/AerolisCtrl.ini"))).isFile());
    }

    // What an installation holds, in the places a Debian system looks.
    void layout_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"bin/AerolisCtrl", "bin/aerolis", "bin/aerolis-net", "bin/aerolis-director",
                              "share/aerolis/AerolisCtrl.ini", "share/aerolis/strings.tsv",
                              "share/aerolis/help/aerolis.html", "share/aerolis/apps/ceiling/qrt_ceiling_1.apb",
                              "share/aerolis/apps/fancoil/qrt_fancoil_9.apb",
                              "share/applications/io.aerolis.Controller.desktop",
                              "share/applications/io.aerolis.Director.desktop",
                              "share/icons/hicolor/scalable/apps/aerolis.svg",
                              "share/metainfo/io.aerolis.Controller.metainfo.xml",
                              "share/man/man1/AerolisCtrl.1.gz", "share/man/man1/aerolis.1.gz",
                              "share/man/man1/aerolis-net.1.gz", "share/man/man1/aerolis-director.1.gz",
                              "share/bash-completion/completions/aerolis",
                              "share/bash-completion/completions/aerolis-net", "share/doc/aerolis/copyright",
                              "share/doc/aerolis/changelog.gz"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void layout()
    {
        QFETCH(QString, file);
        QVERIFY2(QFileInfo(installed(file)).isFile(), qPrintable(installed(file)));
    }

    // --help and --version print and end with 0, with nothing on standard
    // error, no window and nothing written to the registry stand-in.
    void standardOptions_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        const QString version = platform::fullVersionText();
        for (const char *p : {"AerolisCtrl", "aerolis", "aerolis-net", "aerolis-director"}) {
            const QString program = QString::fromLatin1(p);
            QTest::addRow("%s --version", p) << program << "--version" << program + QLatin1Char(' ') + version + QLatin1Char('\n');
        }
        QTest::newRow("AerolisCtrl --help") << "AerolisCtrl" << "--help" << "/COMMANDID:ID/CLASSID:ID/OBJECTNAME:NAME";
        QTest::newRow("AerolisCtrl -h") << "AerolisCtrl" << "-h" << "/REG:N";
        QTest::newRow("aerolis --help") << "aerolis" << "--help" << "aerolis read OBJECT";
        QTest::newRow("aerolis-net --help") << "aerolis-net" << "--help" << "create-demo [--force]";
        QTest::newRow("aerolis-director --help") << "aerolis-director" << "--help" << "launch OBJECTNAME COMMAND";
    }
    void standardOptions()
    {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QString, expected);
        QFile::remove(registryFile());
        const Run r = tool(program, {option});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(expected), qPrintable(r.out));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QVERIFY2(!QFile::exists(registryFile()), "the registry stand-in was written");
    }

    // The headless tools on the installed data: the demo network from the
    // installed template, a controller read from it, the trace log in the
    // user's data folder (never beside the installed executables).
    void headlessToolsOnTheDemoNetwork()
    {
        Run r = tool(QStringLiteral("aerolis-net"), {QStringLiteral("create-demo"), QStringLiteral("--force")});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("with 12 controllers")), qPrintable(r.out));

        r = tool(QStringLiteral("aerolis-net"), {QStringLiteral("list")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(kRoom101 + QLatin1Char(' ')), qPrintable(r.out));

        const QString file = path(QStringLiteral("room101.dat"));
        r = tool(QStringLiteral("aerolis"), {QStringLiteral("read"), kRoom101, QStringLiteral("-o"), file});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QStringLiteral("[General]")) && text.contains(QStringLiteral("[Settings]")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("ProgramId = 90:00:9D:51:0A:04:04:01")), qPrintable(text.left(200)));

        r = tool(QStringLiteral("aerolis"), {QStringLiteral("diff"), kRoom101, file});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));

        QDirIterator logs(m_prefix, {QStringLiteral("*.LOG")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!logs.hasNext(), qPrintable(logs.hasNext() ? logs.next() : QString()));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("home/.local/share/norda/aerolis/aerolis.LOG"))));
    }

    // The window, offscreen, and the tools: a normal run leaves standard
    // error empty (the offscreen platform's notes are filtered).
    void normalRunsAreQuiet_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("runtimeFolder");
        const QStringList configure{"/COMMANDID:13/CLASSID:28/OBJECTNAME:" + kRoom101};
        QTest::newRow("window without a device") << "AerolisCtrl" << QStringList{"/S"} << true;
        QTest::newRow("configuration window") << "AerolisCtrl" << configure << true;
        QTest::newRow("headless read") << "aerolis" << QStringList{"read", kRoom101, "--json"} << true;
        QTest::newRow("network list") << "aerolis-net" << QStringList{"list"} << true;
        // A session without a runtime folder (CI machine, container).
        QTest::newRow("window, no runtime folder") << "AerolisCtrl" << QStringList{"/S"} << false;
        QTest::newRow("configuration window, no runtime folder") << "AerolisCtrl" << configure << false;
        QTest::newRow("headless read, no runtime folder") << "aerolis" << QStringList{"read", kRoom101, "--json"} << false;
    }
    void normalRunsAreQuiet()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, runtimeFolder);
        QVERIFY(tool(QStringLiteral("aerolis-net"), {QStringLiteral("create-demo"), QStringLiteral("--force"),
                                                     QStringLiteral("--static")})
                    .status
                == 0);
        QProcessEnvironment e = environment();
        e.insert(QStringLiteral("AEROLIS_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
        if (!runtimeFolder)
            e.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        const Run r = run(installed(QStringLiteral("bin/") + program), arguments, e);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    }

    // One run in German, chosen for that run only: the family's language in
    // the registry stays as it is.
    void languageOfOneRun_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("usageId");
        for (const char *p : {"aerolis", "AerolisCtrl"}) {
            const int usage = QByteArray(p) == "aerolis" ? 1700 : 1790;
            QTest::addRow("%s de", p) << p << "de" << 1000 << usage;
            QTest::addRow("%s 1000", p) << p << "1000" << 1000 << usage;
            QTest::addRow("%s en", p) << p << "en" << 0 << usage;
        }
    }
    void languageOfOneRun()
    {
        QFETCH(QString, program);
        QFETCH(QString, setting);
        QFETCH(int, offset);
        QFETCH(int, usageId);
        QFile::remove(registryFile());
        QProcessEnvironment e = environment();
        e.insert(QStringLiteral("AEROLIS_LANGUAGE"), setting);
        const Run r = run(installed(QStringLiteral("bin/") + program), {QStringLiteral("--help")}, e);
        QCOMPARE(r.status, 0);
        platform::setLanguageOffset(offset);
        const QString firstLine = gLoadResString(usageId).section(QLatin1Char('\n'), 0, 0);
        platform::setLanguageOffset(0);
        QVERIFY(!firstLine.isEmpty());
        QVERIFY2(r.out.startsWith(firstLine), qPrintable(r.out));
        QVERIFY(!QFile::exists(registryFile()));
    }

    // The network tool's window needs a display: without one it says so
    // and ends instead of waiting forever.
    void directorWindowWithoutDisplay()
    {
        const Run r = run(installed(QStringLiteral("bin/aerolis-director")), {}, environment(), 20000);
        QVERIFY2(r.finished, "aerolis-director did not end");
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("no display for the window")), qPrintable(r.err));
    }

    void manPagesRender_data()
    {
        QTest::addColumn<QString>("page");
        for (const char *p : {"AerolisCtrl", "aerolis", "aerolis-net", "aerolis-director"})
            QTest::newRow(p) << QString::fromLatin1(p);
    }
    void manPagesRender()
    {
        QFETCH(QString, page);
        const QString man = validator(QStringLiteral("man"));
        QVERIFY2(!man.isEmpty(), "man (Debian package man-db) is missing; scripts/setup installs it");
        QProcessEnvironment e = environment();
        e.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        const Run r = run(man, {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"), QStringLiteral("-l"),
                                installed(QStringLiteral("share/man/man1/%1.1.gz").arg(page))},
                          e);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("NAME")));
        // "NAME" then "page - what it does" (justified, the dash as man renders it).
        const QRegularExpression nameLine(QStringLiteral("\\n\\s+%1\\s+[-\\x{2010}\\x{2212}]\\s").arg(QRegularExpression::escape(page)));
        QVERIFY2(r.out.contains(nameLine), qPrintable(r.out.left(400)));
        QVERIFY(r.out.contains(QStringLiteral("--version")) || r.out.contains(QStringLiteral("\u2010\u2010version")));
    }

    void desktopEntriesValidate_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("program");
        QTest::newRow("window") << "io.aerolis.Controller.desktop" << "AerolisCtrl";
        QTest::newRow("network tool") << "io.aerolis.Director.desktop" << "aerolis-director";
    }
    void desktopEntriesValidate()
    {
        QFETCH(QString, entry);
        QFETCH(QString, program);
        const QString validate = validator(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validate.isEmpty(), "desktop-file-validate (Debian package desktop-file-utils) is missing");
        const QString file = installed(QStringLiteral("share/applications/") + entry);
        const Run r = run(validate, {file});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.isEmpty() && r.err.isEmpty(), qPrintable(r.out + r.err));
        QSettings desktop(file, QSettings::IniFormat);
        desktop.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(desktop.value(QStringLiteral("TryExec")).toString(), program);
        QVERIFY(desktop.value(QStringLiteral("Exec")).toString().startsWith(program));
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + program)).isExecutable());
        const QString icon = desktop.value(QStringLiteral("Icon")).toString();
        QVERIFY(QFileInfo::exists(installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));
    }

    void metainfoValidates()
    {
        const QString appstream = validator(QStringLiteral("appstreamcli"));
        QVERIFY2(!appstream.isEmpty(), "appstreamcli (Debian package appstream) is missing");
        const Run r = run(appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--no-color"),
                                      installed(QStringLiteral("share/metainfo/io.aerolis.Controller.metainfo.xml"))});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY2(!r.out.contains(QStringLiteral("W: ")) && !r.out.contains(QStringLiteral("E: ")), qPrintable(r.out));
    }

    // Completion of commands, options and the network's names.
    void completions_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("notOffered");
        QTest::newRow("aerolis commands") << "aerolis" << QStringList{"aerolis", "re"} << QStringList{"read", "report"}
                                          << QStringList{"write"};
        QTest::newRow("aerolis options") << "aerolis" << QStringList{"aerolis", "read", "Room", "--"}
                                         << QStringList{"--json", "--output"} << QStringList{"--dry-run"};
        QTest::newRow("aerolis objects") << "aerolis" << QStringList{"aerolis", "read", "Demo.Building.Floor2.Room20"}
                                         << QStringList{"Demo.Building.Floor2.Room201.Controller",
                                                        "Demo.Building.Floor2.Room206.Controller"}
                                         << QStringList{kRoom101};
        QTest::newRow("aerolis objects after a file") << "aerolis" << QStringList{"aerolis", "copy", "set.dat", "Demo.Building.Floor1.Room10"}
                                                      << QStringList{kRoom101} << QStringList{};
        QTest::newRow("aerolis-net commands") << "aerolis-net" << QStringList{"aerolis-net", "f"} << QStringList{"fault"}
                                              << QStringList{"list"};
        QTest::newRow("aerolis-net devices") << "aerolis-net" << QStringList{"aerolis-net", "fault", "Room10"}
                                             << QStringList{"Room101", "Room106"} << QStringList{"network"};
        QTest::newRow("aerolis-net fault kinds") << "aerolis-net" << QStringList{"aerolis-net", "fault", "Room101", ""}
                                                 << QStringList{"unreachable", "cp", "latency", "download"}
                                                 << QStringList{"Room101"};
        QTest::newRow("aerolis-net show") << "aerolis-net" << QStringList{"aerolis-net", "show", "Demo.Building.Floor1.Room102"}
                                          << QStringList{"Demo.Building.Floor1.Room102.Controller"} << QStringList{};
    }
    void completions()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, words);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, notOffered);
        QVERIFY(this->tool(QStringLiteral("aerolis-net"), {QStringLiteral("create-demo"), QStringLiteral("--force"),
                                                           QStringLiteral("--static")})
                    .status
                == 0);
        const QString script = installed(QStringLiteral("share/bash-completion/completions/") + tool);
        const QString function = tool == QLatin1String("aerolis") ? QStringLiteral("_aerolis") : QStringLiteral("_aerolis_net");
        const QStringList got = complete(script, function, words);
        for (const QString &w : offered)
            QVERIFY2(got.contains(w), qPrintable(w + QStringLiteral(" not in: ") + got.join(QLatin1Char(' '))));
        for (const QString &w : notOffered)
            QVERIFY2(!got.contains(w), qPrintable(w + QStringLiteral(" in: ") + got.join(QLatin1Char(' '))));
    }
};

QTEST_GUILESS_MAIN(TstInstall)
#include "tst_install.moc"
