// The receive path with the capture off and on: 'I' reports (16 bytes each)
// delivered into the module in 64-byte chunks, as a busy TCP link hands them
// over, and drained every 16 chunks (the 100 ms poll's share of them), through
// the real assembler, router and decoders. Prints one line per figure.
#include "capture/link_capture.h"
#include "commands/ttcomxdlg.h"
#include "link/log_target.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace kx9;

namespace {

class CountingLog : public LogTarget {
public:
    int lineCount() const override { return n; }
    void clearLog() override { n = 0; }
    void appendLine(const QString &) override { ++n; }
    int n = 0;
};

QByteArray reports(int count)
{
    QByteArray all;
    for (int i = 0; i < count; ++i) {
        QByteArray f = QByteArray::fromHex("02004909") + char(0x3A) + QByteArray::fromHex("78563412000104E0");
        f[6] = char(i & 0xFF);
        f.append(char(0x03));
        uint8_t sum = 0;
        for (char c : f)
            sum = uint8_t(sum + uint8_t(c));
        f.append(char(sum)).append(char(0x0D));
        all += f;
    }
    return all;
}

double run(TTComXDlg &m, const QByteArray &stream, int rounds)
{
    QElapsedTimer t;
    t.start();
    const auto *p = reinterpret_cast<const uint8_t *>(stream.constData());
    for (int r = 0; r < rounds; ++r) {
        int chunk = 0;
        for (qsizetype at = 0; at < stream.size(); at += 64) {
            m.RingPut(p + at, int(std::min<qsizetype>(64, stream.size() - at)));
            if (++chunk % 16 == 0)
                m.DrainReceiver();
        }
        m.DrainReceiver();
        QCoreApplication::processEvents();   // the capture's 250 ms writes run here
    }
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int mb = argc > 1 ? std::max(1, atoi(argv[1])) : 32;
    QTemporaryDir dir;
    AppOptions options;
    MainState state;
    CountingLog log;
    LinkConfig cfg;
    cfg.LinkMode = 2;
    TTComXDlg m(cfg, dir.filePath(QStringLiteral("kx9monitor.ini")), options, state, &log);
    m.setLogRx(1);   // the RX line is built as in normal use

    const QByteArray stream = reports(4096);   // 64 KiB
    const int rounds = mb * 16;
    run(m, stream, 4);   // warm up
    const double off = run(m, stream, rounds);
    const double bytes = double(stream.size()) * rounds;
    std::printf("receive path, capture off: %.1f MB/s, %.0f ns per 16-byte frame\n", bytes / off / 1e6,
                off / (bytes / 16) * 1e9);

    LinkCapture capture;
    const QString path = dir.filePath(QStringLiteral("bench.pcapng"));
    if (!capture.start(m, path)) {
        std::printf("capture on: not measured (%s)\n", qPrintable(capture.errorString()));
        return 0;
    }
    const double on = run(m, stream, rounds);
    capture.stop();
    std::printf("receive path, capture on:  %.1f MB/s, %.0f ns per 16-byte frame (%.1f%% more), %lld packets, file %.1f MB\n",
                bytes / on / 1e6, on / (bytes / 16) * 1e9, (on / off - 1) * 100, capture.packetCount(),
                double(QFileInfo(path).size()) / 1e6);
    std::printf("a 19200 bit/s serial link carries 0.002 MB/s, a busy TCP report flood about 0.01 MB/s\n");
    return 0;
}
