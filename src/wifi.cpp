#include "wifi.h"

wifi::wifi(QWidget* parent) : QMainWindow(parent), ui(nullptr) {}

wifi::~wifi() = default;

void wifi::settinghandle(int port) { printer_port = port; }

void wifi::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

void wifi::on_pushButton_clicked() {}
int wifi::wifi_message() { return -1; }
int wifi::wifi_set() { return -1; }
int wifi::IP_Init(PPrinterHandle) { return -1; }
int wifi::Set_Send_WIFI_MODE_Instruction(PPrinterHandle) { return -1; }
int wifi::Set_Send_AP_MODE_Instruction(PPrinterHandle) { return -1; }
int wifi::Set_Send_CONNECT_AP_INFORMATION_Instruction(PPrinterHandle) { return -1; }
int wifi::Set_Send_IP_MESSAGE_Instruction(PPrinterHandle) { return -1; }
void wifi::on_pushButton_2_clicked() {}
void wifi::on_pushButton_3_clicked() {}
void wifi::on_pushButton_4_clicked() {}
