#pragma once
// A small file system of a test's own, for the behaviour of writes on a full
// or read-only disk: a tmpfs mounted on a folder for the test's life. Only
// the system's administrator may mount one; Mounted() tells whether it is
// there (tests skip without it).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

class TSmallDisk {
public:
    TSmallDisk(const QString& folder, int kibibytes) : folder_(folder)
    {
        QDir().mkpath(folder);
        if (::geteuid() != 0) return;
        const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k";
        mounted_ = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.constData()) == 0;
    }
    ~TSmallDisk()
    {
        if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return mounted_; }

    // Takes every byte still free with the file "filler".
    void Fill() const
    {
        const int fd = ::open(QFile::encodeName(folder_ + "/filler").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const QByteArray block(4096, 'f');
        while (fd >= 0 && ::write(fd, block.constData(), std::size_t(block.size())) > 0) {
        }
        // The last partial page, byte by byte.
        while (fd >= 0 && ::write(fd, "f", 1) == 1) {
        }
        if (fd >= 0) ::close(fd);
    }

    // From now on its top folder takes no new file (the files in it can still
    // be written), as a folder the user may not write.
    bool TakeNoNewFiles() const
    {
        const int fd = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        const bool set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0) ::close(fd);
        return mounted_ && set;
    }

    // From now on nothing on it can be written.
    bool MakeReadOnly() const
    {
        return mounted_ && ::mount("tmpfs", QFile::encodeName(folder_).constData(), "tmpfs",
                                   MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
    }

private:
    QString folder_;
    bool mounted_ = false;
};
