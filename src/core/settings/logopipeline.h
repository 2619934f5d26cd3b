#pragma once

#include "protocol/logo.h"
#include "settings/settingserror.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Image files on their way to the printer's logo memory: the one road the window and rpsetup
// share, from the file to the FS q frame.
namespace logo {

// Decoding 16 megapixels takes about 64 MB; a download carries under one megapixel, so nothing
// larger can ever be sent, and a forged header must not make the tool allocate for it.
constexpr qint64 MaxImagePixels = 16LL * 1000 * 1000;

enum class Dithering
{
    Threshold,      // grey below DarkBelow prints, as the window converts
    FloydSteinberg, // the error is diffused, for photographs and shaded logos
};

// The window leaves out a file it cannot read and sends the others; rpsetup refuses the download.
enum class UnreadableFiles
{
    Skip,
    Refuse,
};

struct LogoImage
{
    enum Status
    {
        Converted,
        Unreadable,    // missing, not a regular file, not PNG or JPEG, or damaged or cut short
        TooManyPixels, // its header declares more than MaxImagePixels
        TooLarge,      // its header declares a picture whose block alone cannot be downloaded
    };
    Status status = Unreadable;
    QSize size;  // as the header declares it, turned as its EXIF orientation says
    QImage grey; // Format_Grayscale8, transparency laid over white, dithered when asked
};

// Reads a PNG or JPEG file, its format found from its content. Logs the file's debug lines.
// forDownload refuses a picture too large for one download from its header (TooLarge), as
// decoding and dithering millions of pixels that can never be sent takes seconds.
LogoImage loadLogoImage(const QString& path, Dithering dithering, bool forDownload = false);

struct LogoDownload
{
    enum Result
    {
        Ready,
        NoImages,      // nothing to send: FS q would only erase the stored logos
        TooManyImages, // more than MaxImages
        TooLarge,      // the images together make a frame over MaxDownloadFrameSize
        ImageTooLarge, // file's block alone is over the limit: blockSize bytes
        ImageRefused,  // file is unreadable (status) and the policy is to refuse
    };
    Result result = NoImages;
    QByteArray frame;     // when Ready
    QList<QImage> images; // the converted pictures in the frame, in its order
    QStringList files;    // their files
    QString file;         // the file that stopped the download
    LogoImage::Status status = LogoImage::Converted;
    qint64 blockSize = 0;
};

// Builds one FS q frame from the files in order. converting is told of each file before it is
// read.
LogoDownload buildLogoDownload(const QStringList& files, Dithering dithering,
                               UnreadableFiles unreadable,
                               const std::function<void(int index)>& converting = {});

// The number of a stored logo from decimal text, 1 to MaxLogoNumber; 0 for any other text. The
// printer takes any byte and prints whatever logo, or none, sits at that number.
int parseLogoNumber(const QString& text);

// The refusal a download that is not Ready meets in a window, which names no file; None when Ready.
SettingsError downloadRefusal(LogoDownload::Result result);

} // namespace logo
