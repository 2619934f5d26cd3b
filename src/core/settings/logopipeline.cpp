#include "settings/logopipeline.h"

#include "protocol/dither.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cstring>

namespace logo {

namespace {

// The JPEG decoder fills a stream that ends early with grey and only warns, so the file itself is
// checked: its segments must lead to the end-of-image marker.
bool jpegReachesEnd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 4)
        return false;
    const uchar* p = file.map(0, file.size());
    if (!p)
        return false;
    const uchar* const end = p + file.size();
    if (p[0] != 0xFF || p[1] != 0xD8)
        return false;
    p += 2;
    for (;;) {
        if (p >= end || *p != 0xFF)
            return false;
        while (p < end && *p == 0xFF)
            ++p;
        if (p >= end)
            return false;
        const uchar marker = *p++;
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (end - p < 2)
            return false;
        const int length = p[0] << 8 | p[1];
        if (length < 2 || end - p < length)
            return false;
        p += length;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data: an FF in it is followed by a stuffed 00 or a restart marker; any
        // other byte after FF is the next marker.
        for (;;) {
            p = static_cast<const uchar*>(std::memchr(p, 0xFF, size_t(end - p)));
            if (!p || end - p < 2)
                return false;
            if (p[1] != 0x00 && (p[1] < 0xD0 || p[1] > 0xD7))
                break;
            p += 2;
        }
    }
}

// Transparent pixels take the paper's colour, not the colour their RGB happens to hold.
QImage toGrey(QImage image)
{
    if (image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int paper = 255 - qAlpha(line[x]);
                line[x] =
                    qRgb(qRed(line[x]) + paper, qGreen(line[x]) + paper, qBlue(line[x]) + paper);
            }
        }
        image.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return image.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

LogoImage loadLogoImage(const QString& path, Dithering dithering, bool forDownload)
{
    qDebug("处理文件: %s", qUtf8Printable(path));
    // A FIFO or a device would block the reader or feed it without end.
    if (!QFileInfo(path).isFile()) {
        qDebug("加载图像失败: %s", qUtf8Printable(path));
        return {};
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // A phone stores its photos as the sensor saw them and the EXIF orientation says how to turn
    // them; every viewer shows them turned, and so must the logo be.
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    LogoImage logo{LogoImage::Unreadable, reader.size(), {}};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        logo.size.transpose();
    QImage image;
    // Only these readers say when a file is damaged (the JPEG one with the check above). The
    // size is judged from the header, before anything is decoded.
    if ((format == "png" || format == "jpeg") && !logo.size.isEmpty()) {
        if (qint64(logo.size.width()) * logo.size.height() > MaxImagePixels)
            logo.status = LogoImage::TooManyPixels;
        else if (forDownload && !fitsOneDownload(logo.size.width(), logo.size.height()))
            logo.status = LogoImage::TooLarge;
        else if (reader.read(&image) && image.size() == logo.size &&
                 (format != "jpeg" || jpegReachesEnd(path)))
            logo.status = LogoImage::Converted;
    }
    if (logo.status != LogoImage::Converted) {
        qDebug("加载图像失败: %s", qUtf8Printable(path));
        return logo;
    }
    qDebug("已处理文件: %s", qUtf8Printable(path));
    logo.grey = toGrey(std::move(image));
    if (dithering == Dithering::FloydSteinberg)
        logo.grey = ditherFloydSteinberg(logo.grey);
    return logo;
}

LogoDownload buildLogoDownload(const QStringList& files, Dithering dithering,
                               UnreadableFiles unreadable,
                               const std::function<void(int index)>& converting)
{
    LogoDownload download;
    // Every file must become a block, so too many files are refused before one is read.
    if (unreadable == UnreadableFiles::Refuse && files.size() > MaxImages) {
        download.result = LogoDownload::TooManyImages;
        return download;
    }
    DownloadFrameBuilder builder;
    const auto stop = [&](LogoDownload::Result result, const QString& file) {
        download.result = result;
        download.file = file;
        download.images.clear();
        download.files.clear();
        return download;
    };
    for (int i = 0; i < files.size(); ++i) {
        if (converting)
            converting(i);
        const LogoImage image = loadLogoImage(files[i], dithering, true);
        if (image.status == LogoImage::TooLarge) {
            download.blockSize = imageBlockSize(image.size.width(), image.size.height());
            return stop(LogoDownload::ImageTooLarge, files[i]);
        }
        if (image.status != LogoImage::Converted) {
            if (unreadable == UnreadableFiles::Skip)
                continue;
            download.status = image.status;
            return stop(LogoDownload::ImageRefused, files[i]);
        }
        qDebug("width: %d", roundedWidth(image.size.width()));
        qDebug("height: %d", roundedWidth(image.size.height()));
        switch (builder.add(image.grey)) {
        case DownloadFrameBuilder::Added:
            break;
        case DownloadFrameBuilder::TooManyImages:
            return stop(LogoDownload::TooManyImages, files[i]);
        case DownloadFrameBuilder::ImageTooLarge:
            download.blockSize = imageBlockSize(image.size.width(), image.size.height());
            return stop(LogoDownload::ImageTooLarge, files[i]);
        case DownloadFrameBuilder::TooLarge:
            return stop(LogoDownload::TooLarge, files[i]);
        }
        download.images << image.grey;
        download.files << files[i];
    }
    if (builder.imageCount() == 0)
        return stop(LogoDownload::NoImages, QString());
    download.result = LogoDownload::Ready;
    download.frame = builder.frame();
    return download;
}

int parseLogoNumber(const QString& text)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    return ok && number >= 1 && number <= MaxLogoNumber ? number : 0;
}

SettingsError downloadRefusal(LogoDownload::Result result)
{
    switch (result) {
    case LogoDownload::Ready:
        break;
    case LogoDownload::TooManyImages:
        return SettingsError::TooManyImages;
    case LogoDownload::TooLarge:
    case LogoDownload::ImageTooLarge:
        return SettingsError::ImagesTooLarge;
    case LogoDownload::NoImages:
    case LogoDownload::ImageRefused:
        return SettingsError::NoImages;
    }
    return SettingsError::None;
}

} // namespace logo
