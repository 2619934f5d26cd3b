#include "files.h"

#include <QFile>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool writeAllTo(int fd, const QByteArray& data)
{
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The temporary file a signal must not leave behind, the Wi-Fi passwords in it. Its path is made
// before the file is created, so the handler does nothing but unlink, which is async-signal-safe.
std::atomic<const char*> pendingFile{nullptr};

void removePendingFile(int number)
{
    if (const char* path = pendingFile.load())
        ::unlink(path);
    // SA_RESETHAND has restored the default action; the signal, blocked while this handler runs,
    // ends the process as soon as it returns, with the status the caller expects of it.
    ::raise(number);
}

// Every signal that can be caught and whose default action ends the process: a SIGQUIT or a
// SIGXCPU must not leave the passwords behind any more than a SIGINT.
std::vector<int> endingSignals()
{
    std::vector<int> numbers{SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                             SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                             SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,  SIGXFSZ};
#ifdef SIGSTKFLT
    numbers.push_back(SIGSTKFLT);
#endif
#ifdef SIGPWR
    numbers.push_back(SIGPWR);
#endif
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number)
        numbers.push_back(number);
    return numbers;
}

// While it lives, every such signal removes the file it is armed with before it ends the
// process. A signal the caller ignores (nohup) stays ignored.
class RemovedOnSignal
{
public:
    RemovedOnSignal() : m_signals(endingSignals()), m_old(m_signals.size())
    {
        struct sigaction action = {};
        action.sa_handler = removePendingFile;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (const int number : m_signals)
            sigaddset(&action.sa_mask, number);
        for (std::size_t i = 0; i < m_signals.size(); ++i) {
            ::sigaction(m_signals[i], nullptr, &m_old[i]);
            if (m_old[i].sa_handler != SIG_IGN)
                ::sigaction(m_signals[i], &action, nullptr);
        }
    }
    ~RemovedOnSignal()
    {
        disarm();
        for (std::size_t i = 0; i < m_signals.size(); ++i)
            ::sigaction(m_signals[i], &m_old[i], nullptr);
    }
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

    // path must outlive the arming.
    void arm(const QByteArray& path) { pendingFile.store(path.constData()); }
    void disarm() { pendingFile.store(nullptr); }

private:
    std::vector<int> m_signals;
    std::vector<struct sigaction> m_old;
};

QByteArray randomName()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name(6, '\0');
    for (char& c : name)
        c = letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return name;
}

} // namespace

FileError openRegularFile(const QString& argument, QFile& file)
{
    // Opening a FIFO for reading waits for a writer; without O_NONBLOCK the check below would
    // come too late.
    const int fd = ::open(bytesFromText(argument).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return FileError::CannotOpen;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileError::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return FileError::CannotOpen;
    }
    return FileError::None;
}

FileError readRegularFile(const QString& argument, qint64 maxBytes, QByteArray& data)
{
    QFile file;
    if (const FileError e = openRegularFile(argument, file); e != FileError::None)
        return e;
    if (file.size() > maxBytes)
        return FileError::TooLarge;
    // The file may grow between the size and the read: read one byte past the limit to see it.
    data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return FileError::ReadFailed;
    return data.size() > maxBytes ? FileError::TooLarge : FileError::None;
}

namespace {

// A FIFO, a terminal or a device at the name (also through a link: /dev/stdout): renaming a
// regular file over it would replace the system's node, so the data goes into it. Nothing when
// the name is free, a regular file or a link to one; -1 when such a node cannot be opened.
std::optional<int> openStream(const QByteArray& path)
{
    struct stat info;
    if (::stat(path.constData(), &info) != 0 || S_ISREG(info.st_mode))
        return std::nullopt;
    const int fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && (::fstat(fd, &info) != 0 || S_ISREG(info.st_mode))) {
        // A regular file since the look, which is the private file's case.
        ::close(fd);
        return std::nullopt;
    }
    return fd;
}

} // namespace

bool replaceFilePrivately(const QString& argument, const QByteArray& data)
{
    const QByteArray path = bytesFromText(argument);
    if (const std::optional<int> stream = openStream(path)) {
        if (*stream < 0)
            return false;
        const bool ok = writeAllTo(*stream, data);
        return ::close(*stream) == 0 && ok;
    }
    const int slash = path.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : path.left(slash + 1);
    const QByteArray prefix = (slash < 0 ? QByteArray() : dir) + ".rpsetup-";
    QByteArray temp;
    RemovedOnSignal cleanup;
    int fd = -1;
    // Named here rather than by mkstemp, so that the name is known to the handler before the file
    // exists. Mode 0600: the passwords are never readable by others.
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = prefix + randomName();
        cleanup.arm(temp);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            cleanup.disarm();
            if (errno != EEXIST)
                return false;
        }
    }
    if (fd < 0)
        return false;
    bool ok = writeAllTo(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), path.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    cleanup.disarm();
    if (!ok)
        return false;
    // The rename itself is only durable once the directory is.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool writeFile(const QString& argument, const QByteArray& data)
{
    const QByteArray path = bytesFromText(argument);
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    // A link planted at the name would have the data overwrite whatever it points to: it is
    // replaced by a new file, as a backup replaces one.
    if (fd < 0 && errno == ELOOP && ::unlink(path.constData()) == 0)
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool ok = writeAllTo(fd, data);
    return ::close(fd) == 0 && ok;
}

bool makeDirectories(const QString& argument)
{
    const QByteArray path = bytesFromText(argument);
    for (int i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        const QByteArray part = path.left(i);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}
