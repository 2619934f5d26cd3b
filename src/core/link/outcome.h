#pragma once

#include <QString>

// What went wrong on the way to a printer, whatever the link: one kind per cause a person can act
// on, so both front ends word it the same way.
enum class Failure
{
    None,
    Refused,           // the input was refused before anything was sent
    UsbUnavailable,    // the USB library could not start
    NoPrinter,         // no printer at that port or path
    AccessDenied,      // no permission on the device node
    InUse,             // another program holds the printer's interface
    DriverNotDetached, // a kernel driver holds the interface and could not be detached
    OpenFailed,        // the device could not be opened otherwise
    NoEndpoint,        // no printer interface with a bulk pair
    ClaimFailed,       // the interface could not be claimed otherwise
    WriteFailed,       // the write failed or was cut short
    Timeout,           // no (whole) answer within the budget
    Stalled,           // an endpoint halted again after its halt was cleared
    Gone,              // the printer went away
    ReadFailed,        // the read failed otherwise
    MalformedReply,    // an answer came, but not one to what was asked
    NotAStatus,        // a status request was answered with something else
    ConnectionRefused, // nothing listens at that address and port
    NoRoute,           // no route to that address
    HostNotFound,      // the name does not resolve
    ConnectionLost,    // the peer closed or reset the connection
    NetworkFailed,     // any other socket error
};

// What one call to a printer came to: success, or a failure with its detail. code is the
// transport's int result, kept for the members whose int results the windows rely on.
struct Outcome
{
    Failure failure = Failure::None;
    int code = 0;
    QString detail; // what the system said, where it said more than the kind: "errno 113"

    bool ok() const { return failure == Failure::None; }

    static Outcome success() { return Outcome(); }
    static Outcome failed(Failure why, int code, const QString& detail = QString())
    {
        return Outcome{why, code, detail};
    }
};

// The words a person reads for a kind, translated in the "QObject" context; empty for None.
QString failureText(Failure failure);
// failureText with the detail after it, where there is one.
QString outcomeText(const Outcome& outcome);
// The text as it reads after a label and a colon ("port 1: no permission ..."): English starts
// it in lower case there.
QString failureAfterLabel(Failure failure);
