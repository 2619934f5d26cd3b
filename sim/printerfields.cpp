#include "printerfields.h"

#include <QHash>
#include <QStringList>

#include <functional>

namespace sim {

namespace {

struct Fields
{
    PrinterConfig& config;
    QString* error;
    int port = -1;
    int hub = -1;
};

bool fail(QString* error, const QString& message)
{
    *error = message;
    return false;
}

bool number(const QString& text, int min, int max, int& out)
{
    bool ok = false;
    const int v =
        text.startsWith(QLatin1String("0x")) ? text.mid(2).toInt(&ok, 16) : text.toInt(&ok, 10);
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool address(const QString& text, QByteArray& out)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    QByteArray bytes;
    for (const QString& part : parts) {
        int v = 0;
        if (!number(part, 0, 255, v) || part.startsWith(QLatin1String("0x")))
            return false;
        bytes.append(char(v));
    }
    out = bytes;
    return true;
}

// The zero-terminated texts of the station and access-point data, padded to `count` fields.
QList<QByteArray> texts(const QByteArray& data, int count)
{
    QList<QByteArray> parts = data.split('\0');
    while (parts.size() < count)
        parts.append(QByteArray());
    return parts.mid(0, count);
}

QByteArray joinTexts(const QList<QByteArray>& parts)
{
    QByteArray out;
    for (const QByteArray& p : parts)
        out += p + '\0';
    return out;
}

// Keeps a fixed-size payload at its size while one field of it changes.
void place(QByteArray& payload, int size, int offset, const QByteArray& bytes)
{
    if (payload.size() < size)
        payload.append(QByteArray(size - payload.size(), '\0'));
    payload.replace(offset, bytes.size(), bytes);
}

using Setter = std::function<bool(Fields&, const QString&)>;

Setter byteField(std::uint8_t PrinterState::*field)
{
    return [field](Fields& f, const QString& v) {
        int n = 0;
        if (!number(v, 0, 255, n))
            return false;
        f.config.state.*field = std::uint8_t(n);
        return true;
    };
}

Setter addressField(QByteArray PrinterState::*payload, int size, int offset)
{
    return [=](Fields& f, const QString& v) {
        QByteArray bytes;
        if (!address(v, bytes))
            return false;
        place(f.config.state.*payload, size, offset, bytes);
        return true;
    };
}

Setter portField(int offset)
{
    return [offset](Fields& f, const QString& v) {
        int n = 0;
        if (!number(v, 0, 65535, n))
            return false;
        place(f.config.state.netPort, 4, offset, QByteArray(1, char(n & 0xFF)) + char(n >> 8));
        return true;
    };
}

// on/off into the IP mode byte; the two interfaces use opposite senses (Ethernet 00 = DHCP on).
Setter dhcpField(QByteArray PrinterState::*payload, int size, char onValue, char offValue)
{
    return [=](Fields& f, const QString& v) {
        if (v != QLatin1String("on") && v != QLatin1String("off"))
            return false;
        place(f.config.state.*payload, size, 0,
              QByteArray(1, v == QLatin1String("on") ? onValue : offValue));
        return true;
    };
}

// UTF-8, with \xHH for any other byte, so a printer can hold names in other encodings.
QByteArray textBytes(const QString& v)
{
    QByteArray bytes = v.toUtf8();
    for (int i = bytes.indexOf("\\x"); i >= 0 && i + 4 <= bytes.size();
         i = bytes.indexOf("\\x", i + 1))
        bytes.replace(i, 4, QByteArray::fromHex(bytes.mid(i + 2, 2)));
    return bytes;
}

Setter textField(QByteArray PrinterState::*data, int count, int index)
{
    return [=](Fields& f, const QString& v) {
        QList<QByteArray> parts = texts(f.config.state.*data, count);
        parts[index] = textBytes(v);
        f.config.state.*data = joinTexts(parts);
        return true;
    };
}

bool setFault(Fields& f, const QString& v)
{
    static const QHash<QString, Fault> names{{"none", Fault::None},
                                             {"kernel-driver", Fault::KernelDriver},
                                             {"open-refused", Fault::OpenRefused},
                                             {"write-error", Fault::WriteError},
                                             {"partial-write", Fault::PartialWrite},
                                             {"no-reply", Fault::NoReply},
                                             {"short-reply", Fault::ShortReply},
                                             {"gone", Fault::Gone},
                                             {"busy", Fault::Busy},
                                             {"ignore-set", Fault::IgnoreSet},
                                             {"late-reply", Fault::LateReply},
                                             {"zlp-first", Fault::ZlpFirst},
                                             {"split-reply", Fault::SplitReply},
                                             {"stale-reply", Fault::StaleReply},
                                             {"stall-in", Fault::StallIn},
                                             {"stall-out", Fault::StallOut}};
    const QString name = v.section(QLatin1Char(':'), 0, 0);
    if (!names.contains(name))
        return false;
    f.config.fault = names.value(name);
    f.config.faultArg = 0;
    const QString arg = v.section(QLatin1Char(':'), 1);
    if (name == QLatin1String("stall-in") && arg == QLatin1String("always")) {
        f.config.faultArg = -1;
        return true;
    }
    return !v.contains(QLatin1Char(':')) || number(arg, 0, 1 << 20, f.config.faultArg);
}

bool setComposite(Fields& f, const QString& v)
{
    static const QHash<QString, usb::Composite> names{
        {"none", usb::Composite::None},
        {"hid-first", usb::Composite::HidFirst},
        {"vendor-first", usb::Composite::VendorFirst}};
    f.config.composite = names.value(v, usb::Composite::None);
    return names.contains(v);
}

// CC:DD, the class and command bytes in hexadecimal, as a frame's bytes 3 and 4.
Setter commandTrigger(Trigger (*make)(std::uint8_t, std::uint8_t))
{
    return [make](Fields& f, const QString& v) {
        const QStringList parts = v.split(QLatin1Char(':'));
        bool ok1 = false;
        bool ok2 = false;
        const uint frameClass = parts.value(0).toUInt(&ok1, 16);
        const uint command = parts.value(1).toUInt(&ok2, 16);
        if (parts.size() != 2 || !ok1 || !ok2 || frameClass > 255 || command > 255)
            return false;
        f.config.faultTrigger = make(std::uint8_t(frameClass), std::uint8_t(command));
        return true;
    };
}

using Setters = QList<QPair<QString, Setter>>;

// What the printer stores.
Setters stateSetters()
{
    return {
        {"speed", byteField(&PrinterState::speed)},
        {"density", byteField(&PrinterState::density)},
        {"alarm", byteField(&PrinterState::alarm)},
        {"firmware",
         [](Fields& f, const QString& v) {
             f.config.state.firmwareDate = v.toLatin1();
             return true;
         }},
        {"eth-dhcp", dhcpField(&PrinterState::netIp, 13, '\x00', '\x01')},
        {"eth-ip", addressField(&PrinterState::netIp, 13, 1)},
        {"eth-mask", addressField(&PrinterState::netIp, 13, 5)},
        {"eth-gateway", addressField(&PrinterState::netIp, 13, 9)},
        {"eth-tcp", portField(0)},
        {"eth-udp", portField(2)},
        {"wifi-mode",
         [](Fields& f, const QString& v) {
             int n = v == QLatin1String("sta") ? 1 : v == QLatin1String("ap") ? 2 : -1;
             return (n > 0 || number(v, 0, 255, n)) &&
                    (f.config.state.wifiMode = std::uint8_t(n), true);
         }},
        {"sta-name", textField(&PrinterState::station, 2, 0)},
        {"sta-password", textField(&PrinterState::station, 2, 1)},
        {"ap-name", textField(&PrinterState::ap, 3, 0)},
        {"ap-password", textField(&PrinterState::ap, 3, 1)},
        {"ap-ip", textField(&PrinterState::ap, 3, 2)},
        {"wifi-dhcp", dhcpField(&PrinterState::wifiIp, 17, '\x01', '\x00')},
        {"wifi-ip", addressField(&PrinterState::wifiIp, 17, 1)},
        {"wifi-gateway", addressField(&PrinterState::wifiIp, 17, 5)},
        {"wifi-mask", addressField(&PrinterState::wifiIp, 17, 9)},
        {"wifi-dns", addressField(&PrinterState::wifiIp, 17, 13)},
    };
}

// The device's descriptors and bus behaviour.
Setters deviceSetters()
{
    return {
        {"product-readable",
         [](Fields& f, const QString& v) {
             f.config.productReadable = v == QLatin1String("yes");
             return v == QLatin1String("yes") || v == QLatin1String("no");
         }},
        {"kernel-driver",
         [](Fields& f, const QString& v) {
             f.config.kernelDriver = v == QLatin1String("yes");
             return v == QLatin1String("yes") || v == QLatin1String("no");
         }},
        {"vendor",
         [](Fields& f, const QString& v) {
             int n = 0;
             return number(v, 0, 0xFFFF, n) && (f.config.vendorId = std::uint16_t(n), true);
         }},
        {"product-id",
         [](Fields& f, const QString& v) {
             int n = 0;
             return number(v, 0, 0xFFFF, n) && (f.config.productId = std::uint16_t(n), true);
         }},
        {"interface-string",
         [](Fields& f, const QString& v) {
             int n = 0;
             return number(v, 0, 255, n) && (f.config.interfaceString = std::uint8_t(n), true);
         }},
        {"max-packet",
         [](Fields& f, const QString& v) {
             f.config.maxPacket = v.toInt();
             return v == QLatin1String("64") || v == QLatin1String("512");
         }},
        {"zlp",
         [](Fields& f, const QString& v) {
             f.config.zlp = v == QLatin1String("yes");
             return v == QLatin1String("yes") || v == QLatin1String("no");
         }},
        {"reply-delay",
         [](Fields& f, const QString& v) { return number(v, 0, 60000, f.config.replyDelayMs); }},
        {"composite", setComposite},
    };
}

// One of a few words into a field; the first word is the default.
template <typename T, typename Set> Setter words(QList<QPair<const char*, T>> names, Set set)
{
    return [=](Fields& f, const QString& v) {
        for (const auto& name : names) {
            if (v == QLatin1String(name.first)) {
                set(f, name.second);
                return true;
            }
        }
        return false;
    };
}

// What the printer answers to DLE EOT, and how its network side behaves.
Setters conditionSetters()
{
    return {
        {"paper",
         words<Paper>({{"ok", Paper::Ok}, {"near-end", Paper::NearEnd}, {"end", Paper::End}},
                      [](Fields& f, Paper v) { f.config.condition.paper = v; })},
        {"cover", words<bool>({{"closed", false}, {"open", true}},
                              [](Fields& f, bool v) { f.config.condition.coverOpen = v; })},
        {"offline", words<bool>({{"no", false}, {"yes", true}},
                                [](Fields& f, bool v) { f.config.condition.offline = v; })},
        {"error",
         words<PrinterError>({{"none", PrinterError::None},
                              {"cutter", PrinterError::Cutter},
                              {"unrecoverable", PrinterError::Unrecoverable},
                              {"recoverable", PrinterError::Recoverable}},
                             [](Fields& f, PrinterError v) { f.config.condition.error = v; })},
        {"status", words<bool>({{"none", false}, {"reports", true}},
                               [](Fields& f, bool v) { f.config.condition.reportsStatus = v; })},
        {"status-reply",
         [](Fields& f, const QString& v) {
             bool ok = false;
             const uint n = v.toUInt(&ok, 16);
             return ok && v.size() == 2 && (f.config.condition.statusReply = int(n), true);
         }},
        {"net-delay",
         [](Fields& f, const QString& v) { return number(v, 0, 60000, f.config.network.delayMs); }},
        {"net", words<NetFault>({{"answer", NetFault::None},
                                 {"silent", NetFault::Silent},
                                 {"close", NetFault::Close},
                                 {"drop", NetFault::Drop}},
                                [](Fields& f, NetFault v) { f.config.network.fault = v; })},
        {"network", words<bool>({{"on", true}, {"off", false}},
                                [](Fields& f, bool v) { f.config.network.enabled = v; })},
    };
}

// Where the device sits and its faults, then the rest.
const Setters& setters()
{
    static const Setters table =
        Setters{
            {"port", [](Fields& f, const QString& v) { return number(v, 0, 255, f.port); }},
            {"hub", [](Fields& f, const QString& v) { return number(v, 1, 255, f.hub); }},
            {"sysfs",
             [](Fields& f, const QString& v) {
                 f.config.sysfsName = v;
                 return v.startsWith(QLatin1String("1-")) && v.size() > 2;
             }},
            {"product",
             [](Fields& f, const QString& v) {
                 f.config.product = v.toUtf8();
                 return true;
             }},
            {"fault", setFault},
            {"fault-on", commandTrigger(&Trigger::onCommand)},
            {"fault-only", commandTrigger(&Trigger::onlyCommand)},
            {"fault-until", commandTrigger(&Trigger::untilCommand)},
            {"fault-from",
             [](Fields& f, const QString& v) {
                 int n = 0;
                 return number(v, 1, 1 << 20, n) &&
                        (f.config.faultTrigger = Trigger::fromTransfer(n), true);
             }},
            {"unplug-after",
             [](Fields& f, const QString& v) {
                 return number(v, 1, 1 << 20, f.config.unplugAfter);
             }},
        } +
        deviceSetters() + stateSetters() + conditionSetters();
    return table;
}

QStringList splitFields(const QString& text)
{
    QStringList fields;
    QString current;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size() &&
            text[i + 1] == QLatin1Char(',')) {
            current += QLatin1Char(',');
            ++i;
        } else if (text[i] == QLatin1Char(',')) {
            fields << current;
            current.clear();
        } else {
            current += text[i];
        }
    }
    fields << current;
    return fields;
}

} // namespace

bool parsePrinterFields(const QString& fields, int position, PrinterConfig& config, QString* error)
{
    Fields f{config, error};
    for (const QString& field : splitFields(fields)) {
        if (field.isEmpty())
            continue;
        const int eq = field.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? field : field.left(eq);
        const QString value = eq < 0 ? QString() : field.mid(eq + 1);
        bool known = false;
        for (const auto& entry : setters()) {
            if (entry.first != key)
                continue;
            known = true;
            if (eq < 0 || !entry.second(f, value))
                return fail(
                    error, QStringLiteral("bad value for \"%1\" in --printer %2").arg(key, fields));
        }
        if (!known)
            return fail(error,
                        QStringLiteral("unknown key \"%1\" in --printer %2").arg(key, fields));
    }
    const bool named = fields.contains(QLatin1String("sysfs="));
    if (!named) {
        const int port = f.port >= 0 ? f.port : position;
        config.sysfsName = f.hub > 0 ? QStringLiteral("1-%1.%2").arg(f.hub).arg(port)
                                     : QStringLiteral("1-%1").arg(port);
    }
    return true;
}

QString printerSpecHelp()
{
    return QStringLiteral(
        "FIELDS is a list of key=value fields separated by commas (write \\, for a comma in a "
        "value):\n"
        "  port=N              USB port 0-255 (default: the printer's place among the --printer "
        "options)\n"
        "  hub=H               put it behind a hub on port H (port=1,hub=2 and port=1,hub=3 share "
        "port 1)\n"
        "  sysfs=NAME          the sysfs name itself, e.g. 1-4.2 (overrides port and hub)\n"
        "  product=TEXT        USB product string (default \"RP80 Printer\")\n"
        "  product-readable=no the product string cannot be read\n"
        "  kernel-driver=no    no printer-class kernel driver binds it (default: usblp does)\n"
        "  vendor=0xVVVV       USB vendor id (default 0x36fc; another one is not a printer to the "
        "tool)\n"
        "  product-id=0xPPPP   USB product id (default 0x0001)\n"
        "  max-packet=64|512   bulk packet size: full or high speed (default 512; the endpoint\n"
        "                      descriptors and sysfs speed follow). A reply goes out as packets\n"
        "                      of at most this size; a read ends at a short packet (a zero-length\n"
        "                      one too) or a full buffer, and a packet larger than the room left\n"
        "                      ends it with an overflow; a read the host gives up on\n"
        "                      ends with the bytes it holds\n"
        "  zlp=yes|no          a zero-length packet after a reply that fills its last packet\n"
        "                      (default yes)\n"
        "  reply-delay=MS      a reply is ready MS milliseconds after its frame arrived\n"
        "  composite=hid-first|vendor-first  an HID interface (one interrupt endpoint) or a "
        "vendor\n"
        "                      interface (one bulk endpoint) comes before the printer interface\n"
        "  speed=N density=N alarm=N   print settings as the printer stores them (0-255)\n"
        "  firmware=TEXT       firmware version date (default 2023-05-18)\n"
        "  eth-dhcp=on|off eth-ip=A.B.C.D eth-mask=... eth-gateway=... eth-tcp=N eth-udp=N\n"
        "  wifi-mode=sta|ap|N sta-name=TEXT sta-password=TEXT ap-name=TEXT ap-password=TEXT "
        "ap-ip=TEXT\n"
        "                      (\\xHH in TEXT is the byte HH, for names in other encodings)\n"
        "  wifi-dhcp=on|off wifi-ip=A.B.C.D wifi-gateway=... wifi-mask=... wifi-dns=...\n"
        "  fault=KIND          none, kernel-driver (a driver binds, even with kernel-driver=no),\n"
        "                      open-refused,\n"
        "                      write-error, partial-write:N (takes N bytes), no-reply (reads time "
        "out),\n"
        "                      short-reply:N (replies cut to N bytes), gone (listed, but every\n"
        "                      request fails), busy (another program holds the interface),\n"
        "                      ignore-set:C (a set frame of command C is taken, not stored),\n"
        "                      late-reply (a reply comes after the read timed out, to the next),\n"
        "                      zlp-first:N (N zero-length packets before each reply),\n"
        "                      split-reply:K (a reply's first K bytes, the rest 30 ms later),\n"
        "                      stale-reply (a whole reply to another command goes first, in the\n"
        "                      same packet stream), stall-in:N|always, stall-out:N (the endpoint\n"
        "                      halts on the next N transfers and stays halted until the host\n"
        "                      clears it; a stalled OUT transfer is not delivered)\n"
        "  fault-on=CC:DD      the fault starts at the first frame of class CC, command DD (hex)\n"
        "  fault-only=CC:DD    the fault holds only for frames of class CC, command DD\n"
        "  fault-until=CC:DD   the fault ends at the first frame of class CC, command DD\n"
        "  fault-from=N        the fault starts at the Nth bulk OUT transfer (1: the first)\n"
        "                      (without these the fault holds from the start; e.g.\n"
        "                      fault=no-reply,fault-on=02:0D: the Ethernet IP query goes "
        "unanswered)\n"
        "  unplug-after=N      pull the printer out after it has taken N transfers\n"
        "What it answers to the real-time status request DLE EOT n (10 04 n, on USB and on\n"
        "the network; fault=...,fault-only=10:04 holds a firmware fault to these requests):\n"
        "  paper=ok|near-end|end      paper at its end also stops printing and takes the\n"
        "                             printer offline\n"
        "  cover=closed|open          an open cover takes it offline\n"
        "  offline=yes                offline for another cause\n"
        "  error=cutter|unrecoverable|recoverable\n"
        "  status=none                DLE EOT goes unanswered\n"
        "  status-reply=HH            every DLE EOT n is answered with the byte HH (hex), valid\n"
        "                             status or not\n"
        "The network side: inside printer-sim's own network namespace, the printer listens for\n"
        "TCP at its static Ethernet address and at its static Wi-Fi address, both on its\n"
        "Ethernet TCP port, as its settings are when the launcher starts (a change written\n"
        "during the run takes effect in the next run, as after the printer restarts), one\n"
        "connection at a time (where two printers share an address and port, the first one\n"
        "listens); commands and DLE EOT arrive as a byte stream and get the replies they get\n"
        "on USB:\n"
        "  net-delay=MS               the listener comes up MS milliseconds late\n"
        "  net=silent                 accepts and takes what comes, never answers\n"
        "  net=close                  accepts and closes the connection at once\n"
        "  net=drop                   closes the connection halfway through its first reply\n"
        "  network=off                nothing listens: a connection is refused\n");
}

QList<PrinterConfig> demoPrinters()
{
    QList<PrinterConfig> list;
    const QStringList fieldLists{
        QStringLiteral("port=1,product=RP80 Printer,speed=2,density=1,alarm=3,firmware=2024-01-02,"
                       "eth-dhcp=off,eth-ip=192.168.1.100,eth-mask=255.255.255.0,"
                       "eth-gateway=192.168.1.1,eth-tcp=9100,eth-udp=80,wifi-mode=sta,"
                       "sta-name=Shop-WiFi,sta-password=counter-2024,ap-name=RP80-Setup,"
                       "ap-password=12345678,ap-ip=192.168.4.1,wifi-dhcp=on,wifi-ip=192.168.1.51,"
                       "wifi-gateway=192.168.1.1,wifi-mask=255.255.255.0,wifi-dns=192.168.1.1"),
        QStringLiteral("port=2,product=RP58 Kitchen,speed=0,density=2,alarm=1,firmware=2023-11-20,"
                       "eth-dhcp=on,eth-ip=10.0.0.57,eth-mask=255.0.0.0,eth-gateway=10.0.0.1,"
                       "eth-tcp=9101,eth-udp=9102,wifi-mode=ap,sta-name=,sta-password=,"
                       "ap-name=Kitchen-Printer,ap-password=kitchen58,ap-ip=192.168.4.1,"
                       "wifi-dhcp=off,wifi-ip=192.168.4.1,wifi-gateway=192.168.4.1,"
                       "wifi-mask=255.255.255.0,wifi-dns=8.8.8.8"),
    };
    for (int i = 0; i < fieldLists.size(); ++i) {
        PrinterConfig config;
        QString error;
        if (parsePrinterFields(fieldLists[i], i + 1, config, &error))
            list.append(config);
    }
    return list;
}

} // namespace sim
