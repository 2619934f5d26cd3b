#pragma once

#include <QString>

class QApplication;
class QLocale;
class QTranslator;

// Display scaling and its environment, for this process only; must run before the
// QApplication exists, which reads both.
void prepareDisplayScaling();

// Loads and installs the English translation unless the locale's language is Chinese
// (any script or country). True when the translation was installed.
bool installTranslation(QApplication& app, QTranslator& translator, const QLocale& locale);

// The main window's title in the installed language.
QString applicationTitle();
