#pragma once

#include "simdescriptors.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace sim {

// Faults a printer can be told to show; each stays until cleared with Fault::None (or as its
// Trigger says).
enum class Fault
{
    None,
    KernelDriver, // a kernel driver binds the interface (again), even with kernelDriver false
    OpenRefused,  // opening the device node is refused (no permission)
    WriteError,   // every bulk OUT transfer fails (stall)
    PartialWrite, // a bulk OUT transfer succeeds with only faultArg of its bytes taken
    NoReply,      // replies are never sent: the host's reads time out
    ShortReply,   // replies are cut to faultArg bytes
    Gone,         // still listed, but every request on the device node fails: unplugged mid-command
    Busy,         // another program holds the interface: every claim is refused (EBUSY)
    IgnoreSet,    // a set frame of command faultArg is taken and answered as usual but not stored
    LateReply,    // a reply is held until the host's read has timed out, then goes to the next read
    ZlpFirst,     // faultArg zero-length packets go before each reply (a printer not ready yet)
    SplitReply,   // a reply's first faultArg bytes go at once, the rest SplitDelayMs later
    StaleReply,   // a whole reply to another command goes first, in the same packet stream
    StallIn,      // the bulk IN endpoint halts on the next faultArg transfers (-1: on every one)
    StallOut,     // the bulk OUT endpoint halts on the next faultArg transfers (-1: on every one)
};

// How much later the second part of a split reply follows the first.
constexpr int SplitDelayMs = 30;

// When a fault is in force. Transfers are the bulk OUT transfers the host makes to the printer
// (stalled ones too), counted from the setFault() call (from attaching, for PrinterConfig). A
// transfer carries a command when a frame of that class and command byte is anywhere in it.
// A fault in force on a transfer acts on that transfer (a stall, a partial write, the node gone)
// and on the replies to the frames in it (none, cut short); faults on the device node
// (OpenRefused, Gone) and KernelDriver and Busy also hold between transfers while in force.
//
//   printer->setFault(Fault::NoReply, 0, Trigger::onCommand(0x02, 0x0D)); // the IP query hangs
//   printer->setFault(Fault::WriteError, 0, Trigger::fromTransfer(2));    // the 2nd write on
//   printer->setFault(Fault::WriteError, 0, Trigger::onlyCommand(0x01, 0x13)); // just density
class Trigger
{
public:
    // From now on (the default).
    static Trigger always() { return Trigger(Always, 0, 0); }
    // From the first transfer carrying this command on, that one included.
    static Trigger onCommand(std::uint8_t frameClass, std::uint8_t command)
    {
        return Trigger(OnCommand, key(frameClass, command), 0);
    }
    // From the nth transfer on (1: the next one).
    static Trigger fromTransfer(int n) { return Trigger(FromTransfer, 0, n); }
    // Only on the transfers carrying this command.
    static Trigger onlyCommand(std::uint8_t frameClass, std::uint8_t command)
    {
        return Trigger(OnlyCommand, key(frameClass, command), 0);
    }
    // Until the first transfer carrying this command, which is spared, as is all after it.
    static Trigger untilCommand(std::uint8_t frameClass, std::uint8_t command)
    {
        return Trigger(UntilCommand, key(frameClass, command), 0);
    }

    // In force before any transfer.
    bool initially() const { return m_kind == Always || m_kind == UntilCommand; }
    // Whether the fault is in force on the nth transfer since it was set, given whether that
    // transfer carries the command and whether an earlier one did.
    bool inForce(int n, bool carries, bool carriedBefore) const;
    std::uint16_t command() const { return m_command; }

private:
    enum Kind
    {
        Always,
        OnCommand,
        FromTransfer,
        OnlyCommand,
        UntilCommand
    };
    Trigger(Kind kind, std::uint16_t command, int n) : m_kind(kind), m_command(command), m_n(n) {}
    static std::uint16_t key(std::uint8_t frameClass, std::uint8_t command)
    {
        return std::uint16_t(frameClass << 8 | command);
    }
    Kind m_kind;
    std::uint16_t m_command;
    int m_n;
};

// What the printer stores, in the payload layouts it answers get frames with.
struct PrinterState
{
    std::uint8_t speed = 1;
    std::uint8_t density = 1;
    std::uint8_t alarm = 0;
    QByteArray firmwareDate = "2023-05-18";
    QByteArray netIp;   // 13 bytes: mode, address, mask, gateway
    QByteArray netPort; // 4 bytes: TCP, UDP, little-endian
    std::uint8_t wifiMode = 1;
    QByteArray station;      // name 00 password 00
    QByteArray ap;           // name 00 password 00 address 00
    QByteArray wifiIp;       // 17 bytes: mode, address, gateway, mask, DNS
    QList<QByteArray> logos; // image blocks of the last FS q download
};

PrinterState defaultState();

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
};

// One simulated printer: the device side of the command frames and of FS q / FS p.
// Thread-safe: the bus calls it from umockdev's worker thread.
class SimPrinter
{
public:
    explicit SimPrinter(const PrinterConfig& config);

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

private:
    friend class SimBus;
    struct Piece
    {
        enum Kind
        {
            Command,
            Print,
            Download
        } kind;
        int start, end; // [start, end) of the transfer
    };
    static QList<Piece> split(const QByteArray& data);
    void handleFrame(const QByteArray& data);
    static QList<std::uint16_t> commandsIn(const QByteArray& data);
    static int downloadEnd(const QByteArray& data, int start, QList<QByteArray>* blocks);
    Fault faultInForce() const { return m_inForce ? m_fault : Fault::None; }
    bool haltedLocked(bool in);
    void handleCommand(std::uint8_t frameClass, std::uint8_t command, const QByteArray& payload);
    void applySetting(std::uint8_t command, const QByteArray& payload);
    void handleDownload(const QByteArray& download);
    QByteArray answer(std::uint8_t frameClass, std::uint8_t command);
    void queueReply(std::uint8_t command, QByteArray reply, bool held);
    void queuePackets(const QByteArray& bytes, bool held, qint64 due);

    PrinterConfig m_config;
    mutable QMutex m_mutex;
    PrinterState m_state;
    Fault m_fault = Fault::None;
    int m_faultArg = 0;
    Trigger m_trigger = Trigger::always();
    bool m_inForce = false;
    int m_transfersSinceFault = 0;
    bool m_triggerSeen = false;
    bool m_kernelDriver = false;
    QList<QByteArray> m_received;
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
    QList<QByteArray> m_prints;
    QList<QByteArray> m_downloads;
    QList<QPair<quint16, QByteArray>> m_rawReplies;
    int m_selfTests = 0;
    bool m_unplugged = false;
    // Set by the bus: a fault that changes the device node (open refused, gone) must reach it.
    std::function<void(Fault)> m_faultChanged;
    std::function<void(const QByteArray&)> m_receivedHook;
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
