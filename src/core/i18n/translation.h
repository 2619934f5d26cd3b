#pragma once

class QCoreApplication;
class QLocale;
class QTranslator;

// Loads and installs the compiled English translation unless the locale's language is Chinese
// (any script or country), for the windows and the command line alike. True when installed.
bool installTranslation(QCoreApplication& app, QTranslator& translator, const QLocale& locale);
