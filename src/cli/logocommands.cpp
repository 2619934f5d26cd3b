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
    return call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        return writeAll(target, handle, {NamedFrame{"logo print", frame}});
    });
}

int download(Invocation& call)
{
    const QString dither =
        call.parser.isSet("dither") ? call.parser.value("dither") : QStringLiteral("threshold");
    const bool preview = call.parser.isSet("preview");
    const QString previewDir = call.parser.value("preview");
    const QStringList& files = call.args;
    if (dither != "threshold" && dither != "floyd-steinberg")
        return usageError(
            QStringLiteral("--dither: %1")
                .arg(Rpsetup::tr("应为以下之一：%1").arg("threshold, floyd-steinberg")));
    if (files.isEmpty())
        return usageError(settingsErrorText(SettingsError::NoImages));

    // The pipeline opens files by name, and opening a FIFO by name waits for a writer: only
    // regular files go on. Qt's file names cannot carry a name that is not valid UTF-8, so such a
    // file goes on as its open descriptor.
    std::vector<std::unique_ptr<QFile>> held;
    QStringList names;
    for (const QString& path : files) {
        auto file = std::make_unique<QFile>();
        const FileError opened = openRegularFile(path, *file);
        if (opened == FileError::NotRegular)
            return usageError(Rpsetup::tr("%1：不是普通文件").arg(escapeControls(path)));
        if (opened == FileError::None && QFile::encodeName(path) != encodeArgument(path)) {
            names << QStringLiteral("/dev/fd/%1").arg(file->handle());
            held.push_back(std::move(file));
        } else {
            names << path;
        }
    }
    const auto given = [&](const QString& name) { return files.value(names.indexOf(name), name); };

    const bool progress = isatty(fileno(stderr));
    const logo::LogoDownload download = logo::buildLogoDownload(
        names,
        dither == "floyd-steinberg" ? logo::Dithering::FloydSteinberg : logo::Dithering::Threshold,
        logo::UnreadableFiles::Refuse, [&](int i) {
            if (progress)
                std::fprintf(stderr, "\r\033[K%s",
                             qPrintable(Rpsetup::tr("转换图片 %1/%2：%3")
                                            .arg(i + 1)
                                            .arg(files.size())
                                            .arg(escapeControls(files[i]))));
        });
    if (progress && download.result != logo::LogoDownload::Ready)
        std::fputc('\n', stderr);
    switch (download.result) {
    case logo::LogoDownload::Ready:
        break;
    case logo::LogoDownload::NoImages:
        return usageError(settingsErrorText(SettingsError::NoImages));
    case logo::LogoDownload::TooManyImages:
        return usageError(settingsErrorText(SettingsError::TooManyImages));
    case logo::LogoDownload::TooLarge:
        return usageError(settingsErrorText(SettingsError::ImagesTooLarge));
    case logo::LogoDownload::ImageTooLarge:
        return usageError(Rpsetup::tr("图片的数据块过大：%1 为 %2 字节，一次下载最多 %3 字节")
                              .arg(escapeControls(given(download.file)),
                                   QString::number(download.blockSize),
                                   QString::number(logo::MaxDownloadFrameSize)));
    case logo::LogoDownload::ImageRefused:
        return usageError(
            download.status == logo::LogoImage::TooManyPixels
                ? Rpsetup::tr("图片超过1600万像素：%1").arg(escapeControls(given(download.file)))
                : Rpsetup::tr("无法读取图片：%1").arg(escapeControls(given(download.file))));
    }
    // Only once every image is accepted: a refused download leaves no previews behind.
    if (preview && !makeDirectories(previewDir))
        return usageError(Rpsetup::tr("无法写入文件：%1").arg(escapeControls(previewDir)));
    for (int i = 0; preview && i < download.images.size(); ++i) {
        const QString name =
            QDir(previewDir)
                .filePath(QStringLiteral("%1-%2.png")
                              .arg(i + 1)
                              .arg(QFileInfo(given(download.files[i])).completeBaseName()));
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!logo::toPreviewBitmap(download.images[i]).save(&png, "PNG") ||
            !writeFile(name, png.data()))
            return usageError(Rpsetup::tr("无法写入文件：%1").arg(escapeControls(name)));
    }
    const QByteArray& frame = download.frame;
    if (progress)
        std::fprintf(stderr, "\r\033[K%s\n",
                     qPrintable(Rpsetup::tr("正在发送%1字节").arg(frame.size())));
    return call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        return writeAll(target, handle, {NamedFrame{"logo download", frame}});
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
