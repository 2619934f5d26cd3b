#pragma once

#include "usb/printerhandle.h"

#include <QCloseEvent>
#include <QMainWindow>

namespace Ui {
class wifi;
}
enum class SettingsError;
struct SettingsProblem;
struct WifiIp;

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
    SettingsError checkModeInput() const;
    SettingsError checkIpInput() const;
    SettingsProblem readIpFields(WifiIp& settings) const;

    Ui::wifi* ui;
    PPrinterHandle printer_handle = nullptr;
    int printer_port = 0;
};
