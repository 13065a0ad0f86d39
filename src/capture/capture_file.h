#pragma once
// A pcapng file being written: the section header, interfaces added as they
// are needed and packets collected in memory and written in blocks. The file
// is written beside its target as "<name>.part" and renamed over the target
// by commit(), so a capture cut short (a crash) leaves a readable .part file
// and never a half-replaced target.
#include "capture/pcapng_writer.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

namespace kx9 {

class CaptureFile {
public:
    CaptureFile() = default;
    ~CaptureFile();   // an uncommitted file is closed and left as .part
    CaptureFile(const CaptureFile &) = delete;
    CaptureFile &operator=(const CaptureFile &) = delete;

    // Creates "<path>.part" and puts the section header in it.
    bool open(const QString &path, const pcapng::SectionInfo &section);
    bool isOpen() const { return file_.isOpen(); }
    // The interface's id, counted from 0 in the order added.
    uint32_t addInterface(const pcapng::InterfaceInfo &info);
    void addPacket(uint32_t interfaceId, uint64_t timestampUs, pcapng::Direction direction, const uint8_t *bytes,
                   int count, const QString &comment = {});
    // Bytes collected and not yet written.
    qsizetype pendingSize() const { return pending_.size(); }
    // Writes what was collected. False when the disk refused it (errorString()).
    bool flush();
    // Flushes, closes and renames the file over the target.
    bool commit();
    // Writes what it can and closes without renaming: the bytes stay in the
    // .part file.
    void abandon();

    QString targetPath() const { return target_; }
    QString partPath() const { return target_ + QStringLiteral(".part"); }
    QString errorString() const { return error_; }

private:
    QFile file_;
    QString target_;
    QString error_;
    QByteArray pending_;
    uint32_t interfaces_ = 0;
};

} // namespace kx9
