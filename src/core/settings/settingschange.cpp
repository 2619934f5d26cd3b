#include "settings/settingschange.h"

#include "settings/printerio.h"

unsigned SettingsChange::itemsNamed() const
{
    unsigned items = 0;
    for (const auto& value : values)
        items |= itemOf(value.first).id;
    return items;
}

unsigned SettingsChange::itemsToRead() const
{
    unsigned items = 0;
    for (const auto& value : values)
        if (itemOf(value.first).merged())
            items |= itemOf(value.first).id;
    // Switching to access-point mode needs the address the printer already has, if none is given.
    const auto mode = values.find(SettingsField::WifiMode);
    if (mode != values.end() &&
        std::get<std::uint8_t>(mode->second) == wifiModeValue(WifiMode::AccessPoint))
        items |= ItemAccessPoint;
    return items;
}

void writeChange(const SettingsChange& change, PrinterSettings& settings)
{
    for (const auto& value : change.values) {
        itemOf(value.first).emplace(settings);
        fieldSpec(value.first).set(settings, value.second);
    }
}

bool applyChange(const SettingsChange& change, const PrinterSettings& current, PrinterSettings& r,
                 QString& error)
{
    // Every rule is checked on the item as it would be sent, current fields and all.
    PrinterSettings merged = onlyItems(current, change.itemsToRead());
    writeChange(change, merged);
    for (const ItemSpec& item : settingsItems()) {
        if (!(change.itemsNamed() & item.id) || !item.validate)
            continue;
        const SettingsProblem problem = item.validate(merged);
        if (problem && !change.asHeld.count(problem.field)) {
            error = QStringLiteral("%1: %2").arg(QLatin1String(fieldSpec(problem.field).key),
                                                 settingsErrorText(problem.error));
            return false;
        }
    }
    r = onlyItems(merged, change.itemsNamed());
    error = oversizedItem(r);
    return error.isEmpty();
}

QString oversizedItem(const PrinterSettings& settings)
{
    for (const ItemSpec& item : settingsItems())
        if (item.frame && item.has(settings) && item.frame(settings)->isEmpty())
            return QStringLiteral("%1: %2").arg(item.path(),
                                                settingsErrorText(SettingsError::PayloadTooLarge));
    return {};
}
