#include "firmware.h"

namespace sim {

namespace {

const QByteArray FrameStart("\x1B\xFF\xFE", 3);
const QByteArray FrameEnd("\x1B\xFE\xFF", 3);
constexpr int FrameOverhead = 9;

enum : std::uint8_t
{
    StatusClass = 0x00,
    SetClass = 0x01,
    GetClass = 0x02
};
enum : std::uint8_t
{
    Speed = 0x00,
    NetIp = 0x0D,
    NetPort = 0x0F,
    Density = 0x13,
    Station = 0x26,
    AccessPoint = 0x27,
    WifiIp = 0x28,
    WifiMode = 0x30,
    Sound = 0x40,
};
enum : std::uint8_t
{
    SelfTestPage = 0x00,
    FirmwareDate = 0x04
};
constexpr char Dle = 0x10;
constexpr char Eot = 0x04;

constexpr int NetIpSize = 13;
constexpr int NetPortSize = 4;
constexpr int WifiIpSize = 17;

QByteArray bytes(std::initializer_list<unsigned char> list)
{
    QByteArray out;
    for (unsigned char b : list)
        out.append(char(b));
    return out;
}

std::uint16_t rawKey(std::uint8_t frameClass, std::uint8_t command)
{
    return std::uint16_t(frameClass << 8 | command);
}

} // namespace

PrinterState defaultState()
{
    PrinterState s;
    // DHCP off, 192.168.1.100, 255.255.255.0, 192.168.1.1
    s.netIp = bytes({0x01, 192, 168, 1, 100, 255, 255, 255, 0, 192, 168, 1, 1});
    // TCP 9100, UDP 80
    s.netPort = bytes({0x8C, 0x23, 0x50, 0x00});
    s.station = QByteArray("Office", 7) + QByteArray("office-pass", 12);
    s.ap = QByteArray("Printer-AP", 11) + QByteArray("12345678", 9) + QByteArray("192.168.4.1", 12);
    // DHCP off, 192.168.1.50, gateway 192.168.1.1, mask 255.255.255.0, DNS 192.168.1.2
    s.wifiIp = bytes({0x00, 192, 168, 1, 50, 192, 168, 1, 1, 255, 255, 255, 0, 192, 168, 1, 2});
    return s;
}

QList<ListenAddress> listenAddresses(const PrinterState& s)
{
    QList<ListenAddress> out;
    if (s.netPort.size() < 2)
        return out;
    const quint16 port = quint16(std::uint8_t(s.netPort[0]) | std::uint8_t(s.netPort[1]) << 8);
    auto add = [&](const QByteArray& payload, int size, char staticMode, int mask) {
        if (payload.size() != size || payload[0] != staticMode)
            return;
        quint32 bits = 0;
        for (int i = 0; i < 4; ++i)
            bits = bits << 8 | std::uint8_t(payload[mask + i]);
        int prefix = 0;
        while (prefix < 32 && (bits << prefix) & 0x80000000u)
            ++prefix;
        const QString address = QStringLiteral("%1.%2.%3.%4")
                                    .arg(std::uint8_t(payload[1]))
                                    .arg(std::uint8_t(payload[2]))
                                    .arg(std::uint8_t(payload[3]))
                                    .arg(std::uint8_t(payload[4]));
        if (address != QLatin1String("0.0.0.0"))
            out.append({address, prefix, port});
    };
    add(s.netIp, NetIpSize, '\x01', 5);
    add(s.wifiIp, WifiIpSize, '\x00', 9);
    return out;
}

bool Trigger::inForce(int n, bool carries, bool carriedBefore) const
{
    switch (m_kind) {
    case Always:
        return true;
    case OnCommand:
        return carries || carriedBefore;
    case FromTransfer:
        return n >= m_n;
    case OnlyCommand:
        return carries;
    case UntilCommand:
        return !carries && !carriedBefore;
    }
    return false;
}

Firmware::Firmware(const PrinterState& state, const PrinterCondition& condition)
    : m_state(state), m_condition(condition)
{
}

void Firmware::setFault(Fault fault, int faultArg, Trigger trigger)
{
    m_fault = fault;
    m_faultArg = faultArg;
    m_trigger = trigger;
    m_transfersSinceFault = 0;
    m_triggerSeen = false;
    m_inForce = fault != Fault::None && trigger.initially();
}

bool Firmware::countTransfer(const QByteArray& data)
{
    if (m_fault == Fault::None)
        return false;
    const bool carries = commandsIn(data).contains(m_trigger.command());
    const bool was = m_inForce;
    m_inForce = m_trigger.inForce(++m_transfersSinceFault, carries, m_triggerSeen);
    m_triggerSeen = m_triggerSeen || carries;
    return m_inForce && !was;
}

void Firmware::setRawReply(std::uint8_t frameClass, std::uint8_t command, const QByteArray& reply)
{
    const std::uint16_t key = rawKey(frameClass, command);
    for (auto& entry : m_rawReplies) {
        if (entry.first == key) {
            entry.second = reply;
            return;
        }
    }
    m_rawReplies.append(qMakePair(key, reply));
}

void Firmware::clearTaken()
{
    m_prints.clear();
    m_downloads.clear();
    m_selfTests = 0;
}

// Every valid answer is 0xx1xx10. A printer whose paper ran out stops printing and goes
// offline, as does one whose cover is open.
QByteArray Firmware::statusByte(int n) const
{
    const PrinterCondition& c = m_condition;
    if (!c.reportsStatus)
        return {};
    if (c.statusReply >= 0)
        return QByteArray(1, char(c.statusReply));
    const bool paperEnd = c.paper == Paper::End;
    int bits = 0x12;
    switch (n) {
    case 1:
        bits |= (c.offline || c.coverOpen || paperEnd) ? 0x08 : 0;
        break;
    case 2:
        bits |= (c.coverOpen ? 0x04 : 0) | (paperEnd ? 0x20 : 0);
        bits |= c.error != PrinterError::None ? 0x40 : 0;
        break;
    case 3:
        bits |= c.error == PrinterError::Cutter ? 0x08 : 0;
        bits |= c.error == PrinterError::Unrecoverable ? 0x20 : 0;
        bits |= c.error == PrinterError::Recoverable ? 0x40 : 0;
        break;
    case 4:
        bits |= c.paper == Paper::NearEnd ? 0x0C : paperEnd ? 0x60 : 0;
        break;
    default:
        return {};
    }
    return QByteArray(1, char(bits));
}

// What starts at data[at]: a whole command, or bytes that may be one still arriving, or neither
// (a byte the printer prints as text).
Firmware::Piece Firmware::pieceAt(const QByteArray& data, int at)
{
    const QByteArray rest = QByteArray::fromRawData(data.constData() + at, data.size() - at);
    const Piece none{Piece::None, at, at};
    const Piece partial{Piece::Partial, at, int(data.size())};
    if (rest.startsWith(FrameStart) || FrameStart.startsWith(rest)) {
        if (rest.size() < FrameOverhead)
            return partial;
        const int n = std::uint8_t(rest[5]);
        if (rest.size() < n + FrameOverhead)
            return partial;
        return rest.mid(6 + n, 3) == FrameEnd ? Piece{Piece::Command, at, at + n + FrameOverhead}
                                              : none;
    }
    if (rest[0] == Dle) {
        if (rest.size() < 3)
            return rest.size() < 2 || rest[1] == Eot ? partial : none;
        return rest[1] == Eot && rest[2] >= 1 && rest[2] <= 4 ? Piece{Piece::Status, at, at + 3}
                                                              : none;
    }
    if (rest.startsWith("\x1C\x70"))
        return rest.size() < 4 ? partial : Piece{Piece::Print, at, at + 4};
    if (rest.startsWith("\x1C\x71")) {
        const int end = downloadEnd(data, at, nullptr);
        return end < 0 ? partial : Piece{Piece::Download, at, end};
    }
    return rest == "\x1C" ? partial : none;
}

// One transfer may hold several commands back to back, as the printer reads a byte stream.
// Bytes that start no known command are skipped, as the printer would print them as text; a
// download whose blocks do not add up takes the rest of the transfer.
QList<Firmware::Piece> Firmware::split(const QByteArray& data)
{
    QList<Piece> pieces;
    int i = 0;
    while (i < data.size()) {
        Piece piece = pieceAt(data, i);
        if (piece.kind == Piece::Partial && data[i] == '\x1C' && data.size() - i > 1 &&
            data[i + 1] == '\x71')
            piece.kind = Piece::Download;
        if (piece.kind == Piece::None || piece.kind == Piece::Partial) {
            ++i;
            continue;
        }
        pieces.append(piece);
        i = piece.end;
    }
    return pieces;
}

QList<QByteArray> Firmware::takeWhole(QByteArray& stream)
{
    QList<QByteArray> out;
    int from = 0;
    int i = 0;
    while (i < stream.size()) {
        const Piece piece = pieceAt(stream, i);
        if (piece.kind == Piece::Partial)
            break;
        if (piece.kind == Piece::None) {
            ++i;
            continue;
        }
        out.append(stream.mid(from, piece.end - from));
        from = i = piece.end;
    }
    stream.remove(0, i);
    return out;
}

QList<std::uint16_t> Firmware::commandsIn(const QByteArray& data)
{
    QList<std::uint16_t> keys;
    for (const Piece& piece : split(data)) {
        if (piece.kind == Piece::Command)
            keys.append(
                rawKey(std::uint8_t(data[piece.start + 3]), std::uint8_t(data[piece.start + 4])));
        else if (piece.kind == Piece::Status)
            keys.append(rawKey(Dle, Eot));
    }
    return keys;
}

QList<Firmware::Reply> Firmware::take(const QByteArray& data)
{
    QList<Reply> replies;
    for (const Piece& piece : split(data)) {
        const QByteArray bytes = data.mid(piece.start, piece.end - piece.start);
        switch (piece.kind) {
        case Piece::Command:
            handleCommand(std::uint8_t(bytes[3]), std::uint8_t(bytes[4]),
                          bytes.mid(6, bytes.size() - FrameOverhead), replies);
            break;
        case Piece::Status:
            reply(Eot, statusByte(bytes[2]), replies);
            break;
        case Piece::Print:
            m_prints.append(bytes);
            break;
        case Piece::Download:
            handleDownload(bytes);
            break;
        default:
            break;
        }
    }
    return replies;
}

void Firmware::handleCommand(std::uint8_t frameClass, std::uint8_t command,
                             const QByteArray& payload, QList<Reply>& replies)
{
    switch (frameClass) {
    case SetClass:
        applySetting(command, payload);
        return;
    case StatusClass:
        if (command == SelfTestPage) {
            ++m_selfTests;
            return;
        }
        break;
    case GetClass:
        break;
    default:
        return;
    }
    reply(command, answer(frameClass, command), replies);
}

// A reply leaves as the firmware writes it: cut short, held back, or after a stale reply to
// another command, when the faults say so.
void Firmware::reply(std::uint8_t command, QByteArray bytes, QList<Reply>& replies) const
{
    const Fault now = fault();
    if (bytes.isNull() || now == Fault::NoReply)
        return;
    if (now == Fault::ShortReply)
        bytes.truncate(qMax(0, m_faultArg));
    if (now == Fault::StaleReply)
        bytes.prepend(answer(GetClass, command == Speed ? Density : Speed));
    replies.append({bytes, now == Fault::LateReply});
}

// Fixed-size settings of the wrong size are refused, as the printer's firmware checks the
// length byte against the item; the variable-length network texts are taken as they come.
void Firmware::applySetting(std::uint8_t command, const QByteArray& payload)
{
    if (fault() == Fault::IgnoreSet && command == m_faultArg)
        return;
    auto one = [&](std::uint8_t& field) {
        if (payload.size() == 1)
            field = std::uint8_t(payload[0]);
    };
    auto fixed = [&](QByteArray& field, int size) {
        if (payload.size() == size)
            field = payload;
    };
    switch (command) {
    case Speed:
        one(m_state.speed);
        break;
    case Density:
        one(m_state.density);
        break;
    case Sound:
        one(m_state.alarm);
        break;
    case WifiMode:
        one(m_state.wifiMode);
        break;
    case NetIp:
        fixed(m_state.netIp, NetIpSize);
        break;
    case NetPort:
        fixed(m_state.netPort, NetPortSize);
        break;
    case WifiIp:
        fixed(m_state.wifiIp, WifiIpSize);
        break;
    case Station:
        m_state.station = payload;
        break;
    case AccessPoint:
        m_state.ap = payload;
        break;
    default:
        break;
    }
}

// FS q n, then n blocks of xL xH yL yH and 8 * X * Y column bytes. Where the download ends;
// -1 when its blocks do not add up (it then takes the rest of the transfer).
int Firmware::downloadEnd(const QByteArray& data, int start, QList<QByteArray>* blocks)
{
    if (data.size() < start + 3)
        return -1;
    const int count = std::uint8_t(data[start + 2]);
    int pos = start + 3;
    for (int b = 0; b < count; ++b) {
        if (data.size() < pos + 4)
            return -1;
        const int x = std::uint8_t(data[pos]) | std::uint8_t(data[pos + 1]) << 8;
        const int y = std::uint8_t(data[pos + 2]) | std::uint8_t(data[pos + 3]) << 8;
        const qint64 size = 4 + qint64(8) * x * y;
        if (data.size() - pos < size)
            return -1;
        if (blocks)
            blocks->append(data.mid(pos, int(size)));
        pos += int(size);
    }
    return pos;
}

// A download replaces every stored logo; one whose blocks do not add up is recorded but leaves
// the logos as they were.
void Firmware::handleDownload(const QByteArray& download)
{
    m_downloads.append(download);
    QList<QByteArray> blocks;
    if (downloadEnd(download, 0, &blocks) >= 0)
        m_state.logos = blocks;
}

QByteArray Firmware::answer(std::uint8_t frameClass, std::uint8_t command) const
{
    for (const auto& entry : qAsConst(m_rawReplies)) {
        if (entry.first == rawKey(frameClass, command))
            return entry.second;
    }
    QByteArray data;
    if (frameClass == StatusClass) {
        if (command != FirmwareDate)
            return {};
        data = m_state.firmwareDate;
    } else {
        switch (command) {
        case Speed:
            data = QByteArray(1, char(m_state.speed));
            break;
        case Density:
            data = QByteArray(1, char(m_state.density));
            break;
        case Sound:
            data = QByteArray(1, char(m_state.alarm));
            break;
        case WifiMode:
            data = QByteArray(1, char(m_state.wifiMode));
            break;
        case NetIp:
            data = m_state.netIp;
            break;
        case NetPort:
            data = m_state.netPort;
            break;
        case WifiIp:
            data = m_state.wifiIp;
            break;
        case Station:
            data = m_state.station;
            break;
        case AccessPoint:
            data = m_state.ap;
            break;
        default:
            return {};
        }
    }
    data.truncate(255);
    QByteArray reply = FrameStart;
    reply.append(char(frameClass));
    reply.append(char(command));
    reply.append(char(data.size()));
    reply.append(data);
    reply.append(FrameEnd);
    return reply;
}

} // namespace sim
