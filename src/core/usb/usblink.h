#pragma once

#include "link/printeraddress.h"
#include "link/printerlink.h"
#include "usb/cdeviceioopera.h"

#include <memory>

// A printer on USB, over the exchanges of CDeviceIOOpera: each call opens, claims, transfers and
// releases, or uses the claim of the record's PrinterSession. The record's rule that a printer
// which timed out, went away or stayed stalled gets nothing more holds for every link on it.
class UsbLink : public PrinterLink
{
public:
    // Borrows a record the caller filled and gives back.
    explicit UsbLink(_PrinterHandle* record) : m_record(record) {}
    // Finds the printer at a USB port or path with a record of the link's own; nothing, with
    // outcome saying why, when there is none.
    static std::unique_ptr<UsbLink> open(const PrinterAddress& address, Outcome& outcome);
    ~UsbLink() override;

    Kind kind() const override { return Kind::Usb; }
    _PrinterHandle* record() const { return m_record; }

    Outcome send(const QByteArray& bytes, int budgetMs) override;
    using PrinterLink::send;
    Outcome exchange(const QByteArray& bytes, const ReplyMatcher& match, QByteArray& answer,
                     int budgetMs) override;
    Outcome drain(int budgetMs) override;
    bool lost() const override { return m_record && m_record->lost != TransportFailure::None; }

private:
    Outcome outcome(int code);

    std::unique_ptr<ScopedPrinterHandle> m_owned;
    _PrinterHandle* m_record = nullptr;
};
