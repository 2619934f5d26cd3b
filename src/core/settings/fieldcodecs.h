#pragma once

#include "settings/items.h"

#include <QJsonValue>
#include <QString>

#include <optional>

// One codec per kind of field: how its values are shown, typed after `set`'s "=", kept in the
// settings document and read back from it, and whether they are secret. Every front end goes
// through these, so a new kind of field is its codec here and nothing else.

// A field's value read from a document: the value, or the message that says why not. held marks
// the forms of values as a printer held them (a choice's unnamed byte, port 0, hex bytes, an
// empty name or access-point address), to which the rules do not apply.
struct JsonField
{
    std::optional<FieldValue> value;
    QString error;
    bool held = false;
};

struct FieldCodec
{
    // As `show` prints it and `set` takes it back.
    QString (*text)(const FieldSpec& field, const FieldValue& value);
    // `set`'s value; nothing with the rule it breaks in rule.
    std::optional<FieldValue> (*fromArgument)(const FieldSpec& field, const QString& text,
                                              QString& rule);
    // Whether a value read from a printer is one the rules would refuse to send.
    bool (*outsideRules)(const FieldSpec& field, const FieldValue& value);
    // In the document. A value outside the rules takes a form a typed value cannot take, so a
    // restore sends it back as it is while typed values keep meeting the rules.
    QJsonValue (*toJson)(const FieldSpec& field, const FieldValue& value);
    // From the document. whole: the item is restored whole, so an empty access-point address
    // stays empty; in a change it leaves the printer's own as it is.
    JsonField (*fromJson)(const FieldSpec& field, const QJsonValue& value, bool whole);
    // Shown as SecretMask unless asked for, and never logged.
    bool secret;
};

const FieldCodec& codecOf(FieldKind kind);
bool isSecret(const FieldSpec& field);
