#pragma once

#include "settings/printersettings.h"
#include "usb/printerhandle.h"

#include <QCloseEvent>
#include <QMainWindow>

namespace Ui {
class net_set;
}

// The printer's Ethernet settings: IP mode, address, mask, gateway, TCP and UDP ports.
class net_set : public QMainWindow
{
    Q_OBJECT

public:
    explicit net_set(QWidget* parent = nullptr);
    ~net_set() override;

    // The USB port of the printer every later Get and Set talks to.
    void settinghandle(int port);

signals:
    void closed();

private slots:
    void closeEvent(QCloseEvent* event) override;
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    int Net_Set(PPrinterHandle handle);
    int Set_Send_PORT_MESSAGE_Instruction(PPrinterHandle handle);
    int net_lnit(PPrinterHandle handle);
    void on_checkAddressButton_clicked();

private:
    // The fields as the items a Set sends, into pending; the first rule they break.
    SettingsError checkInput();

    Ui::net_set* ui;
    PPrinterHandle printer_handle = nullptr;
    int printer_port = 0;
    PrinterSettings pending; // what checkInput accepted, for the Set that follows it
};
