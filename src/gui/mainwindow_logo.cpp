#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "messagebox.h"
#include "protocol/logo.h"
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

// One chosen file as greyscale, with the log lines the preview and the download share. Null for a
// file that cannot be read, cannot be decoded or declares too many pixels.
QImage loadLogoFile(const QString& path)
{
    const QImage grey = logo::loadGreyImage(path);
    qDebug("处理文件: %s", qUtf8Printable(path));
    if (grey.isNull()) {
        qDebug("加载图像失败: %s", qUtf8Printable(path));
        return {};
    }
    qDebug("已处理文件: %s", qUtf8Printable(path));
    return grey;
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
        const QImage grey = loadLogoFile(path);
        if (grey.isNull())
            continue;
        qDebug("outputWidth: %d", logo::roundedWidth(grey.width()));
        const QPixmap preview =
            QPixmap::fromImage(logo::toPreviewBitmap(grey))
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
    ScopedPrinterHandle printer;
    int port = 0;
    if (!selectPrinter(printer, port))
        return;
    qDebug("imageCount %d", int(imageFiles.size()));
    // FS q replaces every logo the printer holds: a download without pictures would only erase
    // them.
    if (imageFiles.isEmpty()) {
        showMessage(this, QObject::tr("请先选择图片"));
        return;
    }
    WaitCursor wait;
    logo::DownloadFrameBuilder download;
    for (const QString& path : qAsConst(imageFiles)) {
        const QImage grey = loadLogoFile(path);
        if (grey.isNull())
            continue;
        qDebug("width: %d", 8 * logo::bytesPerRow(grey.width()));
        qDebug("height: %d", 8 * logo::bytesPerRow(grey.height()));
        switch (download.add(grey)) {
        case logo::DownloadFrameBuilder::Added:
            break;
        case logo::DownloadFrameBuilder::TooManyImages:
            showMessage(this, QObject::tr("图片数量不能超过255张"));
            return;
        case logo::DownloadFrameBuilder::TooLarge:
            showMessage(this, QObject::tr("文件数据过大请重新选择图片"));
            return;
        }
    }
    if (download.imageCount() == 0) {
        showMessage(this, QObject::tr("请先选择图片"));
        return;
    }
    QByteArray frame = download.frame();
    int replyLength = 0;
    const int result = CDeviceIOOpera::PrinterDataIOButton(
        printer.get(), reinterpret_cast<unsigned char*>(frame.data()), frame.size(), nullptr,
        replyLength);
    showMessage(this, result == 0 ? QObject::tr("下载成功")
                                  : QObject::tr("请确保打印机已通过usb进行连接"));
}

void MainWindow::on_pushButton_4_clicked()
{
    ScopedPrinterHandle printer;
    int port = 0;
    if (!selectPrinter(printer, port))
        return;
    bool isNumber = false;
    const int number = ui->lineEdit_2->text().toInt(&isNumber, 10);
    // The printer takes any byte and prints whatever logo, or none, sits at that number.
    if (!isNumber || number < 1 || number > logo::MaxLogoNumber) {
        showMessage(this, QObject::tr("请输入1到255之间的logo编号"));
        return;
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
    WaitCursor wait;
    int replyLength = 0;
    // Printing reports nothing: the printer's paper shows whether it worked.
    CDeviceIOOpera::PrinterDataIOButton(printer.get(),
                                        reinterpret_cast<unsigned char*>(frame.data()),
                                        frame.size(), nullptr, replyLength);
}
