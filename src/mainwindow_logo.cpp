#include "mainwindow.h"

QStringList imageFiles;

namespace {
MainWindow::ImageChooser& imageChooser()
{
    static MainWindow::ImageChooser chooser;
    return chooser;
}
}

void MainWindow::setImageChooser(ImageChooser chooser)
{
    imageChooser() = std::move(chooser);
}

void MainWindow::processImage() {}

bool MainWindow::Bitmap_8to1(unsigned char*, unsigned char*, int, int)
{
    return false;
}

bool MainWindow::Bitmap_8to1_toshow(unsigned char*, unsigned char*, int, int)
{
    return false;
}

void MainWindow::on_pushButton_4_clicked() {}
void MainWindow::on_pushButton_5_clicked() {}
void MainWindow::on_pushButton_6_clicked() {}
