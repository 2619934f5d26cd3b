#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QStringList lines; // the child's standard output
    QString errors;
};

// printer-sim as a user starts it: not preloaded itself, whatever this test runs under.
Run launch(const QStringList& options, const QStringList& clientArgs,
           const QStringList& command = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LD_PRELOAD"));
    env.remove(QStringLiteral("UMOCKDEV_DIR"));
    p.setProcessEnvironment(env);
    QStringList args = options;
    args << QStringLiteral("--");
    args << (command.isEmpty() ? QStringList{QStringLiteral(SIM_CLIENT)} + clientArgs : command);
    p.start(QStringLiteral(PRINTER_SIM), args);
    Run run;
    if (!p.waitForFinished(30000))
        return run;
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QJsonArray recordedPrinters(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object().value(QLatin1String("printers")).toArray();
}

QJsonObject printerOnPort(const QJsonArray& printers, int port)
{
    for (const QJsonValue& v : printers) {
        if (v.toObject().value(QLatin1String("port")).toInt() == port)
            return v.toObject();
    }
    return {};
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

// The launcher runs an unmodified program that sees the simulated printers, and records what
// they took.
class TestLauncher : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void demoPrintersSeenByTheChild()
    {
        const Run run = launch({"--demo", "--record", path("demo.json")},
                               {"list", "speed", "1", "speed", "2", "selftest", "2"});
        QVERIFY2(run.status == 0, qPrintable(run.errors));
        QCOMPARE(sorted(run.lines.filter("list: ")),
                 QStringList({"list: RP58 Kitchen USB002", "list: RP80 Printer USB001"}));
        QVERIFY(run.lines.contains("speed 1: rc 0 value 2"));
        QVERIFY(run.lines.contains("speed 2: rc 0 value 0"));
        QVERIFY(run.lines.contains("selftest 2: rc 0"));

        const QJsonArray printers = recordedPrinters(path("demo.json"));
        QCOMPARE(printers.size(), 2);
        const QJsonObject kitchen = printerOnPort(printers, 2);
        QCOMPARE(kitchen.value("product").toString(), QStringLiteral("RP58 Kitchen"));
        QCOMPARE(kitchen.value("selfTests").toInt(), 1);
        QCOMPARE(kitchen.value("received").toArray(),
                 QJsonArray({"1bfffe0200001bfeff", "1bfffe0000001bfeff"}));
        QCOMPARE(printerOnPort(printers, 1).value("selfTests").toInt(), 0);
    }

    // What one run leaves in the printer, the next run starts from.
    void recordFeedsTheNextRun()
    {
        Run run =
            launch({"--printer", "port=4,product=Bar,speed=1", "--record", path("first.json")},
                   {"set-speed", "4", "3"});
        QVERIFY2(run.status == 0, qPrintable(run.errors));
        QCOMPARE(printerOnPort(recordedPrinters(path("first.json")), 4)
                     .value("state")
                     .toObject()
                     .value("speed")
                     .toInt(),
                 3);
        run = launch({"--state", path("first.json")}, {"list", "speed", "4"});
        QVERIFY2(run.status == 0, qPrintable(run.errors));
        QCOMPARE(run.lines, QStringList({"list: Bar USB004", "speed 4: rc 0 value 3"}));
    }

    void printerPulledOutMidRun()
    {
        const Run run = launch({"--printer", "port=1,unplug-after=1", "--printer", "port=2",
                                "--record", path("unplug.json")},
                               {"list", "selftest", "1", "list", "selftest", "1"});
        QVERIFY2(run.status == 0, qPrintable(run.errors));
        QCOMPARE(run.lines.filter("list: ").size(), 3);
        QCOMPARE(run.lines.filter("list: ").last(), QStringLiteral("list: RP80 Printer USB002"));
        QCOMPARE(run.lines.filter("selftest 1").first(), QStringLiteral("selftest 1: rc 0"));
        QCOMPARE(run.lines.filter("selftest 1").last(), QStringLiteral("selftest 1: rc -1"));
        QVERIFY(
            printerOnPort(recordedPrinters(path("unplug.json")), 1).value("unplugged").toBool());
    }

    void faultFromTheCommandLine()
    {
        const Run run = launch({"--printer", "port=1,fault=open-refused"}, {"selftest", "1"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.lines, QStringList{"selftest 1: rc 5"});
    }

    void childStatusPassedOn_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::newRow("exit 7") << "exit 7" << 7;
        QTest::newRow("killed") << "kill -9 $$" << 128 + 9;
    }

    void childStatusPassedOn()
    {
        QFETCH(QString, script);
        QFETCH(int, status);
        QCOMPARE(launch({"--demo"}, {}, {"/bin/sh", "-c", script}).status, status);
    }

    // Bad input is refused before anything runs: the child would have created the file.
    void badInputRunsNothing_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown key")
            << QStringList{"--printer", "port=1,colour=red"} << "unknown key \"colour\"";
        QTest::newRow("port out of range")
            << QStringList{"--printer", "port=256"} << "bad value for \"port\"";
        QTest::newRow("bad address")
            << QStringList{"--printer", "eth-ip=300.1.1.1"} << "bad value for \"eth-ip\"";
        QTest::newRow("unknown fault")
            << QStringList{"--printer", "fault=smoke"} << "bad value for \"fault\"";
        QTest::newRow("two on one port")
            << QStringList{"--printer", "port=1", "--printer", "port=1"}
            << "cannot attach a printer on 1-1";
        QTest::newRow("not a bus name")
            << QStringList{"--printer", "sysfs=1-2..3"} << "cannot attach a printer on 1-2..3";
        QTest::newRow("no printer") << QStringList{} << "no printer";
        QTest::newRow("missing state file")
            << QStringList{"--state", "/nonexistent.json"} << "cannot read";
    }

    void badInputRunsNothing()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const QString marker =
            m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".ran");
        const Run run = launch(options, {}, {"/bin/sh", "-c", "touch " + marker});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
        QVERIFY(!QFile::exists(marker));
    }
};

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
