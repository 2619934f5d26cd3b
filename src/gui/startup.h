#pragma once

#include "i18n/translation.h"
#include "settings/settingserror.h"

#include <QString>

class QApplication;
class QLocale;
class QTranslator;

// Display scaling and its environment, for this process only; must run before the
// QApplication exists, which reads both.
void prepareDisplayScaling();

// Makes QString::fromLocal8Bit and toLocal8Bit convert UTF-8, as the printers' texts are.
void useUtf8ForLocale();
