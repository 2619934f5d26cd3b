#pragma once

#include "settings/printersettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// The one description of the printer's settings: every item, its wire command, its place in the
// settings document, its rpsetup keys and its codec. Frames, reads, `set`'s keys, `show`'s lines
// and the document all walk this table, so a new item is one entry here and its codec.

// How a field is written as text and in the document, which rule a typed value meets, and
// whether it is secret: each kind has one codec (fieldcodecs.h).
enum class FieldKind
{
    Choice,    // a byte named by a fixed list ("normal"); a byte off the list stays a number
    OnOff,     // "on"/"off" on the command line (its choices), true/false in the document
    IpAddress, // dotted decimal, four bytes
    Port,      // 1 to 65535
    Name,      // a network name
    Password,  // a network password: secret
    ApAddress, // the access point's own address, kept as the text the printer stores
    Text,      // read-only text (the firmware date)
};

// A field's value: std::uint8_t (Choice), bool, std::uint16_t (Port), Address, QString.
using FieldValue = std::variant<std::uint8_t, bool, std::uint16_t, Address, QString>;

struct ChoiceName
{
    const char* name;
    std::uint8_t value; // on the wire
};

struct FieldSpec
{
    SettingsField id;
    const char* key;     // rpsetup's key: "eth.tcp-port"
    const char* jsonKey; // the key in the item's document object: "tcpPort"
    FieldKind kind;
    std::vector<ChoiceName> choices;
    // Read and write the field; the item must be present in the settings.
    FieldValue (*get)(const PrinterSettings&);
    void (*set)(PrinterSettings&, const FieldValue&);
};

struct ItemSpec
{
    SettingsItem id = SettingsItem(0);
    const char* name = nullptr;    // in messages and apply's report: "ethernet ip"
    std::uint8_t command = 0;      // the get and set command byte (status class when read-only)
    const char* section = nullptr; // the document's top-level key: "ethernet"
    const char* object = nullptr;  // the item's own object inside the section ("station"), or null
    bool readOnly = false;         // read with a status query, never written
    bool shownWhenUnread = false;  // `show` prints "?" for it instead of leaving it out
    std::vector<FieldSpec> fields;
    bool (*has)(const PrinterSettings&) = nullptr;
    void (*reset)(PrinterSettings&) = nullptr;
    // Makes the item present with default values, unless it is already.
    void (*emplace)(PrinterSettings&) = nullptr;
    void (*decode)(PrinterSettings&, const QByteArray& data) = nullptr;
    // The set frame that stores the item; nothing when the item cannot be stored as it is.
    std::optional<QByteArray> (*frame)(const PrinterSettings&) = nullptr;
    // The rule the values to be sent must meet; null when any value may be sent.
    SettingsProblem (*validate)(const PrinterSettings&) = nullptr;

    // Where its fields sit in the document: "wifi.station", "ethernet".
    QString path() const;
    // Written whole: a change to some of its fields is merged into the item as read.
    bool merged() const { return fields.size() > 1; }
};

// Every item in the order they are read, written and shown.
const std::vector<ItemSpec>& settingsItems();
// Every item of the table, as `show` and `backup` read them.
extern const unsigned AllItems;
const ItemSpec& itemSpec(SettingsItem id);
const ItemSpec& itemOf(SettingsField field);
const FieldSpec& fieldSpec(SettingsField field);
// The field an rpsetup key names; null for an unknown key.
const FieldSpec* fieldForKey(const QString& key);

// The names a choice field takes, in wire order.
QStringList choiceNames(const FieldSpec& field);
std::optional<std::uint8_t> choiceByName(const FieldSpec& field, const QString& name);
// The value as `show` prints it, by its kind's codec (fieldcodecs.h).
QString fieldText(const FieldSpec& field, const FieldValue& value);
