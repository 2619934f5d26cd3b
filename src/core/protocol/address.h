#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// Four address bytes, leftmost number first: the order every address travels in.
using Address = std::array<std::uint8_t, 4>;

// Dotted decimal without leading zeros: C0 A8 01 64 gives "192.168.1.100".
QString formatAddress(const Address& address);
// The four bytes at offset in data; bytes past its end read as zero.
Address addressAt(const QByteArray& data, int offset);

// One dot-separated part of an address text as the parsing reads it.
struct AddressPart
{
    QString text;
    int value = 0;     // as read; an empty part or one that is not a number reads 0
    bool valid = true; // digits only (or empty) and at most 255
    // "010": read as 10 here, as 8 by the many tools that take a leading zero for octal.
    bool leadingZero = false;
};

// The parts of an address text as a masked line edit reports it: unfilled places are left out
// and the dots stay, so an empty field is "..." and reads as 0.0.0.0.
QList<AddressPart> addressParts(const QString& text);

// What an empty part of an address text means: refused where the printer uses the address,
// read as 0 in a field it ignores (an address that DHCP replaces).
enum class EmptyParts
{
    Refused,
    ReadAsZero
};

// The four bytes of an address text; nothing when it has not four parts or a part is not a
// number from 0 to 255 (sending such a part cut to 8 bits would misconfigure the printer).
// Spaces around a part are ignored: the bytes, formatted again, are the one form sent.
std::optional<Address> parseAddress(const QString& text, EmptyParts empty = EmptyParts::Refused);

// A TCP or UDP port: a whole number from 1 to 65535, surrounding spaces ignored.
std::optional<std::uint16_t> parsePort(const QString& text);
