#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

namespace sim {

// Faults a printer can be told to show; each stays until cleared with Fault::None (or as its
// Trigger says). The firmware's (NoReply, ShortReply, IgnoreSet, LateReply, StaleReply) hold on
// USB and on the network alike, where a late reply waits for the host's next command; the others
// are the USB device's.
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
// transfer carries a command when a frame of that class and command byte is anywhere in it; a
// DLE EOT status request counts as class 10, command 04. Over the network each whole command
// the host sends is one transfer.
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

// Where the printer listens for TCP by its stored settings: its static Ethernet address and its
// static Wi-Fi address, each with its mask's prefix length, on the Ethernet TCP port.
struct ListenAddress
{
    QString address;
    int prefix;
    quint16 port;
};
QList<ListenAddress> listenAddresses(const PrinterState& state);

// What the printer reports to the real-time status request DLE EOT n (10 04 n).
enum class Paper
{
    Ok,
    NearEnd,
    End
};
enum class PrinterError
{
    None,
    Cutter,
    Unrecoverable,
    Recoverable
};
struct PrinterCondition
{
    Paper paper = Paper::Ok;
    bool coverOpen = false;
    bool offline = false;
    PrinterError error = PrinterError::None;
    bool reportsStatus = true; // false: DLE EOT goes unanswered
    int statusReply = -1;      // 0-255: this byte answers every DLE EOT n, whatever it means
};

// The printer's firmware: the bytes a host sends in (command frames, DLE EOT, FS p, FS q, text),
// the replies it writes out and what it stores. It knows nothing of the link the bytes came by,
// so its faults (no reply, short, late or stale replies, sets ignored) hold on every link.
// Not thread-safe: its owner locks.
class Firmware
{
public:
    struct Reply
    {
        QByteArray bytes;
        bool held = false; // LateReply: until the host gives up on its read
    };

    Firmware(const PrinterState& state, const PrinterCondition& condition);

    const PrinterState& state() const { return m_state; }
    void setState(const PrinterState& state) { m_state = state; }
    const PrinterCondition& condition() const { return m_condition; }
    void setCondition(const PrinterCondition& condition) { m_condition = condition; }

    void setFault(Fault fault, int faultArg, Trigger trigger);
    Fault fault() const { return m_inForce ? m_fault : Fault::None; } // in force now
    Fault faultSet() const { return m_fault; }                        // in force or not
    int faultArg() const { return m_faultArg; }
    // Counts one transfer towards the fault's trigger; true when the fault comes into force on it.
    bool countTransfer(const QByteArray& data);
    // The bytes of one transfer, taken as a byte stream: what they store, and the replies.
    QList<Reply> take(const QByteArray& data);

    void setRawReply(std::uint8_t frameClass, std::uint8_t command, const QByteArray& reply);
    void clearRawReplies() { m_rawReplies.clear(); }
    // One DLE EOT n answer as the condition gives it; null when the printer answers nothing.
    QByteArray statusByte(int n) const;

    int selfTests() const { return m_selfTests; }
    const QList<QByteArray>& prints() const { return m_prints; }       // FS p
    const QList<QByteArray>& downloads() const { return m_downloads; } // FS q
    void clearTaken();

    // Cuts the whole commands off the front of a byte stream, one transfer each, with the text
    // before each; text after the last stays only where it may begin a command still arriving.
    static QList<QByteArray> takeWhole(QByteArray& stream);

private:
    struct Piece
    {
        enum Kind
        {
            None,
            Partial, // may be a command whose bytes have not all arrived
            Command,
            Status,
            Print,
            Download
        } kind;
        int start, end; // [start, end) of the bytes
    };
    static Piece pieceAt(const QByteArray& data, int at);
    static QList<Piece> split(const QByteArray& data);
    static QList<std::uint16_t> commandsIn(const QByteArray& data);
    static int downloadEnd(const QByteArray& data, int start, QList<QByteArray>* blocks);
    void handleCommand(std::uint8_t frameClass, std::uint8_t command, const QByteArray& payload,
                       QList<Reply>& replies);
    void applySetting(std::uint8_t command, const QByteArray& payload);
    void handleDownload(const QByteArray& download);
    QByteArray answer(std::uint8_t frameClass, std::uint8_t command) const;
    void reply(std::uint8_t command, QByteArray bytes, QList<Reply>& replies) const;

    PrinterState m_state;
    PrinterCondition m_condition;
    Fault m_fault = Fault::None;
    int m_faultArg = 0;
    Trigger m_trigger = Trigger::always();
    bool m_inForce = false;
    int m_transfersSinceFault = 0;
    bool m_triggerSeen = false;
    QList<QPair<std::uint16_t, QByteArray>> m_rawReplies;
    QList<QByteArray> m_prints;
    QList<QByteArray> m_downloads;
    int m_selfTests = 0;
};

} // namespace sim
