#pragma once

#include "settings/settingschange.h"

#include <QString>
#include <QStringList>

// The KEY=VALUE arguments of `set`, each checked by its field's rule before anything is sent.
// False with "key: rule" on the first bad argument.
bool parseChange(const QStringList& arguments, SettingsChange& change, QString& error);

// What `--help` shows after a key's "=": its choices, or nothing where any value of its kind goes.
QString keyValues(const FieldSpec& field);
