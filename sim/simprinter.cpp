#include "simprinter.h"

#include "networkside.h"

#include <QMutexLocker>

#include <cerrno>
#include <chrono>

namespace sim {

namespace {

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

SimPrinter::SimPrinter(const PrinterConfig& config)
    : m_config(config), m_firmware(config.state, config.condition), m_network(config.network),
      m_kernelDriver(config.kernelDriver)
{
}

SimPrinter::~SimPrinter() = default;

int SimPrinter::port() const
{
    const QString& name = m_config.sysfsName;
    const int cut = qMax(name.lastIndexOf(QLatin1Char('-')), name.lastIndexOf(QLatin1Char('.')));
    return name.mid(cut + 1).toInt();
}

PrinterState SimPrinter::state() const
{
    QMutexLocker lock(&m_mutex);
    return m_firmware.state();
}

void SimPrinter::setState(const PrinterState& state)
{
    QMutexLocker lock(&m_mutex);
    m_firmware.setState(state);
}

void SimPrinter::setFault(Fault fault, int faultArg, Trigger trigger)
{
    std::function<void(Fault)> hook;
    Fault inForce;
    {
        QMutexLocker lock(&m_mutex);
        m_firmware.setFault(fault, faultArg, trigger);
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
    m_firmware.setRawReply(frameClass, command, reply);
}

void SimPrinter::clearRawReplies()
{
    QMutexLocker lock(&m_mutex);
    m_firmware.clearRawReplies();
}

PrinterCondition SimPrinter::condition() const
{
    QMutexLocker lock(&m_mutex);
    return m_firmware.condition();
}

void SimPrinter::setCondition(const PrinterCondition& condition)
{
    QMutexLocker lock(&m_mutex);
    m_firmware.setCondition(condition);
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
    m_networkReceived.clear();
    m_firmware.clearTaken();
}

int SimPrinter::selfTests() const
{
    QMutexLocker lock(&m_mutex);
    return m_firmware.selfTests();
}

QList<QByteArray> SimPrinter::prints() const
{
    QMutexLocker lock(&m_mutex);
    return m_firmware.prints();
}

QList<QByteArray> SimPrinter::downloads() const
{
    QMutexLocker lock(&m_mutex);
    return m_firmware.downloads();
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
    if (m_firmware.countTransfer(data) && m_firmware.fault() == Fault::KernelDriver)
        m_kernelDriver = true;
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
        taken.truncate(qBound(0, m_firmware.faultArg(), data.size()));
    m_received.append(taken);
    if (m_receivedHook)
        m_receivedHook(taken);
    for (const Firmware::Reply& reply : m_firmware.take(taken))
        queueReply(reply);
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
    m_kernelDriver = m_config.kernelDriver || m_firmware.faultSet() == Fault::KernelDriver;
}

// A reply leaves as the firmware writes it to the IN FIFO: in one piece or two, after empty
// packets, when the endpoint's faults say so.
void SimPrinter::queueReply(const Firmware::Reply& reply)
{
    const Fault fault = faultInForce();
    const int arg = m_firmware.faultArg();
    const qint64 due = nowMs() + m_config.replyDelayMs;
    if (fault == Fault::ZlpFirst && arg > 0)
        m_inPackets.append({QByteArray(), arg, reply.held, due});
    const int size = int(reply.bytes.size());
    const int first = fault == Fault::SplitReply ? qBound(0, arg, size) : size;
    queuePackets(reply.bytes.left(first), reply.held, due);
    if (first < size)
        queuePackets(reply.bytes.mid(first), reply.held, due + SplitDelayMs);
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

quint16 SimPrinter::serve(const QString& address, quint16 port, QString* error)
{
    NetworkConfig net;
    {
        QMutexLocker lock(&m_mutex);
        net = m_network;
        if (!m_networkSide)
            m_networkSide = std::make_unique<NetworkSide>(*this);
    }
    return m_networkSide->listen(address, port, net.delayMs, net.enabled, error);
}

NetworkConfig SimPrinter::network() const
{
    QMutexLocker lock(&m_mutex);
    return m_network;
}

void SimPrinter::setNetwork(const NetworkConfig& network)
{
    QMutexLocker lock(&m_mutex);
    m_network = network;
}

QList<QByteArray> SimPrinter::networkReceived() const
{
    QMutexLocker lock(&m_mutex);
    return m_networkReceived;
}

void SimPrinter::noteConnection()
{
    QMutexLocker lock(&m_mutex);
    m_networkReceived.append(QByteArray());
}

void SimPrinter::noteNetworkBytes(const QByteArray& bytes)
{
    QMutexLocker lock(&m_mutex);
    if (!m_networkReceived.isEmpty())
        m_networkReceived.last() += bytes;
}

QList<Firmware::Reply> SimPrinter::takeFromNetwork(const QByteArray& command)
{
    QMutexLocker lock(&m_mutex);
    m_firmware.countTransfer(command);
    return m_firmware.take(command);
}

} // namespace sim
