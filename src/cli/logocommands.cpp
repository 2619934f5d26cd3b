#include "command.h"
#include "files.h"
#include "output.h"

#include "protocol/logo.h"
#include "rpsetuptr.h"
#include "settings/logopipeline.h"
#include "settings/settingserror.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const QStringList& printSizes()
{
    static const QStringList sizes{"normal", "double-width", "double-height", "double"};
    return sizes;
}

int print(Invocation& call)
{
    const QString size = call.parser.isSet("size") ? call.parser.value("size") : "normal";
    if (!printSizes().contains(size))
        return usageError(QStringLiteral("--size: %1")
                              .arg(Rpsetup::tr("应为以下之一：%1").arg(printSizes().join(", "))));
    const int number = call.args.size() == 1 ? logo::parseLogoNumber(call.args.first()) : 0;
    if (number == 0)
        return usageError(settingsErrorText(SettingsError::InvalidLogoNumber));
    const QByteArray frame =
        logo::buildPrintFrame(uchar(number), logo::PrintSize(printSizes().indexOf(size)));
    return call.targets.forEach([&](const Target& target, PrinterLink& link) {
        return writeAll(target, link, {NamedFrame{"logo print", frame}});
    });
}

// The images as the pipeline opens them: by name, or by an open descriptor where Qt's file names
// cannot carry the name (bytes that are not UTF-8).
struct ImageFiles
{
    QStringList given; // as the user named them
    QStringList names; // as the pipeline opens them
    std::vector<std::unique_ptr<QFile>> held;

    QString givenName(const QString& name) const { return given.value(names.indexOf(name), name); }
};

// 0, or the exit status after naming a file that is not a regular file.
int openImages(const QStringList& files, ImageFiles& images)
{
    // Opening a FIFO by name waits for a writer: only regular files go on.
    images.given = files;
    for (const QString& path : files) {
        auto file = std::make_unique<QFile>();
        const FileError opened = openRegularFile(path, *file);
        if (opened == FileError::NotRegular)
            return usageError(Rpsetup::tr("%1：不是普通文件").arg(escapeControls(path)));
        if (opened == FileError::None && QFile::encodeName(path) != bytesFromText(path)) {
            images.names << QStringLiteral("/dev/fd/%1").arg(file->handle());
            images.held.push_back(std::move(file));
        } else {
            images.names << path;
        }
    }
    return Success;
}

// The exit status of a download the pipeline refused, after saying why.
int refused(const logo::LogoDownload& download, const ImageFiles& images)
{
    const QString file = escapeControls(images.givenName(download.file));
    switch (download.result) {
    case logo::LogoDownload::Ready:
        break;
    case logo::LogoDownload::NoImages:
    case logo::LogoDownload::TooManyImages:
    case logo::LogoDownload::TooLarge:
        return usageError(settingsErrorText(logo::downloadRefusal(download.result)));
    case logo::LogoDownload::ImageTooLarge:
        return usageError(Rpsetup::tr("图片的数据块过大：%1 为 %2 字节，一次下载最多 %3 字节")
                              .arg(file, QString::number(download.blockSize),
                                   QString::number(logo::MaxDownloadFrameSize)));
    case logo::LogoDownload::ImageRefused:
        return usageError(download.status == logo::LogoImage::TooManyPixels
                              ? Rpsetup::tr("图片超过1600万像素：%1").arg(file)
                              : Rpsetup::tr("无法读取图片：%1").arg(file));
    }
    return Success;
}

// 0, or the exit status after naming the preview that could not be written.
int writePreviews(const QString& dir, const logo::LogoDownload& download, const ImageFiles& images)
{
    if (!makeDirectories(dir))
        return usageError(Rpsetup::tr("无法写入文件：%1").arg(escapeControls(dir)));
    for (int i = 0; i < download.images.size(); ++i) {
        const QString base = QFileInfo(images.givenName(download.files[i])).completeBaseName();
        const QString name = QDir(dir).filePath(QStringLiteral("%1-%2.png").arg(i + 1).arg(base));
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!logo::toPreviewBitmap(download.images[i]).save(&png, "PNG") ||
            !writeFile(name, png.data()))
            return usageError(Rpsetup::tr("无法写入文件：%1").arg(escapeControls(name)));
    }
    return Success;
}

int download(Invocation& call)
{
    const QString dither =
        call.parser.isSet("dither") ? call.parser.value("dither") : QStringLiteral("threshold");
    if (dither != "threshold" && dither != "floyd-steinberg")
        return usageError(
            QStringLiteral("--dither: %1")
                .arg(Rpsetup::tr("应为以下之一：%1").arg("threshold, floyd-steinberg")));
    if (call.args.isEmpty())
        return usageError(settingsErrorText(SettingsError::NoImages));
    ImageFiles images;
    if (const int rc = openImages(call.args, images))
        return rc;

    const bool progress = isatty(fileno(stderr));
    const logo::LogoDownload download = logo::buildLogoDownload(
        images.names,
        dither == "floyd-steinberg" ? logo::Dithering::FloydSteinberg : logo::Dithering::Threshold,
        logo::UnreadableFiles::Refuse, [&](int i) {
            if (progress)
                std::fprintf(stderr, "\r\033[K%s",
                             qPrintable(Rpsetup::tr("转换图片 %1/%2：%3")
                                            .arg(i + 1)
                                            .arg(images.given.size())
                                            .arg(escapeControls(images.given[i]))));
        });
    if (progress && download.result != logo::LogoDownload::Ready)
        std::fputc('\n', stderr);
    if (const int rc = refused(download, images))
        return rc;
    // Only once every image is accepted: a refused download leaves no previews behind.
    if (call.parser.isSet("preview"))
        if (const int rc = writePreviews(call.parser.value("preview"), download, images))
            return rc;
    const QByteArray& frame = download.frame;
    if (progress)
        std::fprintf(stderr, "\r\033[K%s\n",
                     qPrintable(Rpsetup::tr("正在发送%1字节").arg(frame.size())));
    return call.targets.forEach([&](const Target& target, PrinterLink& link) {
        return writeAll(target, link, {NamedFrame{"logo download", frame}});
    });
}

} // namespace

QList<Command> logoCommands()
{
    return {
        {"logo download",
         "[--dither threshold|floyd-steinberg] [--preview DIR] FILE...",
         QT_TRANSLATE_NOOP("rpsetup", "把图片存为logo 1、2……（替换全部）"),
         QT_TRANSLATE_NOOP("rpsetup", "threshold（默认）与窗口的转换相同；floyd-steinberg "
                                      "扩散误差，适合照片。--preview 把每个转换后的logo存为"
                                      "DIR中的1位PNG。"),
         {QCommandLineOption("dither", QString(), "MODE"),
          QCommandLineOption("preview", QString(), "DIR")},
         Targets::OneOrAll,
         download},
        {"logo print",
         "NUMBER [--size normal|double-width|double-height|double]",
         QT_TRANSLATE_NOOP("rpsetup", "打印存储的logo"),
         nullptr,
         {QCommandLineOption("size", QString(), "SIZE")},
         Targets::OneOrAll,
         print},
    };
}
