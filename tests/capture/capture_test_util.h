#pragma once
// Helpers of the capture tests: captures written through the monitor's own
// capture file (CaptureFile) from chunks the test chooses, and tshark run
// with the shipped dissector to read them back.
#include "capture/capture_file.h"
#include "../support/wire_frame.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace captest {

struct Chunk {
    bool sent;          // monitor to reader
    QByteArray bytes;
};

inline Chunk tx(const QByteArray &b) { return {true, b}; }
inline Chunk rx(const QByteArray &b) { return {false, b}; }
inline QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

// ISO/IEC 13239 CRC written out here again, from the standard's definition.
inline uint16_t crc13239(const QByteArray &bytes)
{
    uint16_t crc = 0xFFFF;
    for (char ch : bytes) {
        crc ^= uint8_t(ch);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
    }
    return uint16_t(~crc);
}

inline QByteArray withCrc(QByteArray request)
{
    const uint16_t c = crc13239(request);
    request.append(char(c & 0xFF)).append(char(c >> 8));
    return request;
}

// One interface ("tcp"), packets 1 ms apart from a fixed start.
inline bool writeCapture(const QString &path, const QList<Chunk> &chunks, QString *error = nullptr,
                         uint64_t startUs = 1700000000000000ull, uint64_t stepUs = 1000)
{
    kx9::CaptureFile f;
    kx9::pcapng::SectionInfo shb;
    shb.application = QStringLiteral("capture test");
    if (!f.open(path, shb)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    kx9::pcapng::InterfaceInfo idb;
    idb.name = QStringLiteral("tcp");
    const uint32_t id = f.addInterface(idb);
    uint64_t t = startUs;
    for (const Chunk &c : chunks) {
        f.addPacket(id, t, c.sent ? kx9::pcapng::Direction::Outbound : kx9::pcapng::Direction::Inbound,
                    reinterpret_cast<const uint8_t *>(c.bytes.constData()), int(c.bytes.size()));
        t += stepUs;
    }
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

struct Tshark {
    bool ok = false;
    QString error;
    QList<QStringList> rows;   // one per packet, one cell per field; repeated values joined by '|'
};

inline QString tsharkPath() { return QStandardPaths::findExecutable(QStringLiteral("tshark")); }

// Reads `file` with the shipped dissector; `twoPass` lets every packet see
// what later packets completed.
inline Tshark runTshark(const QString &file, const QStringList &fields, bool twoPass = false,
                        const QString &filter = QString())
{
    Tshark t;
    const QString exe = tsharkPath();
    if (exe.isEmpty()) {
        t.error = QStringLiteral("tshark is not installed (Debian package tshark)");
        return t;
    }
    QStringList args{QStringLiteral("-n"), QStringLiteral("-X"),
                     QStringLiteral("lua_script:") + QStringLiteral(KX9_DISSECTOR_PATH), QStringLiteral("-r"), file,
                     QStringLiteral("-T"), QStringLiteral("fields"), QStringLiteral("-E"),
                     QStringLiteral("occurrence=a"), QStringLiteral("-E"), QStringLiteral("aggregator=|")};
    if (twoPass)
        args << QStringLiteral("-2");
    if (!filter.isEmpty())
        args << (twoPass ? QStringLiteral("-R") : QStringLiteral("-Y")) << filter;
    for (const QString &f : fields)
        args << QStringLiteral("-e") << f;
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        t.error = QStringLiteral("tshark did not finish");
        return t;
    }
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    // A Lua error in the dissector is reported, not fatal: look for it.
    if (p.exitCode() != 0 || err.contains(QLatin1String("Lua")) || out.contains(QLatin1String("Lua Error"))) {
        t.error = QStringLiteral("tshark exit %1: %2 %3").arg(p.exitCode()).arg(err, out.left(2000));
        return t;
    }
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        t.rows << line.split(QLatin1Char('\t'));
    t.ok = true;
    return t;
}

} // namespace captest
