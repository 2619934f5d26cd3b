#include "net_set.h"

net_set::net_set(QWidget* parent) : QMainWindow(parent), ui(nullptr) {}

net_set::~net_set() = default;

void net_set::settinghandle(int port) { printer_port = port; }

void net_set::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

void net_set::on_pushButton_clicked() {}

void net_set::on_pushButton_2_clicked() {}

int net_set::Net_Set(PPrinterHandle) { return -1; }

int net_set::Set_Send_PORT_MESSAGE_Instruction(PPrinterHandle) { return -1; }

int net_set::net_lnit(PPrinterHandle) { return -1; }
