#include "simprinter.h"

#include <QMutexLocker>

#include <cerrno>
#include <chrono>

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

quint16 rawKey(std::uint8_t frameClass, std::uint8_t command)
{
    return quint16(frameClass << 8 | command);
}

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
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

SimPrinter::SimPrinter(const PrinterConfig& config)
    : m_config(config), m_state(config.state), m_kernelDriver(config.kernelDriver)
{
}

int SimPrinter::port() const
{
    const QString& name = m_config.sysfsName;
    const int cut = qMax(name.lastIndexOf(QLatin1Char('-')), name.lastIndexOf(QLatin1Char('.')));
    return name.mid(cut + 1).toInt();
}

PrinterState SimPrinter::state() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

void SimPrinter::setState(const PrinterState& state)
{
    QMutexLocker lock(&m_mutex);
    m_state = state;
}

void SimPrinter::setFault(Fault fault, int faultArg, Trigger trigger)
{
    std::function<void(Fault)> hook;
    Fault inForce;
    {
        QMutexLocker lock(&m_mutex);
        m_fault = fault;
        m_faultArg = faultArg;
        m_trigger = trigger;
        m_transfersSinceFault = 0;
        m_triggerSeen = false;
        m_inForce = fault != Fault::None && trigger.initially();
        m_stallsLeft = faultArg;
        inForce = faultInForce();
        if (inForce == Fault::KernelDriver)
            m_kernelDriver = true;
        hook = m_faultChanged;
    }
    if (hook)
        hook(inForce);
}

Fault SimPrinter::fault() const
{
    QMutexLocker lock(&m_mutex);
    return faultInForce();
}

void SimPrinter::setRawReply(std::uint8_t frameClass, std::uint8_t command, const QByteArray& reply)
{
    QMutexLocker lock(&m_mutex);
    const quint16 key = rawKey(frameClass, command);
    for (auto& entry : m_rawReplies) {
        if (entry.first == key) {
            entry.second = reply;
            return;
        }
    }
    m_rawReplies.append(qMakePair(key, reply));
}

void SimPrinter::clearRawReplies()
{
    QMutexLocker lock(&m_mutex);
    m_rawReplies.clear();
}

QList<QByteArray> SimPrinter::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

void SimPrinter::clearReceived()
{
    QMutexLocker lock(&m_mutex);
    m_received.clear();
    m_prints.clear();
    m_downloads.clear();
    m_selfTests = 0;
}

int SimPrinter::selfTests() const
{
    QMutexLocker lock(&m_mutex);
    return m_selfTests;
}

QList<QByteArray> SimPrinter::prints() const
{
    QMutexLocker lock(&m_mutex);
    return m_prints;
}

QList<QByteArray> SimPrinter::downloads() const
{
    QMutexLocker lock(&m_mutex);
    return m_downloads;
}

bool SimPrinter::kernelDriverAttached() const
{
    QMutexLocker lock(&m_mutex);
    return m_kernelDriver;
}

bool SimPrinter::unplugged() const
{
    QMutexLocker lock(&m_mutex);
    return m_unplugged;
}

void SimPrinter::setReceivedHook(std::function<void(const QByteArray&)> hook)
{
    QMutexLocker lock(&m_mutex);
    m_receivedHook = std::move(hook);
}

bool SimPrinter::unplugDue() const
{
    QMutexLocker lock(&m_mutex);
    return !m_unplugged && m_config.unplugAfter > 0 && m_received.size() >= m_config.unplugAfter;
}

void SimPrinter::markUnplugged()
{
    QMutexLocker lock(&m_mutex);
    m_unplugged = true;
    m_inPackets.clear();
}

SimPrinter::OutResult SimPrinter::bulkOut(const QByteArray& data)
{
    QMutexLocker lock(&m_mutex);
    if (m_fault != Fault::None) {
        const bool carries = commandsIn(data).contains(m_trigger.command());
        const bool was = m_inForce;
        m_inForce = m_trigger.inForce(++m_transfersSinceFault, carries, m_triggerSeen);
        m_triggerSeen = m_triggerSeen || carries;
        if (m_inForce && !was && m_fault == Fault::KernelDriver)
            m_kernelDriver = true;
    }
    const Fault fault = faultInForce();
    OutResult result;
    if (m_unplugged || fault == Fault::Gone) {
        result.status = -ENODEV;
        return result;
    }
    if (fault == Fault::WriteError || haltedLocked(false)) {
        result.status = -EPIPE;
        return result;
    }
    QByteArray taken = data;
    if (fault == Fault::PartialWrite)
        taken.truncate(qBound(0, m_faultArg, data.size()));
    m_received.append(taken);
    if (m_receivedHook)
        m_receivedHook(taken);
    handleFrame(taken);
    result.transferred = taken.size();
    return result;
}

bool SimPrinter::takePacket(QByteArray& packet)
{
    QMutexLocker lock(&m_mutex);
    if (m_inPackets.isEmpty() || m_inPackets.first().held || m_inPackets.first().due > nowMs())
        return false;
    Packet& first = m_inPackets.first();
    packet = first.bytes;
    if (--first.copies <= 0)
        m_inPackets.removeFirst();
    return true;
}

bool SimPrinter::packetsLater() const
{
    QMutexLocker lock(&m_mutex);
    return !m_inPackets.isEmpty() && !m_inPackets.first().held && m_inPackets.first().due > nowMs();
}

// A stall fault halts the endpoint on its next transfers; a halted endpoint stalls every
// transfer until the host clears it.
bool SimPrinter::haltedLocked(bool in)
{
    bool& halted = m_halted[in ? 1 : 0];
    if (!halted && faultInForce() == (in ? Fault::StallIn : Fault::StallOut) && m_stallsLeft != 0) {
        halted = true;
        m_stallsLeft = m_stallsLeft > 0 ? m_stallsLeft - 1 : m_stallsLeft;
    }
    return halted;
}

bool SimPrinter::stalls(unsigned char endpoint)
{
    QMutexLocker lock(&m_mutex);
    return haltedLocked(endpoint & 0x80);
}

void SimPrinter::clearHalt(unsigned char endpoint)
{
    QMutexLocker lock(&m_mutex);
    m_halted[(endpoint & 0x80) ? 1 : 0] = false;
    ++m_clearHalts;
}

int SimPrinter::clearHalts() const
{
    QMutexLocker lock(&m_mutex);
    return m_clearHalts;
}

void SimPrinter::noteClaim()
{
    QMutexLocker lock(&m_mutex);
    ++m_claims;
}

int SimPrinter::claims() const
{
    QMutexLocker lock(&m_mutex);
    return m_claims;
}

void SimPrinter::releaseHeldReplies()
{
    QMutexLocker lock(&m_mutex);
    for (Packet& p : m_inPackets)
        p.held = false;
}

bool SimPrinter::heldElsewhere() const
{
    QMutexLocker lock(&m_mutex);
    return faultInForce() == Fault::Busy;
}

bool SimPrinter::claimBusy() const
{
    QMutexLocker lock(&m_mutex);
    return m_kernelDriver || faultInForce() == Fault::Busy;
}

void SimPrinter::detachKernelDriver()
{
    QMutexLocker lock(&m_mutex);
    m_kernelDriver = false;
}

void SimPrinter::attachKernelDriver()
{
    QMutexLocker lock(&m_mutex);
    m_kernelDriver = m_config.kernelDriver || m_fault == Fault::KernelDriver;
}

// One transfer may hold several commands back to back, as the printer reads a byte stream.
// Bytes that start no known command are skipped, as the printer would print them as text.
QList<SimPrinter::Piece> SimPrinter::split(const QByteArray& data)
{
    QList<Piece> pieces;
    int i = 0;
    while (i < data.size()) {
        const QByteArray rest = QByteArray::fromRawData(data.constData() + i, data.size() - i);
        Piece piece{Piece::Command, i, i};
        if (rest.startsWith(FrameStart) && rest.size() >= FrameOverhead) {
            const int n = std::uint8_t(rest[5]);
            if (rest.size() >= n + FrameOverhead && rest.mid(6 + n, 3) == FrameEnd)
                piece.end = i + n + FrameOverhead;
        } else if (rest.startsWith("\x1C\x70") && rest.size() >= 4) {
            piece = {Piece::Print, i, i + 4};
        } else if (rest.startsWith("\x1C\x71")) {
            const int end = downloadEnd(data, i, nullptr);
            piece = {Piece::Download, i, end < 0 ? int(data.size()) : end};
        }
        if (piece.end == i) {
            ++i;
            continue;
        }
        pieces.append(piece);
        i = piece.end;
    }
    return pieces;
}

QList<std::uint16_t> SimPrinter::commandsIn(const QByteArray& data)
{
    QList<std::uint16_t> keys;
    for (const Piece& piece : split(data)) {
        if (piece.kind == Piece::Command)
            keys.append(
                rawKey(std::uint8_t(data[piece.start + 3]), std::uint8_t(data[piece.start + 4])));
    }
    return keys;
}

void SimPrinter::handleFrame(const QByteArray& data)
{
    for (const Piece& piece : split(data)) {
        const QByteArray bytes = data.mid(piece.start, piece.end - piece.start);
        switch (piece.kind) {
        case Piece::Command:
            handleCommand(std::uint8_t(bytes[3]), std::uint8_t(bytes[4]),
                          bytes.mid(6, bytes.size() - FrameOverhead));
            break;
        case Piece::Print:
            m_prints.append(bytes);
            break;
        case Piece::Download:
            handleDownload(bytes);
            break;
        }
    }
}

void SimPrinter::handleCommand(std::uint8_t frameClass, std::uint8_t command,
                               const QByteArray& payload)
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
    QByteArray reply = answer(frameClass, command);
    const Fault fault = faultInForce();
    if (reply.isNull() || fault == Fault::NoReply)
        return;
    if (fault == Fault::ShortReply)
        reply.truncate(qMax(0, m_faultArg));
    queueReply(command, reply, fault == Fault::LateReply);
}

// A reply leaves as the firmware writes it to the IN FIFO: in one piece or two, after empty
// packets or a stale reply, when the faults say so.
void SimPrinter::queueReply(std::uint8_t command, QByteArray reply, bool held)
{
    const Fault fault = faultInForce();
    if (fault == Fault::StaleReply)
        reply.prepend(answer(GetClass, command == Speed ? Density : Speed));
    const qint64 due = nowMs() + m_config.replyDelayMs;
    if (fault == Fault::ZlpFirst && m_faultArg > 0)
        m_inPackets.append({QByteArray(), m_faultArg, held, due});
    const int first =
        fault == Fault::SplitReply ? qBound(0, m_faultArg, int(reply.size())) : int(reply.size());
    queuePackets(reply.left(first), held, due);
    if (first < reply.size())
        queuePackets(reply.mid(first), held, due + SplitDelayMs);
}

// Packets of at most maxPacket bytes; a last packet that is full is followed by a zero-length
// one, unless the printer leaves it out.
void SimPrinter::queuePackets(const QByteArray& bytes, bool held, qint64 due)
{
    const int size = qMax(1, m_config.maxPacket);
    for (int at = 0; at < bytes.size(); at += size)
        m_inPackets.append({bytes.mid(at, size), 1, held, due});
    if (bytes.size() % size == 0 && m_config.zlp)
        m_inPackets.append({QByteArray(), 1, held, due});
}

// Fixed-size settings of the wrong size are refused, as the printer's firmware checks the
// length byte against the item; the variable-length network texts are taken as they come.
void SimPrinter::applySetting(std::uint8_t command, const QByteArray& payload)
{
    if (faultInForce() == Fault::IgnoreSet && command == m_faultArg)
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
int SimPrinter::downloadEnd(const QByteArray& data, int start, QList<QByteArray>* blocks)
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
void SimPrinter::handleDownload(const QByteArray& download)
{
    m_downloads.append(download);
    QList<QByteArray> blocks;
    if (downloadEnd(download, 0, &blocks) >= 0)
        m_state.logos = blocks;
}

QByteArray SimPrinter::answer(std::uint8_t frameClass, std::uint8_t command)
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
