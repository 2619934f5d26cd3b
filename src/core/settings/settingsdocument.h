#pragma once

#include "settings/items.h"
#include "settings/printersettings.h"
#include "settings/settingschange.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The versioned document of `show --json` and `backup`. Field names and shape are stable; a
// value the rules would refuse is kept as the printer holds it, in a form restore sends back
// unchanged: a choice's unnamed byte as its number, a name or password as {"hex": "..."}.
constexpr int SettingsDocumentVersion = 1;
QJsonObject toDocument(const PrinterSettings& settings, const QString& product, int port,
                       const QString& path = QString());
// The document paths of such values ("print.speed", "wifi.station.ssid").
QStringList valuesKeptAsHeld(const PrinterSettings& settings);

// What is shown unless secrets are asked for: every secret field present written as SecretMask,
// whatever its value. The item's value is its object in the document, or its one field's value.
QJsonValue withSecretsMasked(const ItemSpec& item, const QJsonValue& value);
QJsonObject withSecretsMasked(QJsonObject document);

// Reads a document back for restore. Every error names the path of the offending value
// ("ethernet.ip: ..."); on any error the result is empty and nothing may be written.
struct DocumentErrors
{
    QStringList messages;
    bool ok() const { return messages.isEmpty(); }
};
PrinterSettings fromDocument(const QJsonObject& document, DocumentErrors& errors);
// A desired-state document: the backup format with any subset of sections and of the fields of
// each item, each field checked as restore checks it. Every error names its path; on any error
// the change is empty and nothing may be written.
SettingsChange changeFromDocument(const QJsonObject& document, DocumentErrors& errors);
// The document's text as one JSON object; a key twice in an object is an error too.
std::optional<QJsonObject> parseDocumentText(const QByteArray& json, DocumentErrors& errors);
// The same from the document's text, which must be one JSON object with no key twice in an
// object; document receives the object when the text parses.
PrinterSettings fromDocumentText(const QByteArray& json, DocumentErrors& errors,
                                 QJsonObject* document = nullptr);
