#include "mainwindow.h"
#include "net_set.h"
#include "usb/usblink.h"
#include "wifi.h"

namespace {

// One window of each kind: a second click only brings the open one forward, and it keeps the
// port it was opened with.
template <class Window>
void openSettingsWindow(MainWindow* main, Window*& window, int port, const char* closedSlot)
{
    if (window) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
        return;
    }
    // No parent: a window of its own, so the program keeps running while it alone is open.
    window = new Window();
    QObject::connect(window, SIGNAL(closed()), main, closedSlot);
    window->show();
    window->settinghandle(port);
}

// The window emits closed() from inside its own close event, so it may only be deleted later.
template <class Window> void closeSettingsWindow(MainWindow* main, Window*& window)
{
    main->show();
    if (!window)
        return;
    window->hide();
    window->deleteLater();
    window = nullptr;
}

} // namespace

void MainWindow::on_pushButton_8_clicked()
{
    int port = 0;
    if (!selectPrinter(port))
        return;
    openSettingsWindow(this, netWindow, port, SLOT(netClosed()));
}

void MainWindow::on_pushButton_9_clicked()
{
    int port = 0;
    if (!selectPrinter(port))
        return;
    openSettingsWindow(this, wifiWindow, port, SLOT(wClosed()));
}

void MainWindow::netClosed()
{
    closeSettingsWindow(this, netWindow);
}

void MainWindow::wClosed()
{
    closeSettingsWindow(this, wifiWindow);
}
