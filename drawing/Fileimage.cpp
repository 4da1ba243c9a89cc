#include "drawing/Fileimage.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TFileImage WithStatus(TFileImage::TStatus status, qint64 size = 0)
{
    TFileImage image;
    image.Status = status;
    image.Size = size;
    return image;
}

TFileImage CannotRead(const QString& reason)
{
    TFileImage image = WithStatus(TFileImage::TStatus::CannotRead);
    image.Reason = reason;
    return image;
}
}  // namespace

TFileImage LookAtDrawingFile(const QString& path)
{
    // A folder on the way that may not be entered (or a file in place of
    // one, a loop of links, a name too long) hides whether anything is
    // there: the system's reason says why.
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT) return WithStatus(TFileImage::TStatus::Missing);
        return CannotRead(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!S_ISREG(status.st_mode)) return WithStatus(TFileImage::TStatus::NotAFile);
    if (status.st_size > kMaxDrawingFileBytes) return WithStatus(TFileImage::TStatus::TooLarge, status.st_size);
    return WithStatus(TFileImage::TStatus::Read, status.st_size);
}

TFileImage ReadDrawingFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return WithStatus(TFileImage::TStatus::Missing);
        return CannotRead(QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return CannotRead(file.errorString());
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return WithStatus(TFileImage::TStatus::NotAFile);
    if (status.st_size > kMaxDrawingFileBytes) return WithStatus(TFileImage::TStatus::TooLarge, status.st_size);
    TFileImage image = WithStatus(TFileImage::TStatus::Read, status.st_size);
    try {
        image.Bytes = file.read(status.st_size);
    } catch (const std::bad_alloc&) {
        return WithStatus(TFileImage::TStatus::OutOfMemory, status.st_size);
    }
    // A read the system broke off (an I/O error) is no whole file.
    if (file.error() != QFileDevice::NoError) return CannotRead(file.errorString());
    return image;
}

QString NotADrawingFileText(const QString& path, const TFileImage& image)
{
    const QString text = QStringLiteral("'%1' is not a drawing file").arg(path);
    if (image.Status != TFileImage::TStatus::TooLarge) return text;
    return text + QStringLiteral(": it is %1 bytes, more than the limit of %2 bytes (64 MiB)")
                      .arg(image.Size)
                      .arg(kMaxDrawingFileBytes);
}

QString CannotReadText(const QString& path, const TFileImage& image)
{
    return QStringLiteral("File '%1' cannot be read: %2").arg(path, image.Reason);
}
