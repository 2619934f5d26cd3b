#include "protocol/frame.h"
#include "testsupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

struct Run
{
    int status = -1;
    QString output;      // standard output and error, merged
    QJsonArray printers; // the launcher's record of every printer after the run
};

// A shell script through the launcher, with rpsetup as a function that runs the real executable:
// scripts make the files a row needs and redirect as users do.
Run launch(const QStringList& printers, const QString& script, const QString& dir)
{
    QStringList args{"--record", dir + "/record.json"};
    for (const QString& fields : printers)
        args << "--printer" << fields;
    args << "--"
         << "sh"
         << "-c"
         << "rpsetup() { \"$RPSETUP\" \"$@\"; }; " + script;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_PRELOAD");
    env.remove("UMOCKDEV_DIR");
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("RPSETUP", RPSETUP);
    env.insert("INTERRUPT_FLUSH_LIBRARY", INTERRUPT_FLUSH_LIBRARY);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(PRINTER_SIM, args);
    Run run;
    if (!p.waitForFinished(60000))
        return run;
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.output = QString::fromUtf8(p.readAll());
    QFile record(dir + "/record.json");
    if (record.open(QIODevice::ReadOnly))
        run.printers = QJsonDocument::fromJson(record.readAll()).object()["printers"].toArray();
    return run;
}

QJsonObject printerOn(const Run& run, int port)
{
    for (const QJsonValue& v : run.printers)
        if (v.toObject()["port"].toInt() == port)
            return v.toObject();
    return {};
}

// Every frame that changes a printer, "SYSFS: HEX", in bus order: all but the get queries
// (class 02), the firmware-date query (class 00, command 04) and status requests (10 04).
QStringList writes(const Run& run)
{
    QStringList frames;
    for (const QJsonValue& printer : run.printers)
        for (const QJsonValue& v : printer["received"].toArray()) {
            const QByteArray bytes = QByteArray::fromHex(v.toString().toLatin1());
            if (!bytes.startsWith(QByteArray::fromHex("1BFFFE02")) &&
                !bytes.startsWith(QByteArray::fromHex("1BFFFE0004")) &&
                !bytes.startsWith(QByteArray::fromHex("1004")))
                frames << printer["sysfs"].toString() + ": " + QString::fromLatin1(toHex(bytes));
        }
    return frames;
}

QString failure(const Run& run)
{
    return QStringLiteral("status %1, output:\n%2").arg(run.status).arg(run.output);
}

// A printer whose every setting differs from the launcher's defaults.
const QString Known = QStringLiteral(
    "port=3,product=Bar Printer,speed=2,density=0,alarm=3,firmware=2024-01-02,"
    "eth-dhcp=off,eth-ip=192.168.1.100,eth-mask=255.255.255.0,eth-gateway=192.168.1.1,"
    "eth-tcp=9100,eth-udp=80,wifi-mode=sta,sta-name=shop,sta-password=12345678,"
    "ap-name=abc,ap-password=,ap-ip=192.168.4.1,wifi-dhcp=on,wifi-ip=10.0.0.5,"
    "wifi-gateway=10.0.0.1,wifi-mask=255.0.0.0,wifi-dns=8.8.8.8");
// Port 1 has never been an access point: it has no address of its own.
const QStringList Two{"port=1,wifi-mode=sta,ap-ip=", Known};
const QString SpeedDoc =
    R"(printf '{"format": "receipt-printer-settings", "version": 1, )"
    R"("source": {"product": "Other"}, "print": {"speed": "normal"}}' > d.json; )";
// Known differs in density, gateway and password; its speed is already faster.
const QString Wanted =
    R"(printf '{"format": "receipt-printer-settings", "version": 1, "print": {"speed": )"
    R"("faster", "density": "normal"}, "ethernet": {"gateway": "192.168.1.254"}, )"
    R"("wifi": {"station": {"password": "abcdefgh"}}}' > w.json; )";
const QString Doc =
    R"(printf '{"format": "receipt-printer-settings", "version": 1, %s}' > w.json; )";

} // namespace

class TestRpsetup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_runs = 0;

    // A directory of its own for each run, holding a black picture for each WxH.png the script
    // names.
    QString freshDir(const QString& script = QString())
    {
        const QString dir = m_dir.filePath(QString::number(++m_runs));
        QDir().mkpath(dir);
        QRegularExpression pictures("(\\d+)x(\\d+)\\.png");
        for (auto it = pictures.globalMatch(script); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            QImage black(m.captured(1).toInt(), m.captured(2).toInt(), QImage::Format_Mono);
            black.fill(0);
            black.save(dir + "/" + m.captured(0));
        }
        return dir;
    }

private slots:
    void commands_data()
    {
        QTest::addColumn<QStringList>("printers");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QStringList>("written");
        const QStringList none;
        const auto row = [](const char* name, const QStringList& printers, const QString& script,
                            int status, const QStringList& says, const QStringList& written) {
            QTest::newRow(name) << printers << script << status << says << written;
        };
        row("list: none, another vendor only", {"port=1,vendor=0x1234"}, "rpsetup list", 3,
            {"No printer found"}, none);
        row("list: by port, whatever the bus order", {"port=2,product=B", "port=1,product=A"},
            "rpsetup list", 0, {"1\tA\t1-1\n2\tB\t1-2\n"}, none);
        row("show: a stored name's control characters escaped", {"port=1,sta-name=a\x1b[2Jb"},
            "rpsetup show", 0, {"wifi.ssid:        a\\x1b[2Jb\n"}, none);
        row("show masks passwords, and the transport log too", {Known},
            "export RPSETUP_DEBUG=1; rpsetup show; rpsetup set wifi.password=abcdefgh", 0,
            {"wifi.password:    ********\n", "wifi.ap-password: ********\n",
             "get mesage :********"},
            {"1-3: 1B FF FE 01 26 0E 73 68 6F 70 00 61 62 63 64 65 66 67 68 00 1B FE FF"});
        row("show --show-secrets", {Known}, "rpsetup show --show-secrets", 0,
            {"wifi.password:    12345678\n"}, none);
        row("list and show: a product string is not a pattern",
            {"port=1,hub=2,product=S%1%2", "port=1,hub=3,product=B", "port=4,product=T%1"},
            "rpsetup list; rpsetup --path 1-2.1 show; rpsetup --port 4 show", 0,
            {"1\tS%1%2\t1-2.1\n", "printer:          S%1%2 (port 1, 1-2.1)\n",
             "printer:          T%1 (port 4)\n"},
            none);
        row("show: an unknown wifi mode", {"port=1,wifi-mode=5"}, "rpsetup show", 0,
            {"wifi.mode:        unknown (0x05)\n"}, none);
        row("apply: a named mode over an unknown one", {"port=1,wifi-mode=5"},
            QString(Doc).replace("%s", R"("wifi": {"mode": "ap"})") + "rpsetup apply w.json", 0,
            {"port 1: changed: wifi mode"}, {"1-1: 1B FF FE 01 30 01 02 1B FE FF"});
        // The status over USB and at the printer's address, with the monitoring plugins' codes.
        const struct
        {
            const char* fields;
            const char* said;
            int check;
        } conditions[] = {{"", "ready", 0},
                          {"paper=near-end", "ready, paper near end", 1},
                          {"paper=end", "offline, out of paper", 2},
                          {"cover=open", "offline, cover open", 2},
                          {"offline=yes", "offline", 2},
                          {"error=cutter", "cutter error", 2},
                          {"error=unrecoverable", "unrecoverable error", 2},
                          {"error=recoverable", "recoverable error", 2},
                          {"status=none", "does not report status", 3},
                          {"status-reply=FF", "answers, but not with a printer status", 3}};
        for (const auto& c : conditions) {
            const QString check = QString::number(c.check);
            QTest::addRow("status: %s", *c.fields ? c.fields : "ready")
                << QStringList{QStringLiteral("port=1,") + c.fields}
                << "rpsetup status --check; echo \"rc=$?\"; "
                   "rpsetup --host 192.168.1.100 status --check; echo \"rc=$?\"; "
                   "rpsetup --host 192.168.1.50:9100 status"
                << (c.check == 3 && *c.said == 'a' ? 1 : 0)
                << QStringList{QStringLiteral(" - port 1: %1\nrc=%2").arg(c.said, check),
                               QStringLiteral(" - 192.168.1.100:9100: %1\nrc=%2")
                                   .arg(c.said, check),
                               QStringLiteral("192.168.1.50:9100: %1").arg(c.said)}
                << none;
        }
        row("status --json", {"port=1,paper=near-end"}, "rpsetup status --json", 0,
            {"\"link\": \"usb\"", "\"paper\": \"near-end\"", "\"ready\": true",
             "\"printer\": \"1-1\""},
            none);
        row("status: nothing listens at the address", {"port=1,network=off"},
            "rpsetup --host 192.168.1.100 status --check", 3,
            {"UNKNOWN - 192.168.1.100:9100: connection refused"}, none);
        // Where the launcher could not make a network of its own, nothing beyond loopback.
        row("status: the simulator's network only", {"port=1"},
            "RPS_LOOPBACK_ONLY=1 rpsetup --host 192.168.1.100 status", 1,
            {"192.168.1.100:9100: no route to that address"}, none);
        row("settings stay on USB", {"port=1"}, "rpsetup --host 192.168.1.100 show", 2,
            {"show works over USB only"}, none);
        row("check-network: both addresses answer, a receipt printed", {"port=1"},
            "rpsetup check-network --print", 0,
            {"port 1: ethernet 192.168.1.100:9100: this computer's interface lo is on that subnet",
             "port 1: ethernet 192.168.1.100:9100: answers: ready",
             "port 1: wifi 192.168.1.50:9100: answers: ready"},
            none);
        // One connection at a time is all a printer takes: none may wait beside the check's.
        row("check-network --host: the address given", {"port=1"},
            "rpsetup --host 192.168.1.100 check-network", 0,
            {"192.168.1.100:9100: answers: ready\n"}, none);
        row("check-network: DHCP has no address", {"port=1,eth-dhcp=on,wifi-dhcp=on"},
            "rpsetup check-network", 0, {"port 1: ethernet uses DHCP and has no address to check"},
            none);
        row("check-network: refused, silent",
            {"port=1,network=off,wifi-dhcp=on",
             "port=2,net=silent,eth-ip=192.168.1.101,wifi-dhcp=on"},
            "rpsetup --port 1 check-network; rpsetup --port 2 check-network --wait 3", 1,
            {"192.168.1.100:9100: connection refused", "waiting up to 3 s",
             "192.168.1.101:9100: no answer"},
            none);
        row("check-network: not where it was told to be", {"port=1,wifi-dhcp=on"},
            "rpsetup set eth.ip=10.9.9.9 && rpsetup check-network --json", 1,
            {"10.9.9.9:9100: no interface of this computer is on that subnet",
             "\"result\": \"no-route\""},
            {"1-1: 1B FF FE 01 0D 0D 01 0A 09 09 09 FF FF FF 00 C0 A8 01 01 1B FE FF"});
        row("options after the command", {Known}, "rpsetup show --json --port 3", 0,
            {"\"port\": 3"}, none);
        row("-- ends the options", {Known}, "rpsetup --port=3 -- show", 0, {"(port 3)"}, none);
        row("--help lists every key of set", {"port=1"}, "rpsetup --help", 0,
            {"Usage: rpsetup", "wifi-ip.dns="}, none);
        row("list --help names the path column and every key of --json", {"port=1"},
            "rpsetup list --help", 0,
            {"product string and bus path", R"("path": "1-2.1")", R"("access": "ok" or)"}, none);
        row("-V", {"port=1"}, "rpsetup -V", 0, {"rpsetup 1."}, none);
        row("no command", {"port=1"}, "rpsetup", 2, {"Usage: rpsetup"}, none);
        row("set: speed", {Known}, "rpsetup set speed=normal", 0, {},
            {"1-3: 1B FF FE 01 00 01 01 1B FE FF"});
        row("set: gateway keeps mode, address and mask", {Known},
            "rpsetup set eth.gateway=192.168.1.254", 0, {},
            {"1-3: 1B FF FE 01 0D 0D 01 C0 A8 01 64 FF FF FF 00 C0 A8 01 FE 1B FE FF"});
        row("set: udp port keeps tcp port", {Known}, "rpsetup set eth.udp-port=9200", 0, {},
            {"1-3: 1B FF FE 01 0F 04 8C 23 F0 23 1B FE FF"});
        // At full speed the station reply (30 + 23 bytes of text) fills its packet, and this
        // printer sends no zero-length packet after it; the set's write stalls once.
        row("set: password keeps the name, exact packet, stalled write",
            {"port=1,max-packet=64,zlp=no,fault=stall-out:1,fault-on=01:26,sta-name=" +
             QString(30, 'n') + ",sta-password=" + QString(23, 'p')},
            "rpsetup set wifi.password=abcdefgh", 0, {},
            {"1-1: 1B FF FE 01 26 28 " + QString("6E ").repeated(30) +
             "00 61 62 63 64 65 66 67 68 00 1B FE FF"});
        row("set: dns keeps the rest", {Known}, "rpsetup set wifi-ip.dns=1.1.1.1", 0, {},
            {"1-3: 1B FF FE 01 28 11 01 0A 00 00 05 0A 00 00 01 FF 00 00 00 01 01 01 01 1B FE FF"});
        row("set: access-point mode with the address the printer has", {Known},
            "rpsetup set wifi.mode=ap", 0, {}, {"1-3: 1B FF FE 01 30 01 02 1B FE FF"});
        row("--all goes on past an unplugged printer", {"port=1", "port=2,unplug-after=1"},
            "rpsetup --all set speed=faster density=dark", 1, {"port 1: done", "port 2: failed"},
            {"1-1: 1B FF FE 01 00 01 02 1B FE FF", "1-1: 1B FF FE 01 13 01 02 1B FE FF",
             "1-2: 1B FF FE 01 00 01 02 1B FE FF"});
        row("list: a printer the user may not open", {"port=1", "port=4,fault=open-refused"},
            "rpsetup list", 0, {"4\t(no permission)\t1-4\n", "Using a printer without root"}, none);
        row("a printer the user may not open", {"port=1", "port=4,fault=open-refused"},
            "rpsetup --port 4 show", 1,
            {"port 4: no permission to access the printer", "Using a printer without root"}, none);
        row("--all counts a printer the user may not open as failed",
            {"port=1", "port=4,fault=open-refused"}, "rpsetup --all set speed=faster", 1,
            {"port 1: done", "port 4: failed"}, {"1-1: 1B FF FE 01 00 01 02 1B FE FF"});
        row("a printer another program holds", {"port=1,fault=busy"}, "rpsetup set speed=faster", 1,
            {"port 1: in use by another program"}, none);
        // The first set holds the printer from its query on, its reply delayed: a second set
        // then finds the printer in use and sends nothing, and a signal waits for the release.
        const QString held = "(RPSETUP_DEBUG=1 exec \"$RPSETUP\" set eth.gateway=1.2.3.4 2> a) & "
                             "until grep -q 'write: ' a; do sleep 0.01; done; ";
        const QStringList gateway{"1-1: 1B FF FE 01 0D 0D 01 C0 A8 01 64 FF FF FF 00 01 02 03 04 "
                                  "1B FE FF"};
        row("a second set while the first holds the printer", {"port=1,reply-delay=2000"},
            held + "rpsetup set eth.ip=10.0.0.7; echo $?; wait $!; echo $?", 0,
            {"port 1: in use by another program\n1\n0\n"}, gateway);
        row("SIGTERM while a set holds the printer", {"port=1,reply-delay=2000"},
            held + "kill -TERM $!; wait $!; echo $?", 0, {"143\n"}, gateway);
        row("transport log only with RPSETUP_DEBUG=1", {"port=4,fault=open-refused"},
            "rpsetup list 2>&1 | grep -c 'Open Device'; RPSETUP_DEBUG=1 rpsetup list 2>&1 | grep "
            "-c "
            "'Open Device'",
            0, {"0\n1\n"}, none);
        const QStringList onePort{"port=1,hub=2", "port=1,hub=3,product=B"};
        row("a port number two printers have", onePort, "rpsetup --port 1 set speed=faster", 2,
            {"Several printers are on port 1", "  1\tRP80 Printer\t1-2.1\n  1\tB\t1-3.1"}, none);
        row("--path", onePort, "rpsetup --path 1-3.1 set speed=faster", 0, {},
            {"1-3.1: 1B FF FE 01 00 01 02 1B FE FF"});
        row("--all by path", onePort, "rpsetup --all set speed=faster", 0,
            {"port 1 (1-2.1): done", "port 1 (1-3.1): done"},
            {"1-2.1: 1B FF FE 01 00 01 02 1B FE FF", "1-3.1: 1B FF FE 01 00 01 02 1B FE FF"});
        row("set: no reply to the read, nothing written", {"port=1,fault=no-reply,fault-on=02:0D"},
            "rpsetup set eth.gateway=1.2.3.4", 1, {"port 1: reading failed: ethernet ip"}, none);
        row("backup: no reply to a read, no file", {"port=1,fault=no-reply,fault-on=02:28"},
            "rpsetup backup b.json; s=$?; test ! -e b.json && exit $s", 1,
            {"reading failed: wifi ip"}, none);
        row("self-test", {"port=1"}, "rpsetup self-test", 0, {},
            {"1-1: 1B FF FE 00 00 00 1B FE FF"});
        row("logo print", {"port=1"}, "rpsetup logo print 5 --size double-height", 0, {},
            {"1-1: 1C 70 05 02"});
        row("restore warns of another product", {Known}, SpeedDoc + "rpsetup restore d.json", 0,
            {"port 3: warning: the printer is Bar Printer but the backup comes from Other"},
            {"1-3: 1B FF FE 01 00 01 01 1B FE FF"});
        row("restore --dry-run prints the frames", {Known},
            SpeedDoc + "rpsetup restore --dry-run d.json", 0,
            {"speed\t1B FF FE 01 00 01 01 1B FE FF"}, none);
        // ESC, DEL, a C1 control (CSI) and a byte that is not UTF-8 from the printer (whose product
        // string libusb gives as ASCII), a document or an argument: escaped in every message.
        row("list, restore and apply escape device and document text",
            {"port=1,product=P\x1b[2J\x7f,speed=2"},
            QString(Doc).replace("%s",
                                 "\"source\": {\"product\": \"\\\\u001b]0;\\\\u0007\\\\u009b\"}, "
                                 R"("print": {"speed": "faster"})") +
                "rpsetup list; rpsetup list --json; rpsetup restore w.json; rpsetup apply w.json",
            0,
            {"1\tP\\x1b[2J\\x7f\t1-1\n", "\"product\": \"P\\u001b[2J\\u007f\"",
             QString("port 1: warning: the printer is P\\x1b[2J\\x7f but the backup comes from "
                     "\\x1b]0;\\x07\\u009b\n")
                 .repeated(2)},
            {"1-1: 1B FF FE 01 00 01 02 1B FE FF"});
        row("apply --diff gives a stored name with a control as its bytes",
            {"port=1,sta-name=a\xc2\x9b"},
            QString(Doc).replace("%s", R"("wifi": {"station": {"ssid": "b"}})") +
                "rpsetup apply --check --diff w.json",
            0, {"  wifi.station.ssid: {\"hex\":\"61c29b\"} → \"b\"\n"}, none);
        row("backup: a link is replaced, not followed, mode 0600", {"port=1"},
            "echo keep > t; ln -s t b.json; rpsetup backup b.json; stat -c '%a %F' b.json; cat t",
            0, {"600 regular file\nkeep\n"}, none);
        row("backup: a failed write keeps the old file", {"port=1"},
            "echo old > b.json; (trap '' XFSZ; ulimit -f 1; rpsetup backup b.json); s=$?; "
            "cat b.json; ls -A | grep -c rpsetup; exit $s",
            1, {"Cannot write file: b.json\nold\n0\n"}, none);
        // A signal during the flush: the old file stays, the temporary one with the passwords goes.
        const std::pair<const char*, int> interrupts[] = {
            {"backup: SIGINT during the flush", SIGINT},
            {"backup: SIGTERM during the flush", SIGTERM},
            {"backup: SIGHUP during the flush", SIGHUP},
            {"backup: SIGQUIT during the flush", SIGQUIT}};
        for (const auto& [name, number] : interrupts)
            row(name, {"port=1"},
                QStringLiteral("ulimit -c 0; echo old > b.json; INTERRUPT_FLUSH=%1 "
                               "LD_PRELOAD=\"$INTERRUPT_FLUSH_LIBRARY:$LD_PRELOAD\" "
                               "rpsetup backup b.json; echo $?; cat b.json; ls -A")
                    .arg(number),
                0, {QStringLiteral("%1\nold\nb.json\n").arg(128 + number)}, none);
        row("backup: a FIFO is written into, not replaced", {"port=1"},
            "mkfifo f; timeout 10 cat f > got & rpsetup backup f; wait; stat -c '%F' f; "
            "grep -c '\"format\"' got",
            0, {"fifo\n1\n"}, none);
        row("logo download: a link planted for a preview is replaced, not followed", {"port=1"},
            "mkdir p; echo keep > t; ln -s ../t p/1-8x8.png; "
            "rpsetup logo download --preview p 8x8.png; cat t; stat -c '%F' p/1-8x8.png",
            0, {"keep\nregular file\n"},
            {"1-1: 1C 71 01 01 00 01 00" + QString(" FF").repeated(8)});
        row("backup: standard output that fails", {"port=1"}, "rpsetup backup > /dev/full", 1,
            {"Cannot write to standard output"}, none);
        row("file names byte for byte", {"port=1"},
            "f=$(printf 'caf\\351\\360\\237\\222\\251.json'); rpsetup backup \"$f\" && "
            "rpsetup restore --dry-run \"$f\" && test -f \"$f\" && echo same; rm \"$f\"",
            0, {"speed\t", "same"}, none);
        const QStringList applied{
            "1-3: 1B FF FE 01 13 01 01 1B FE FF",
            "1-3: 1B FF FE 01 0D 0D 01 C0 A8 01 64 FF FF FF 00 C0 A8 01 FE 1B FE FF",
            "1-3: 1B FF FE 01 26 0E 73 68 6F 70 00 61 62 63 64 65 66 67 68 00 1B FE FF"};
        row("apply: only what differs, then nothing", {Known},
            Wanted + "rpsetup apply w.json && rpsetup apply w.json", 0,
            {"port 3: changed: density, ethernet ip, wifi station\nport 3: nothing to change\n"},
            applied);
        row("apply --check", {Known}, Wanted + "rpsetup apply --check w.json", 0,
            {"port 3: would change: density, ethernet ip, wifi station\n"}, none);
        row("apply --diff masks passwords", {Known}, Wanted + "rpsetup apply --diff w.json", 0,
            {"\n  ethernet.gateway: \"192.168.1.1\" → \"192.168.1.254\"\n"
             "  wifi.station.password: ******** → ********\n"},
            applied);
        row("apply --diff --show-secrets", {Known},
            Wanted + "rpsetup apply --diff --show-secrets w.json", 0,
            {"  wifi.station.password: \"12345678\" → \"abcdefgh\"\n"}, applied);
        row("apply --json masks passwords", {Known},
            Wanted + "rpsetup apply --json --check w.json > o; ! grep 12345678 o && tr -d ' \n' <o",
            0,
            {R"("wifistation":{"after":{"password":"********","ssid":"shop"},"before":{"password":)"
             R"("********","ssid":"shop"},"status":"would-change"}},"path":"1-3","port":3})"},
            none);
        row("apply: a reply cut short, nothing written",
            {Known + ",fault=short-reply:8,fault-only=02:0D"}, Wanted + "rpsetup apply w.json", 1,
            {"port 3: reading failed: ethernet ip"}, none);
        row("apply: a signal during the writes waits for the report", {Known + ",reply-delay=300"},
            Wanted + "(RPSETUP_DEBUG=1 exec \"$RPSETUP\" apply --json w.json > o 2> a) & "
                     "until grep -q 'write: 10 ' a; do sleep 0.01; done; kill -TERM $!; wait $!; "
                     "echo $?; tr -d ' \n' <o",
            0, {"143\n{\"changed\":true,"}, applied);
        row("apply: a set the printer ignores fails", {Known + ",fault=ignore-set:0x13"},
            Wanted + "rpsetup apply --json w.json > o; s=$?; tr -d ' \n' <o; exit $s", 1,
            {"port 3: the printer gave back other values than were written: density",
             R"("density":{"after":"light","before":"light","status":"failed"})"},
            applied);
        // From the last set frame on (the station's), every reply stalls.
        row("apply: a read-back that fails after the writes",
            {Known + ",fault=stall-in:always,fault-on=01:26"},
            Wanted + "rpsetup apply --json w.json > o; s=$?; tr -d ' \n' <o; exit $s", 1,
            {"port 3: written, but reading it back failed: density, ethernet ip, wifi station",
             R"("changed":true)"},
            applied);
        row("set: a write cut short, the items after it named and not sent",
            {Known + ",fault=partial-write:4,fault-only=01:13"},
            "rpsetup set speed=normal density=dark alarm=off", 1,
            {"port 3: writing failed: density\nport 3: not sent: alarm\n"},
            {"1-3: 1B FF FE 01 00 01 01 1B FE FF", "1-3: 1B FF FE 01"});

        // Refusals: a message, exit 2 (3 for an absent printer), and nothing sent.
        const auto refused = [&](const char* name, const QString& script, const QString& says,
                                 int status = 2) { row(name, Two, script, status, {says}, none); };
        refused("address part", "rpsetup set speed=normal eth.ip=300.1.1.1",
                "eth.ip: Invalid address");
        refused("unknown key", "rpsetup set \"$(printf 'col\\233our')\"=red",
                "col\\x9bour: unknown key");
        row("set: names and passwords whose bytes are not UTF-8", Two,
            "rpsetup --port 3 set \"$(printf 'wifi.ssid=a\\233b')\"; "
            "rpsetup --port 3 set \"$(printf 'wifi.ap-ssid=\\355\\262\\233')\"; "
            "rpsetup --port 3 set \"$(printf 'wifi.password=\\364\\220\\200\\200abcd')\"",
            2,
            {"wifi.ssid: not valid UTF-8", "wifi.ap-ssid: not valid UTF-8",
             "wifi.password: not valid UTF-8"},
            none);
        row("set: an address part with a leading zero, a key given twice", Two,
            "rpsetup --port 3 set eth.ip=010.1.1.1; rpsetup --port 3 set speed=slower speed=faster",
            2, {"eth.ip: An address part must not start with 0", "speed: duplicate key"}, none);
        refused("access point without address, before any printer is written",
                "rpsetup --all set wifi.mode=ap", "port 1: wifi.ap-ip: Please enter the AP IP");
        refused("logo number 0", "rpsetup logo print 0", "logo number from 1 to 255");
        refused("logo number 256", "rpsetup logo print 256", "from 1 to 255");
        refused("no images", "rpsetup logo download", "Please choose images first");
        refused("too many images", "rpsetup logo download $(seq 256 | sed s/.*/8x8.png/)",
                "No more than 255 images");
        refused("over 16 megapixels", "rpsetup logo download 4001x4000.png",
                "over 16 megapixels: 4001x4000.png");
        // Status 2 from rpsetup and 1 from test: no preview is left behind.
        row("image block too large, no preview left", Two,
            "mv 1024x960.png %2.png; rpsetup logo download --preview p 8x8.png %2.png; s=$?; "
            "test -e p; exit $((s+$?))",
            3, {"%2.png is 122884 bytes; a download holds at most 122880 bytes"}, none);
        refused("unreadable image", "rpsetup logo download /nonexistent.png", "Cannot read image");
        refused("image from a FIFO", "mkfifo f.png; rpsetup logo download f.png",
                "f.png: not a regular file");
        refused("no printer on the port", "rpsetup --port 9 show", "No printer on port 9", 3);
        refused("--port in plain digits only", "rpsetup --port +3 show", "--port: must be");
        refused("--port twice", "rpsetup --port 1 show --port 3", "--port may be given only once");
        refused("--port beside --all", "rpsetup --all show --port 1", "Use only one of --port");
        refused("unknown option", "rpsetup show --col$(printf '\\033')our",
                "Unknown option: --col\\x1bour");
        refused("file name", "rpsetup restore \"$(printf 'a\\033[2J\\302\\233\\377.json')\"",
                "Cannot read file: a\\x1b[2J\\u009b\\xff.json\n");
        refused("backup of every printer", "rpsetup --all backup", "one printer at a time");
        refused("restore from a FIFO", "mkfifo f; rpsetup restore f", "f: not a regular file");
        refused("restore from a device", "rpsetup restore /dev/zero", "not a regular file");
        refused("restore of over 1 MiB",
                "head -c 1048577 /dev/zero > b.json; rpsetup restore b.json",
                "b.json: larger than 1 MiB");
        refused(
            "restore of a damaged document",
            R"(echo '{"format": "receipt-printer-settings", "version": 1, "colour": 1,)"
            R"( "ethernet": {"tcpPort": 70000, "udpPort": 80}}' > d.json; rpsetup restore d.json)",
            "colour: unknown key\nethernet.tcpPort: Invalid port");
        refused("restore of an empty document",
                R"(echo '{"format": "receipt-printer-settings", "version": 1}' > d.json; )"
                "rpsetup restore d.json",
                "d.json: the document holds no settings");
        refused("apply of a damaged document",
                QString(Doc).replace("%s", R"("print": {"density": "grey"})") +
                    "rpsetup --port 3 apply w.json",
                "print.density: must be one of");
        refused("apply: the item merged breaks a rule, before any printer is written",
                QString(Doc).replace("%s", R"("wifi": {"mode": "ap"})") +
                    "rpsetup --all apply w.json",
                "port 1: wifi.ap-ip: Please enter the AP IP");
        refused("apply of one static address to several printers",
                QString(Doc).replace("%s", R"("ethernet": {"ip": "10.0.0.9"})") +
                    "rpsetup --all apply w.json",
                "ethernet.ip: the document sets a static IP mode");
        refused("apply of static mode without an address to several printers",
                QString(Doc).replace("%s", R"("wifiIp": {"dhcp": false})") +
                    "rpsetup --all apply w.json",
                "wifiIp.ip: the document sets a static IP mode");
        refused("document keys",
                QString(Doc).replace("%s", "\"\\\\u001b[2J\\\\u009b\": 1") +
                    "rpsetup restore w.json",
                "\\x1b[2J\\u009b: unknown key");
        refused("document not UTF-8",
                QString(Doc).replace("%s", R"("source": {"product": "\377"})") +
                    "rpsetup restore w.json",
                "invalid UTF8 string");
        refused("one static address to several printers",
                "rpsetup --port 3 backup b.json && rpsetup --all restore b.json",
                "ethernet.ip: the document sets a static IP mode");
    }

    void commands()
    {
        QFETCH(QStringList, printers);
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QStringList, says);
        QFETCH(QStringList, written);
        const Run run = launch(printers, script, freshDir(script));
        QVERIFY2(run.status == status, qPrintable(failure(run)));
        for (const QString& text : says)
            QVERIFY2(run.output.contains(text), qPrintable(failure(run)));
        QCOMPARE(writes(run), written);
        if (script.contains("--print"))
            QVERIFY2(
                run.printers[0]["networkReceived"].toArray().first().toString().contains(
                    QByteArray("\x1B@Network check\nAddress: 192.168.1.100\nPort: 9100\n").toHex()),
                qPrintable(failure(run)));
        // No password the rows give a printer reaches the output or the transport's log, unless
        // asked for, or listed among the frames a restore would send, as backup keeps them.
        if (!script.contains("--show-secrets") && !script.contains("--dry-run"))
            for (const char* secret : {"12345678", "abcdefgh"})
                QVERIFY2(!testsupport::holdsSecret(run.output, secret), qPrintable(failure(run)));
        // Whatever happened, the printer-class driver has the interface back.
        for (const QJsonValue& p : run.printers)
            QVERIFY2(p["kernelDriver"].toBool() || p["unplugged"].toBool(),
                     qPrintable(failure(run)));
        // Whatever a printer, a document or an argument holds, no control reaches the terminal.
        for (const QChar c : run.output) {
            const ushort u = c.unicode();
            QVERIFY2(u == '\n' || u == '\t' || (u >= ' ' && u != 0x7F && (u < 0x80 || u >= 0xA0)),
                     qPrintable(failure(run)));
        }
    }

    // A read-modify-write and a second item claim each printer once, so no other program's
    // write can fall between them.
    void oneClaimPerCommand()
    {
        const Run run = launch({"port=1", "port=2"},
                               "rpsetup --all set eth.gateway=1.2.3.4 speed=faster", freshDir());
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        for (const int port : {1, 2})
            QCOMPARE(printerOn(run, port)["claims"].toInt(), 1);
    }

    void showJsonOfAKnownPrinter()
    {
        const Run run = launch({Known}, "rpsetup show --json", freshDir());
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        const QJsonObject expected = QJsonDocument::fromJson(R"({
            "format": "receipt-printer-settings", "version": 1,
            "source": {"product": "Bar Printer", "port": 3, "path": "1-3",
                       "firmware": "2024-01-02"},
            "print": {"speed": "faster", "density": "light", "alarm": "both"},
            "ethernet": {"dhcp": false, "ip": "192.168.1.100", "mask": "255.255.255.0",
                         "gateway": "192.168.1.1", "tcpPort": 9100, "udpPort": 80},
            "wifi": {"mode": "sta", "station": {"ssid": "shop", "password": "********"},
                     "accessPoint": {"ssid": "abc", "password": "********", "ip": "192.168.4.1"}},
            "wifiIp": {"dhcp": true, "ip": "10.0.0.5", "gateway": "10.0.0.1",
                       "mask": "255.0.0.0", "dns": "8.8.8.8"}})")
                                         .object();
        QCOMPARE(QJsonDocument::fromJson(run.output.toUtf8()).object(), expected);
        QVERIFY(writes(run).isEmpty());
    }

    // A printer holding values the rules refuse backs up with a warning naming each, and both
    // restore and apply of that backup give another printer the same bytes.
    void backupRoundTrip_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QStringList>("warned");
        QTest::newRow("every setting differs") << QString() << QStringList();
        QTest::newRow("print settings without names")
            << ",speed=7,density=200,alarm=9"
            << QStringList{"print.speed", "print.density", "print.alarm"};
        QTest::newRow("unknown wifi mode, port 0")
            << ",wifi-mode=5,eth-tcp=0" << QStringList{"wifi.mode", "ethernet.tcpPort"};
        QTest::newRow("name with a tab, name over 32 bytes, 4-byte password")
            << ",sta-name=a\\x09b,ap-name=" + QString(33, 'n') + ",ap-password=abcd"
            << QStringList{"wifi.station.ssid", "wifi.accessPoint.ssid",
                           "wifi.accessPoint.password"};
        QTest::newRow("names not UTF-8, access point without address")
            << ",sta-name=caf\\xe9,sta-password=\\xff\\xfe12345678,ap-ip="
            << QStringList{"wifi.station.ssid", "wifi.station.password", "wifi.accessPoint.ip"};
    }

    void backupRoundTrip()
    {
        QFETCH(QString, held);
        QFETCH(QStringList, warned);
        const QString other = "speed=0,density=2,alarm=0,eth-ip=10.1.1.1,eth-tcp=1,wifi-mode=ap,"
                              "sta-name=other,sta-password=,ap-name=x,ap-ip=";
        const Run run = launch({Known + held, "port=5," + other, "port=6," + other},
                               "rpsetup --port 3 backup b.json && rpsetup --port 5 restore b.json "
                               "&& rpsetup --port 6 apply b.json",
                               freshDir());
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        QCOMPARE(run.output.count("port 3: warning"), warned.size());
        for (const QString& path : warned)
            QVERIFY2(run.output.contains("port 3: warning: " + path + " holds a value outside"),
                     qPrintable(failure(run)));
        QJsonObject want = printerOn(run, 3)["state"].toObject();
        // The firmware is the printer's own and logos cannot be read back.
        for (const char* key : {"firmwareDate", "logos"})
            want.remove(key);
        for (const int port : {5, 6}) {
            QJsonObject got = printerOn(run, port)["state"].toObject();
            for (const char* key : {"firmwareDate", "logos"})
                got.remove(key);
            QVERIFY2(got == want,
                     QJsonDocument(got).toJson() + "\n!=\n" + QJsonDocument(want).toJson());
        }
    }

    void logoFramesMatchTheWindows()
    {
        const QString dir = freshDir("8x8.png");
        QImage white(10, 8, QImage::Format_Grayscale8);
        white.fill(255);
        QVERIFY(white.save(dir + "/b.jpg", "PNG"));
        const Run run = launch({"port=1"}, "rpsetup logo download --preview p 8x8.png b.jpg", dir);
        QVERIFY2(run.status == 0, qPrintable(failure(run)));
        const QByteArray expected = QByteArray::fromHex("1C7102"
                                                        "01000100"
                                                        "FFFFFFFFFFFFFFFF"
                                                        "02000100"
                                                        "00000000000000000000"
                                                        "000000000000");
        const QJsonArray downloads = printerOn(run, 1)["downloads"].toArray();
        QCOMPARE(downloads.size(), 1);
        QCOMPARE(QByteArray::fromHex(downloads[0].toString().toLatin1()).toHex(' '),
                 expected.toHex(' '));
        const QImage preview(dir + "/p/1-8x8.png");
        QCOMPARE(preview.size(), QSize(8, 8));
        QCOMPARE(qGray(preview.pixel(3, 3)), 0);
    }

    void ditheringShadesMidGrey()
    {
        const auto dots = [&](const QString& dither) {
            const QString dir = freshDir();
            QImage grey(16, 16, QImage::Format_Grayscale8);
            grey.fill(128);
            grey.save(dir + "/grey.png");
            const Run run =
                launch({"port=1"}, "rpsetup logo download --dither " + dither + " grey.png", dir);
            const QByteArray frame = QByteArray::fromHex(
                printerOn(run, 1)["downloads"].toArray()[0].toString().toLatin1());
            int bits = 0;
            for (const char byte : frame.mid(7))
                bits += qPopulationCount(quint8(byte));
            return bits;
        };
        // Grey 128 is dark to the plain threshold; diffusion prints about every other dot.
        QCOMPARE(dots("threshold"), 256);
        const int diffused = dots("floyd-steinberg");
        QVERIFY2(diffused > 100 && diffused < 156, qPrintable(QString::number(diffused)));
    }
};

QTEST_GUILESS_MAIN(TestRpsetup)
#include "tst_rpsetup.moc"
