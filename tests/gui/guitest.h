#pragma once

#include "mainwindow.h"
#include "messageboxcatcher.h"
#include "simprinter.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

// Drives the windows the way a user does: Refresh fills the selector, the main window opens the
// settings windows, buttons are clicked by name.
namespace guitest {

using namespace testsupport;

template <class Window> QList<Window*> openWindows()
{
    QList<Window*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget))
            found << window;
    }
    return found;
}

template <class Window> Window* openWindow()
{
    const QList<Window*> found = openWindows<Window>();
    return found.size() == 1 ? found.first() : nullptr;
}

template <class Widget> Widget* child(QWidget* window, const char* name)
{
    auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

inline QPushButton* button(QWidget* w, const char* name)
{
    return child<QPushButton>(w, name);
}
inline QLineEdit* edit(QWidget* w, const char* name)
{
    return child<QLineEdit>(w, name);
}
inline QComboBox* combo(QWidget* w, const char* name)
{
    return child<QComboBox>(w, name);
}

inline sim::SimPrinter* addPrinter(int port)
{
    sim::PrinterConfig config;
    config.sysfsName = QStringLiteral("1-%1").arg(port);
    return sim::SimBus::instance().add(config);
}

// Refresh, then choose the selector entry of the printer on port.
inline void selectPort(MainWindow* main, int port)
{
    button(main, "pushButton_7")->click();
    QComboBox* selector = combo(main, "comboBox_4");
    const QString suffix = QStringLiteral("%1").arg(port, 3, 10, QLatin1Char('0'));
    for (int i = 0; i < selector->count(); ++i) {
        if (selector->itemText(i).endsWith(suffix))
            selector->setCurrentIndex(i);
    }
    if (!selector->currentText().endsWith(suffix))
        qFatal("no printer on port %d in the selector", port);
}

// Runs the deferred deletions a closed settings window is waiting for.
inline void flushDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace guitest
