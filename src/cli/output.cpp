#include "output.h"

#include "command.h"

#include "settings/rpsetuptr.h"

#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

void err(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

int usageError(const QString& message)
{
    err(message);
    err(Rpsetup::tr("用 rpsetup --help 查看用法"));
    return BadUsage;
}

bool writePrivateFile(const QString& path, const QByteArray& data)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    qint64 done = 0;
    while (ok && done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    return ::close(fd) == 0 && ok;
}
