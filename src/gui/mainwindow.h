#pragma once

#include "settings/printersettings.h"
#include "usb/printerhandle.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
class QGraphicsScene;
class UsbLink;
class net_set;
class wifi;

// The image files chosen for the logos: replaced as a whole each time the file dialog closes.
extern QStringList imageFiles;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    int printer_set(_PrinterHandle* handle);
    int Set_Send_SPEED_Instruction(_PrinterHandle* handle);
    int Set_Send_Densty_SETTING_Instruction(_PrinterHandle* handle);
    int Set_Send_SOUND_Instruction(_PrinterHandle* handle);

    bool Bitmap_8to1(unsigned char* src, unsigned char* dst, int width, int height);
    bool Bitmap_8to1_toshow(unsigned char* src, unsigned char* dst, int width, int height);

    // The multiple-file dialog of processImage; tests replace it to answer without a dialog.
    using ImageChooser = std::function<QStringList(QWidget* parent)>;
    static void setImageChooser(ImageChooser chooser);

private slots:
    void printer_list();
    void processImage();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_5_clicked();
    void on_pushButton_6_clicked();
    void on_pushButton_7_clicked();
    void on_pushButton_8_clicked();
    void netClosed();
    void wClosed();
    void on_pushButton_9_clicked();
    void on_pushButton_10_clicked();
    void on_actionPrinterStatus_triggered();

private:
    // The selection check that begins every printer command: false after its message was shown.
    // The selection check: on success, the link to the printer found on the selected port.
    std::unique_ptr<UsbLink> selectPrinter(int& port);
    // What an operation returns when it refused its input after saying why.
    static constexpr int InputRefused = -100;
    // The steps every printer button shares: the selection check, a fresh record of the printer,
    // and the wait cursor while operation runs. Then success (none when empty) for 0, or the USB
    // message for a failed exchange; an operation that refused its input has said why.
    void runPrinterCommand(const QString& success,
                           const std::function<int(PPrinterHandle)>& operation);
    // Writes the one print setting item as its box shows it, logging the frame under logName.
    int sendPrintSetting(PPrinterHandle handle, SettingsItem item, const char* logName);

    Ui::MainWindow* ui;
    QGraphicsScene* previewScene;
    net_set* netWindow = nullptr;
    wifi* wifiWindow = nullptr;
};
