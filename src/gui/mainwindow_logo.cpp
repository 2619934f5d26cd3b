#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "messagebox.h"
#include "protocol/logo.h"
#include "settings/logopipeline.h"
#include "settings/settingserror.h"
#include "usb/cdeviceioopera.h"

#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPixmap>

QStringList imageFiles;

namespace {

// Each preview is fitted into this box; the next one starts a gap below the box, however tall
// the scaled picture came out.
constexpr int PreviewWidth = 400;
constexpr int PreviewHeight = 300;
constexpr int PreviewGap = 20;

MainWindow::ImageChooser& imageChooser()
{
    static MainWindow::ImageChooser chooser;
    return chooser;
}

QStringList chooseImageFiles(QWidget* parent)
{
    if (const MainWindow::ImageChooser& chooser = imageChooser())
        return chooser(parent);
    return QFileDialog::getOpenFileNames(parent, QObject::tr("选择图像"), QString(),
                                         "Images (*.png *.jpg *.jpeg)");
}

} // namespace

void MainWindow::setImageChooser(ImageChooser chooser)
{
    imageChooser() = std::move(chooser);
}

bool MainWindow::Bitmap_8to1(unsigned char* src, unsigned char* dst, int width, int height)
{
    logo::packRows(src, width, height, width, logo::BitSense::Printer, dst);
    return true;
}

bool MainWindow::Bitmap_8to1_toshow(unsigned char* src, unsigned char* dst, int width, int height)
{
    logo::packRows(src, width, height, width, logo::BitSense::Preview, dst);
    return true;
}

void MainWindow::processImage()
{
    previewScene->clear();
    imageFiles = chooseImageFiles(this);
    if (imageFiles.isEmpty())
        return;
    int y = 0;
    for (const QString& path : qAsConst(imageFiles)) {
        const logo::LogoImage image = logo::loadLogoImage(path, logo::Dithering::Threshold);
        if (image.status != logo::LogoImage::Converted)
            continue;
        qDebug("outputWidth: %d", logo::roundedWidth(image.size.width()));
        const QPixmap preview =
            QPixmap::fromImage(logo::toPreviewBitmap(image.grey))
                .scaled(PreviewWidth, PreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        previewScene->addPixmap(preview)->setPos(0, y);
        y += PreviewHeight + PreviewGap;
    }
}

void MainWindow::on_pushButton_5_clicked()
{
    processImage();
}

void MainWindow::on_pushButton_6_clicked()
{
    runPrinterCommand(QObject::tr("下载成功"), [this](PPrinterHandle handle) {
        qDebug("imageCount %d", int(imageFiles.size()));
        logo::LogoDownload download = logo::buildLogoDownload(
            imageFiles, logo::Dithering::Threshold, logo::UnreadableFiles::Skip);
        if (const SettingsError refused = logo::downloadRefusal(download.result);
            refused != SettingsError::None) {
            showMessage(this, settingsErrorText(refused));
            return InputRefused;
        }
        QByteArray& frame = download.frame;
        int replyLength = 0;
        return CDeviceIOOpera::PrinterDataIOButton(handle,
                                                   reinterpret_cast<unsigned char*>(frame.data()),
                                                   frame.size(), nullptr, replyLength);
    });
}

void MainWindow::on_pushButton_4_clicked()
{
    // Printing reports nothing: the printer's paper shows whether it worked.
    runPrinterCommand(QString(), [this](PPrinterHandle handle) {
        const int number = logo::parseLogoNumber(ui->lineEdit_2->text());
        if (number == 0) {
            showMessage(this, settingsErrorText(SettingsError::InvalidLogoNumber));
            return InputRefused;
        }
        logo::PrintSize size = logo::DoubleSize;
        if (ui->radioButton->isChecked())
            size = logo::SingleSize;
        else if (ui->radioButton_2->isChecked())
            size = logo::DoubleWidth;
        else if (ui->radioButton_3->isChecked())
            size = logo::DoubleHeight;
        QByteArray frame = logo::buildPrintFrame(uchar(number), size);
        for (char byte : qAsConst(frame))
            qDebug("download  %02X", unsigned(uchar(byte)));
        int replyLength = 0;
        CDeviceIOOpera::PrinterDataIOButton(handle, reinterpret_cast<unsigned char*>(frame.data()),
                                            frame.size(), nullptr, replyLength);
        return 0;
    });
}
