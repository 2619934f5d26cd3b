#pragma once

#include "link/outcome.h"
#include "protocol/reply.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Looks at the bytes read so far from their start and says what they hold: scanReply bound to a
// query's class and command, or a matcher for answers that are not command frames.
using ReplyMatcher = std::function<ReplyScan(const unsigned char* bytes, int length)>;

// The one road to one printer, whatever carries the bytes. Every call returns what it came to;
// after a time-out or a lost printer the link sends nothing more in the command and fails every
// later call with that outcome, since a printer reads its input as one stream and would take the
// next bytes as the rest of the cut ones.
class PrinterLink
{
public:
    enum class Kind
    {
        Usb,
        Network,
    };

    // The budget a call gets when the caller names none: a query's reply, or a write of this
    // size (logo downloads take longer).
    static constexpr int DefaultBudgetMs = 3000;
    static int writeBudgetMs(int length);

    virtual ~PrinterLink() = default;
    PrinterLink() = default;
    PrinterLink(const PrinterLink&) = delete;
    PrinterLink& operator=(const PrinterLink&) = delete;

    virtual Kind kind() const = 0;

    // Writes bytes (a command frame, or raw commands) and reads nothing.
    virtual Outcome send(const QByteArray& bytes, int budgetMs) = 0;
    Outcome send(const QByteArray& bytes) { return send(bytes, writeBudgetMs(int(bytes.size()))); }

    // Writes bytes, then reads until match finds the answer in what came back (the answer alone
    // goes to answer), all within budgetMs of reading.
    virtual Outcome exchange(const QByteArray& bytes, const ReplyMatcher& match, QByteArray& answer,
                             int budgetMs) = 0;

    // Reads and drops what already waits to be read (a late answer to an earlier command), for a
    // query whose answer cannot tell itself from such bytes.
    virtual Outcome drain(int budgetMs) = 0;

    // Whether the printer failed in a way that ends the command (a time-out, a failed or cut
    // write, a lost connection): nothing more is sent then.
    virtual bool lost() const = 0;

    // The first failure of a call on this link, success while there was none.
    const Outcome& firstFailure() const { return m_first; }

protected:
    // Every call's outcome passes here, so the first failure is kept.
    Outcome noted(const Outcome& outcome)
    {
        if (!outcome.ok() && m_first.ok())
            m_first = outcome;
        return outcome;
    }

private:
    Outcome m_first;
};

// A matcher for an answer of exactly n bytes that is not a command frame.
ReplyMatcher rawAnswer(int n);
