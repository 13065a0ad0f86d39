#pragma once
// A folder nobody may write into, for the tests of a log that cannot be
// created. Permission bits stop root only without its override of them, so
// while the folder is in use the calling thread (the GUI thread, where the
// files are written) runs without CAP_DAC_OVERRIDE; the destructor gives the
// capability back and makes the folder writable again for its removal.
#include <QDir>
#include <QFile>
#include <QString>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kx9test {

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &path) : path_(path)
    {
        QDir().mkpath(path_);
        QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) == 0) {
            __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
            lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
            lowered[0].effective &= ~(1u << CAP_DAC_READ_SEARCH);
            lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
        }
    }
    ~ReadOnlyFolder()
    {
        if (lowered_)
            syscall(SYS_capset, &header_, saved_);
        QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    // True when a file really cannot be made in it.
    bool holds() const
    {
        QFile probe(path_ + QStringLiteral("/.probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            return false;
        }
        return true;
    }
    QString filePath(const QString &name) const { return path_ + u'/' + name; }

private:
    QString path_;
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

} // namespace kx9test
