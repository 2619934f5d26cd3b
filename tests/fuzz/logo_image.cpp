// An image file of any bytes, through the reader, size guards and conversion the window and
// rpsetup use, to the logo download frame: a refused image sends nothing, an accepted one fits the
// printer's memory. make fuzz bounds each input to 1 s and 256 MB.
#include "fuzz.h"

#include "settings/logopipeline.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The image readers are plugins, which only an application object finds, as the program's does.
    static int argc = 1;
    static char name[] = "fuzz_logo_image";
    static char* argv[] = {name, nullptr};
    static const QCoreApplication app(argc, argv);
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("image"));
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                 file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    file.close();

    using logo::LogoDownload;
    const auto dithering = size % 2 ? logo::Dithering::FloydSteinberg : logo::Dithering::Threshold;
    const LogoDownload download =
        logo::buildLogoDownload({path}, dithering, logo::UnreadableFiles::Refuse);
    if (download.result != LogoDownload::Ready) {
        FUZZ_REQUIRE(download.frame.isEmpty() && download.images.isEmpty());
        return 0;
    }
    const QSize dots = download.images.value(0).size();
    FUZZ_REQUIRE(download.images.size() == 1 && download.frame.startsWith("\x1C\x71\x01") &&
                 download.frame.size() == 3 + logo::imageBlockSize(dots.width(), dots.height()) &&
                 download.frame.size() <= logo::MaxDownloadFrameSize);
    return 0;
}
