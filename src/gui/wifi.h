#pragma once

#include "settings/printersettings.h"
#include "usb/printerhandle.h"

#include <QCloseEvent>
#include <QMainWindow>

namespace Ui {
class wifi;
}

// The printer's Wi-Fi settings: station or access-point mode with its network, and the IP settings.
class wifi : public QMainWindow
{
    Q_OBJECT

public:
    explicit wifi(QWidget* parent = nullptr);
    ~wifi() override;

    // The USB port of the printer every later Get and Set talks to.
    void settinghandle(int port);

signals:
    void closed();

private slots:
    void closeEvent(QCloseEvent* event) override;
    void on_pushButton_clicked();
    int wifi_message();
    int wifi_set();
    int IP_Init(PPrinterHandle handle);
    int Set_Send_WIFI_MODE_Instruction(PPrinterHandle handle);
    int Set_Send_AP_MODE_Instruction(PPrinterHandle handle);
    int Set_Send_CONNECT_AP_INFORMATION_Instruction(PPrinterHandle handle);
    int Set_Send_IP_MESSAGE_Instruction(PPrinterHandle handle);
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();
    void on_pushButton_4_clicked();

private:
    // The fields as the items a Set sends, into pending; the first rule they break.
    SettingsError checkModeInput();
    SettingsError checkIpInput();

    Ui::wifi* ui;
    PPrinterHandle printer_handle = nullptr;
    int printer_port = 0;
    PrinterSettings pending; // what the checks accepted, for the Set that follows them
};
