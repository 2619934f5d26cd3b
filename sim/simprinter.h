#pragma once

#include "firmware.h"
#include "simdescriptors.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace sim {

// How the printer's network side misbehaves.
enum class NetFault
{
    None,
    Silent, // accepts a connection and takes what comes, but never answers
    Close,  // accepts a connection and closes it at once
    Drop,   // closes the connection when its first reply is due, after half of that reply
};

struct NetworkConfig
{
    bool enabled = true; // false: nothing listens, so a connection is refused
    int delayMs = 0;     // the listener comes up this long after it is asked to listen
    NetFault fault = NetFault::None;
};

class NetworkSide;

struct PrinterConfig
{
    QByteArray product = "RP80 Printer";
    // sysfs name below usb1: libusb takes the port number from the digits after the last '-' or '.'
    // ("1-3" is port 3, "1-2.1" is port 1 behind the hub on port 2).
    QString sysfsName = "1-1";
    std::uint16_t vendorId = 0x36FC;
    std::uint16_t productId = 0x0001;
    std::uint8_t interfaceString = 0; // iInterface of the printer interface
    // wMaxPacketSize of the bulk endpoints: 64 at full speed, 512 at high speed (sysfs speed
    // follows). A reply goes to the host in packets of at most this size.
    int maxPacket = 512;
    // A zero-length packet follows a reply that fills its last packet, as the host needs to
    // know it ended; some firmwares leave it out.
    bool zlp = true;
    int replyDelayMs = 0; // a reply is ready this long after its frame arrived
    usb::Composite composite = usb::Composite::None;
    bool productReadable = true; // false: the product string request stalls
    // The printer-class kernel driver (usblp) binds the interface, as on a machine whose kernel
    // has it: a claim is refused until it is detached, and it binds again when re-attached.
    bool kernelDriver = true;
    // > 0: the printer is pulled out after it has received this many bulk OUT transfers; it then
    // disappears from the bus, and a host still holding it open sees every request fail.
    int unplugAfter = 0;
    Fault fault = Fault::None; // set when the printer is attached
    int faultArg = 0;
    Trigger faultTrigger = Trigger::always();
    PrinterState state = defaultState();
    PrinterCondition condition; // what it answers to DLE EOT
    NetworkConfig network;
};

// One simulated printer: its firmware behind a USB device and, once served, a TCP port.
// Thread-safe: the bus calls it from umockdev's worker thread, the network side from its own.
class SimPrinter
{
public:
    explicit SimPrinter(const PrinterConfig& config);
    ~SimPrinter();

    const PrinterConfig& config() const { return m_config; }
    int port() const;

    PrinterState state() const;
    void setState(const PrinterState& state);

    void setFault(Fault fault, int faultArg = 0, Trigger trigger = Trigger::always());
    // The fault in force now: None while its trigger has not fired (or no longer holds).
    Fault fault() const;
    // The next reply to a get or status frame with this class and command is these raw bytes,
    // exactly as given (wrong headers, any length byte), every time until cleared.
    void setRawReply(std::uint8_t frameClass, std::uint8_t command, const QByteArray& reply);
    void clearRawReplies();
    PrinterCondition condition() const;
    void setCondition(const PrinterCondition& condition);

    // Serves the firmware on a TCP port besides USB, one connection at a time, until the printer
    // is destroyed: at address (dotted IPv4) and port, 0 for one the system picks. Addresses
    // outside 127.0.0.0/8 only inside printer-sim's own network namespace. May be called again
    // for another address. The port, or 0 with a message.
    //
    //   const quint16 port = printer->serve(); // 127.0.0.1, a free port
    quint16 serve(const QString& address = QStringLiteral("127.0.0.1"), quint16 port = 0,
                  QString* error = nullptr);
    NetworkConfig network() const;
    // Takes effect on the next connection; the listener's delay and enabled on the next serve().
    void setNetwork(const NetworkConfig& network);
    // What each network connection sent, one entry per accepted connection, in order.
    QList<QByteArray> networkReceived() const;

    // Every bulk OUT transfer the printer took, in order, as taken: a partial write's first bytes;
    // a stalled write is not here.
    QList<QByteArray> received() const;
    void clearReceived();
    int selfTests() const;
    QList<QByteArray> prints() const;    // FS p frames
    QList<QByteArray> downloads() const; // FS q frames
    bool kernelDriverAttached() const;
    bool unplugged() const;
    // Called with every transfer the printer takes, on umockdev's worker thread, with the
    // printer locked: the hook must not call back into the printer.
    void setReceivedHook(std::function<void(const QByteArray&)> hook);

    // Used by the bus (worker thread).
    struct OutResult
    {
        int status = 0;      // 0 or a negative errno for the URB
        int transferred = 0; // bytes the device took
    };
    OutResult bulkOut(const QByteArray& data);
    // The next packet of the bulk IN endpoint, if one is due; false while none is.
    bool takePacket(QByteArray& packet);
    // Packets wait that are not due yet: the host must keep asking for them.
    bool packetsLater() const;
    // Whether a transfer on the endpoint stalls: it is halted, or a stall fault halts it now.
    bool stalls(unsigned char endpoint);
    // The host cleared the endpoint's halt (USBDEVFS_CLEAR_HALT).
    void clearHalt(unsigned char endpoint);
    int clearHalts() const;
    // A host's open claimed the interface; claims() counts them.
    void noteClaim();
    int claims() const;
    // Another program holds the interface (Busy): usbfs is its driver, and no claim is granted.
    bool heldElsewhere() const;
    bool claimBusy() const;
    void detachKernelDriver();
    // A driver binds again only where one is wanted: kernelDriver, or the KernelDriver fault.
    void attachKernelDriver();
    // The host gave up on a read (its URB was discarded): held replies go to the next read.
    void releaseHeldReplies();

    // true once the transfer that reached unplugAfter has been taken (the bus then removes it).
    bool unplugDue() const;
    void markUnplugged();

    // Used by the network side (its thread).
    void noteConnection();
    // Bytes as they came; then the replies to each whole command in them.
    void noteNetworkBytes(const QByteArray& bytes);
    QList<Firmware::Reply> takeFromNetwork(const QByteArray& command);

private:
    friend class SimBus;
    Fault faultInForce() const { return m_firmware.fault(); }
    bool haltedLocked(bool in);
    void queueReply(const Firmware::Reply& reply);
    void queuePackets(const QByteArray& bytes, bool held, qint64 due);

    PrinterConfig m_config;
    mutable QMutex m_mutex;
    Firmware m_firmware;
    NetworkConfig m_network;
    bool m_kernelDriver = false;
    QList<QByteArray> m_received;
    QList<QByteArray> m_networkReceived;
    struct Packet
    {
        QByteArray bytes;
        int copies = 1;    // the same packet this many times (zero-length ones before a reply)
        bool held = false; // until the host gives up on a read (LateReply)
        qint64 due = 0;    // on the printer's clock
    };
    // The device's IN FIFO, whichever open reads it: a reply nobody read goes to the next read.
    QList<Packet> m_inPackets;
    int m_stallsLeft = 0;
    bool m_halted[2] = {false, false}; // OUT, IN
    int m_clearHalts = 0;
    int m_claims = 0;
    bool m_unplugged = false;
    // Set by the bus: a fault that changes the device node (open refused, gone) must reach it.
    std::function<void(Fault)> m_faultChanged;
    std::function<void(const QByteArray&)> m_receivedHook;
    // Last, so that it stops before the rest of the printer goes.
    std::unique_ptr<NetworkSide> m_networkSide;
};

// The fake USB bus of this process: one umockdev testbed, created before the first libusb_init.
class SimBus
{
public:
    static SimBus& instance();

    // nullptr when the sysfs name is not "1-" and port numbers joined by dots, or is taken by
    // another printer or by a hub in use.
    SimPrinter* add(const PrinterConfig& config);
    // Removes the device: it is no longer enumerated. The printer object is destroyed.
    void unplug(SimPrinter* printer);
    void clear();
    QList<SimPrinter*> printers() const;

private:
    SimBus();
    ~SimBus();
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;
    void removeUnusedHubs();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sim
