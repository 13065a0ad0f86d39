#include "capture/capture_file.h"

#include <QFileInfo>

namespace kx9 {

CaptureFile::~CaptureFile()
{
    abandon();
}

bool CaptureFile::open(const QString &path, const pcapng::SectionInfo &section)
{
    abandon();
    error_.clear();
    interfaces_ = 0;
    target_ = QFileInfo(path).absoluteFilePath();
    file_.setFileName(partPath());
    // Unbuffered: pending_ is the buffer, written in large blocks.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        return false;
    }
    pending_ = pcapng::SectionHeader(section);
    if (!flush()) {
        file_.close();
        file_.remove();
        return false;
    }
    return true;
}

uint32_t CaptureFile::addInterface(const pcapng::InterfaceInfo &info)
{
    pending_ += pcapng::InterfaceDescription(info);
    return interfaces_++;
}

void CaptureFile::addPacket(uint32_t interfaceId, uint64_t timestampUs, pcapng::Direction direction,
                            const uint8_t *bytes, int count, const QString &comment)
{
    pcapng::AppendEnhancedPacket(pending_, interfaceId, timestampUs, direction, bytes, count, comment);
}

bool CaptureFile::flush()
{
    if (!file_.isOpen()) {
        error_ = QStringLiteral("the capture file is not open");
        return false;
    }
    qsizetype done = 0;
    while (done < pending_.size()) {
        const qint64 n = file_.write(pending_.constData() + done, pending_.size() - done);
        if (n <= 0) {
            error_ = file_.errorString();
            pending_.remove(0, done);
            return false;
        }
        done += n;
    }
    pending_.clear();
    return true;
}

bool CaptureFile::commit()
{
    if (!file_.isOpen())
        return false;
    const bool written = flush();
    file_.close();
    if (!written)
        return false;
    // The target is replaced only by a complete file.
    if (QFile::exists(target_) && !QFile::remove(target_)) {
        error_ = QStringLiteral("cannot replace %1").arg(target_);
        return false;
    }
    if (!file_.rename(target_)) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

void CaptureFile::abandon()
{
    if (file_.isOpen()) {
        flush();
        file_.close();
    }
    pending_.clear();
}

} // namespace kx9
