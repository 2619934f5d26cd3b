#include "settings/settingsdocument.h"

#include "settings/fieldcodecs.h"
#include "settings/items.h"
#include "settings/validation.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

// The document's messages are rpsetup's: it is the only program that reads documents.
struct Text
{
    Q_DECLARE_TR_FUNCTIONS(rpsetup)
};

QString join(const QString& path, const QString& key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

// The parser takes "\udc9b" or "\ud800" for a character, which no UTF-8 can carry: the first would
// reach the printer as the byte it stands for in rawtext.h's text, the second as "?".
bool holdsLoneSurrogate(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// Walks a document, collecting every error with the path it was found at.
class Reader
{
public:
    explicit Reader(DocumentErrors& errors) : m_errors(errors) {}

    void error(const QString& path, const QString& message)
    {
        m_errors.messages << QStringLiteral("%1: %2").arg(path, message);
    }

    // The object at path, with its unknown keys reported.
    std::optional<QJsonObject> object(const QJsonValue& value, const QString& path,
                                      const QStringList& keys)
    {
        if (!value.isObject()) {
            error(path, Text::tr("应为对象"));
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!keys.contains(it.key()))
                error(join(path, it.key()), Text::tr("未知的键"));
        return object;
    }

    // One field's value, checked by its kind's codec; nothing after reporting why. held: the
    // value is in a form that keeps it as a printer held it (JsonField).
    std::optional<FieldValue> field(const FieldSpec& field, const QJsonValue& value,
                                    const QString& path, bool whole, bool& held)
    {
        if (value.isString() && holdsLoneSurrogate(value.toString())) {
            held = false;
            error(path, Text::tr("含有不成对的代理项转义（如\\udc9b），它不是字符；"
                                 "不是UTF-8的字节请写为 {\"hex\": \"…\"}"));
            return std::nullopt;
        }
        const JsonField read = codecOf(field.kind).fromJson(field, value, whole);
        held = read.held;
        if (!read.error.isEmpty())
            error(path, read.error);
        return read.value;
    }

private:
    DocumentErrors& m_errors;
};

// Deeper than this no document is one the format knows (the document, a section, an item's
// object, a {"hex": ...} value, with room to spare): refused before any other work, so that no
// shape of a document under the size cap costs more than one pass over it.
constexpr int MaxDepth = 8;

struct KeyScan
{
    std::optional<QString> duplicate; // the path of the first key given twice in one object
    int tooDeepAt = -1;               // the byte that opens a level past MaxDepth
};

// The key whose quotes are at begin and end.
QString keyText(const QByteArray& json, int begin, int end)
{
    const QByteArray literal = json.mid(begin, end - begin + 1);
    if (literal.size() >= 2 && literal.endsWith('"') && !literal.contains('\\'))
        return QString::fromUtf8(literal.constData() + 1, literal.size() - 2);
    // The parser decodes the escapes, so "\u0061" and "a" are the same key.
    return QJsonDocument::fromJson('[' + literal + ']').array().first().toString();
}

// A JSON parser keeps one of two values under one key without a word, so such a file does not
// say which value it restores. Levels hold their own key only, so a path is joined only for the
// one key reported.
KeyScan scanKeys(const QByteArray& json)
{
    struct Level
    {
        bool object;
        bool keyed; // a value in an object, named by key; an array's elements are not
        QString key;
        QSet<QString> keys;
        bool expectKey;
    };
    QVector<Level> stack;
    QString lastKey;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') {
            int end = i + 1;
            while (end < json.size() && json[end] != '"')
                end += json[end] == '\\' ? 2 : 1;
            if (!stack.isEmpty() && stack.last().object && stack.last().expectKey) {
                Level& level = stack.last();
                lastKey = keyText(json, i, end);
                if (level.keys.contains(lastKey)) {
                    QStringList path;
                    for (const Level& l : stack)
                        if (l.keyed)
                            path << l.key;
                    return KeyScan{(path << lastKey).join(QLatin1Char('.')), -1};
                }
                level.keys.insert(lastKey);
                level.expectKey = false;
            }
            i = end;
        } else if (c == '{' || c == '[') {
            if (stack.size() == MaxDepth)
                return KeyScan{std::nullopt, i};
            const bool keyed = !stack.isEmpty() && stack.last().object;
            stack.append(Level{c == '{', keyed, keyed ? lastKey : QString(), {}, c == '{'});
        } else if ((c == '}' || c == ']') && !stack.isEmpty()) {
            stack.removeLast();
        } else if (c == ',' && !stack.isEmpty() && stack.last().object) {
            stack.last().expectKey = true;
        }
    }
    return {};
}

// The writable items' sections in document order, each once.
QStringList sections()
{
    QStringList names;
    for (const ItemSpec& item : settingsItems())
        if (!item.readOnly && !names.contains(QLatin1String(item.section)))
            names << QString::fromLatin1(item.section);
    return names;
}

// The keys an object of the document may hold: the fields of the items that sit in it, and the
// objects of the items below it.
QStringList keysAt(const QString& path)
{
    QStringList keys;
    for (const ItemSpec& item : settingsItems()) {
        if (item.path() == path)
            for (const FieldSpec& f : item.fields)
                keys << QString::fromLatin1(f.jsonKey);
        else if (item.object && path == QLatin1String(item.section))
            keys << QString::fromLatin1(item.object);
    }
    return keys;
}

// The document's top level, with its format, version and source checked.
std::optional<QJsonObject> documentBody(Reader& r, const QJsonObject& document)
{
    auto doc =
        r.object(document, QString(), QStringList{"format", "version", "source"} + sections());
    if (!doc)
        return std::nullopt;
    if (doc->value("format").toString() != QLatin1String("receipt-printer-settings"))
        r.error("format", Text::tr("应为以下之一：%1").arg("receipt-printer-settings"));
    if (doc->value("version").toDouble(-1) != SettingsDocumentVersion)
        r.error("version", Text::tr("不支持的版本"));
    if (doc->contains("source"))
        r.object(doc->value("source"), "source", {"product", "port", "path", "firmware"});
    return doc;
}

// Whether the item has its document object to itself: its own object, or a section no other
// item shares (wifiIp).
bool ownsObject(const ItemSpec& item)
{
    return item.object || keysAt(item.path()).size() == int(item.fields.size());
}

// An item is named by an object of its own, or in an object it shares by any of its keys; a
// whole item then needs every field.
void readItemFields(Reader& r, const ItemSpec& item, const QJsonObject& container, bool whole,
                    SettingsChange& change)
{
    bool named = ownsObject(item);
    for (const FieldSpec& f : item.fields)
        named = named || container.contains(QLatin1String(f.jsonKey));
    if (!named)
        return;
    for (const FieldSpec& f : item.fields) {
        const QString path = join(item.path(), f.jsonKey);
        const QJsonValue value = container.value(QLatin1String(f.jsonKey));
        if (value.isUndefined()) {
            if (whole)
                r.error(path, Text::tr("缺少此项"));
            continue;
        }
        bool held = false;
        const auto v = r.field(f, value, path, whole, held);
        if (v)
            change.values[f.id] = *v;
        // Also an empty access-point address in a change, which stands for the printer's own,
        // whatever it is.
        if (held)
            change.asHeld.insert(f.id);
    }
}

// Every writable item the document names, each field checked by its rule. A whole read names
// only items with all their fields, as a backup holds them.
SettingsChange readDocument(const QJsonObject& document, DocumentErrors& errors, bool whole)
{
    Reader r(errors);
    SettingsChange change;
    const auto doc = documentBody(r, document);
    if (!doc)
        return {};
    for (const QString& name : sections()) {
        if (!doc->contains(name))
            continue;
        const auto section = r.object(doc->value(name), name, keysAt(name));
        if (!section)
            continue;
        for (const ItemSpec& item : settingsItems()) {
            if (item.readOnly || name != QLatin1String(item.section))
                continue;
            if (!item.object) {
                readItemFields(r, item, *section, whole, change);
            } else if (section->contains(QLatin1String(item.object))) {
                if (const auto own = r.object(section->value(QLatin1String(item.object)),
                                              item.path(), keysAt(item.path())))
                    readItemFields(r, item, *own, whole, change);
            }
        }
    }
    return errors.ok() ? change : SettingsChange{};
}

} // namespace

QStringList valuesKeptAsHeld(const PrinterSettings& s)
{
    QStringList paths;
    for (const ItemSpec& item : settingsItems())
        if (item.has(s) && !item.readOnly)
            for (const FieldSpec& f : item.fields)
                if (codecOf(f.kind).outsideRules(f, f.get(s)))
                    paths << join(item.path(), QLatin1String(f.jsonKey));
    return paths;
}

QJsonValue withSecretsMasked(const ItemSpec& item, const QJsonValue& value)
{
    const QString mask = QString::fromLatin1(SecretMask);
    if (!value.isObject())
        return !value.isUndefined() && !item.merged() && isSecret(item.fields.front()) ? mask
                                                                                       : value;
    QJsonObject object = value.toObject();
    for (const FieldSpec& f : item.fields)
        if (isSecret(f) && object.contains(QLatin1String(f.jsonKey)))
            object[QLatin1String(f.jsonKey)] = mask;
    return object;
}

QJsonObject withSecretsMasked(QJsonObject document)
{
    for (const ItemSpec& item : settingsItems()) {
        const QString section = QString::fromLatin1(item.section);
        if (!document.contains(section))
            continue;
        QJsonObject inSection = document.value(section).toObject();
        if (!item.object)
            inSection = withSecretsMasked(item, inSection).toObject();
        else if (inSection.contains(QLatin1String(item.object)))
            inSection[QLatin1String(item.object)] =
                withSecretsMasked(item, inSection.value(QLatin1String(item.object)));
        document[section] = inSection;
    }
    return document;
}

QJsonObject toDocument(const PrinterSettings& s, const QString& product, int port,
                       const QString& path)
{
    QJsonObject doc;
    doc["format"] = "receipt-printer-settings";
    doc["version"] = SettingsDocumentVersion;
    QJsonObject source{{"product", product}, {"port", port}};
    if (!path.isEmpty())
        source["path"] = path;
    doc["source"] = source;
    for (const ItemSpec& item : settingsItems()) {
        if (!item.has(s))
            continue;
        QJsonObject section = doc.value(QLatin1String(item.section)).toObject();
        QJsonObject own =
            item.object ? section.value(QLatin1String(item.object)).toObject() : section;
        for (const FieldSpec& f : item.fields)
            own[QLatin1String(f.jsonKey)] = codecOf(f.kind).toJson(f, f.get(s));
        if (item.object)
            section[QLatin1String(item.object)] = own;
        else
            section = own;
        doc[QLatin1String(item.section)] = section;
    }
    return doc;
}

SettingsChange changeFromDocument(const QJsonObject& document, DocumentErrors& errors)
{
    return readDocument(document, errors, false);
}

PrinterSettings fromDocument(const QJsonObject& document, DocumentErrors& errors)
{
    const SettingsChange change = readDocument(document, errors, true);
    PrinterSettings s;
    writeChange(change, s);
    if (const QString oversized = oversizedItem(s); !oversized.isEmpty())
        errors.messages << oversized;
    if (s.wifiMode) {
        const ItemSpec& mode = itemSpec(ItemWifiMode);
        if (const SettingsProblem p = mode.validate(s); p && !change.asHeld.count(p.field))
            errors.messages << QStringLiteral("%1: %2").arg(
                join(itemOf(p.field).path(), QLatin1String(fieldSpec(p.field).jsonKey)),
                settingsErrorText(p.error));
    }
    return errors.ok() ? s : PrinterSettings{};
}

std::optional<QJsonObject> parseDocumentText(const QByteArray& json, DocumentErrors& errors)
{
    // Qt 5's parser leaks the first of two objects under one key, so duplicates are found first.
    const KeyScan scan = scanKeys(json);
    if (scan.tooDeepAt >= 0)
        errors.messages << Text::tr("嵌套超过%1层，不是设置文档（第%2字节）")
                               .arg(QString::number(MaxDepth), QString::number(scan.tooDeepAt));
    else if (scan.duplicate)
        errors.messages << QStringLiteral("%1: %2").arg(*scan.duplicate, Text::tr("重复的键"));
    if (scan.tooDeepAt >= 0 || scan.duplicate)
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        errors.messages << Text::tr("不是有效的JSON：%1（第%2字节）")
                               .arg(parseError.errorString())
                               .arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        errors.messages << Text::tr("文件应为一个JSON对象");
        return std::nullopt;
    }
    return doc.object();
}

PrinterSettings fromDocumentText(const QByteArray& json, DocumentErrors& errors,
                                 QJsonObject* document)
{
    const auto object = parseDocumentText(json, errors);
    if (!object)
        return {};
    if (document)
        *document = *object;
    const PrinterSettings settings = fromDocument(*object, errors);
    return errors.ok() ? settings : PrinterSettings{};
}
