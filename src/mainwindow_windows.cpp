#include "mainwindow.h"
#include "net_set.h"
#include "usb/cdeviceioopera.h"
#include "wifi.h"

namespace {

// A settings window already open only comes forward: it keeps the port it was opened with.
void bringForward(QMainWindow* window)
{
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace

void MainWindow::on_pushButton_8_clicked()
{
    int port = 0;
    {
        ScopedPrinterHandle probe;
        if (!selectPrinter(probe, port))
            return;
    }
    if (netWindow) {
        bringForward(netWindow);
        return;
    }
    // No parent: a window of its own, so the program keeps running while it alone is open.
    netWindow = new net_set();
    connect(netWindow, &net_set::closed, this, &MainWindow::netClosed);
    netWindow->show();
    netWindow->settinghandle(port);
}

void MainWindow::on_pushButton_9_clicked()
{
    int port = 0;
    {
        ScopedPrinterHandle probe;
        if (!selectPrinter(probe, port))
            return;
    }
    if (wifiWindow) {
        bringForward(wifiWindow);
        return;
    }
    wifiWindow = new wifi();
    connect(wifiWindow, &wifi::closed, this, &MainWindow::wClosed);
    wifiWindow->show();
    wifiWindow->settinghandle(port);
}

// The window emits closed() from inside its own close event, so it may only be deleted later.
void MainWindow::netClosed()
{
    show();
    if (!netWindow)
        return;
    netWindow->hide();
    netWindow->deleteLater();
    netWindow = nullptr;
}

void MainWindow::wClosed()
{
    show();
    if (!wifiWindow)
        return;
    wifiWindow->hide();
    wifiWindow->deleteLater();
    wifiWindow = nullptr;
}
