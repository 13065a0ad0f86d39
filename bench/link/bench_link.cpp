// Receiver and router throughput, tag-list cost at 60,000 entries, and the CPU
// a reply wait uses while it waits. Prints one line per figure.
#include "link/comm_module.h"
#include "link/frame.h"
#include "link/main_state.h"
#include "link/tag_list.h"
#include "link/text_codec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace kx9;

namespace {

QString uidText(const QByteArray &uid)
{
    // Last received byte first, as the grid shows it.
    QByteArray reversed(uid.size(), 0);
    for (int i = 0; i < uid.size(); ++i)
        reversed[i] = uid[uid.size() - 1 - i];
    return FormatHexBytes(reversed);
}

double cpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

QByteArray dReports(int count, int distinct)
{
    QByteArray all;
    for (int i = 0; i < count; ++i) {
        const int k = i % distinct;
        QByteArray data;
        data.append(char(k & 0xFF)).append(char((k >> 8) & 0xFF)).append("\x00\x01\x04\xE0\x12\x34", 6);
        data.append("DATA");
        all.append(*BuildFrame(1, 'd', data));
    }
    return all;
}

void receiverThroughput(const QString &ini, bool feedTagList, bool logRx)
{
    AppOptions opts;
    MainState state;
    LinkConfig cfg;
    cfg.LinkMode = 0;
    CommModule m(cfg, ini, opts, state, nullptr);
    m.setLogRx(logRx ? 1 : 0);
    long routed = 0;
    m.SetUidDataDecoder([&](char, const QByteArray &uid, const QByteArray &data) {
        ++routed;
        if (feedTagList)
            m.tagList().AddUidEntry(DecodeCp932(data), uidText(uid));
    });
    const int frames = 400000;
    const QByteArray bytes = dReports(frames, 150);
    QElapsedTimer t;
    t.start();
    // As a link delivers: up to 1024 bytes at a time, one drain per 8 deliveries.
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    qsizetype at = 0;
    while (at < bytes.size()) {
        for (int k = 0; k < 8 && at < bytes.size(); ++k) {
            const int n = int(std::min<qsizetype>(1024, bytes.size() - at));
            m.RingPut(p + at, n);
            at += n;
        }
        m.DrainReceiver();
    }
    const double s = double(t.nsecsElapsed()) / 1e9;
    std::printf("receiver+router, 'd' reports%s%s: %ld frames in %.3f s = %.0f frames/s\n",
                feedTagList ? " into the tag list" : "", logRx ? ", RX lines built" : "", routed, s, routed / s);
}

void tagListCost()
{
    TagList list(65535);
    AppOptions opts;
    list.setOptions(&opts);
    for (int i = 0; i < 60000; ++i)
        list.AddUidEntry(QStringLiteral("DATA%1").arg(i), QStringLiteral("%1 00 01 04 E0 ").arg(i, 8, 16, QLatin1Char('0')));
    // Texts made before timing, so only the list operation is measured.
    QStringList newData, newUid;
    for (int i = 0; i < 5000; ++i) {
        newData << QStringLiteral("NEW%1").arg(i);
        newUid << QStringLiteral("%1 FF 01 04 E0 ").arg(i, 8, 16, QLatin1Char('0'));
    }
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 5000; ++i)
        list.AddUidEntry(newData[i], newUid[i]);
    const double newUs = double(t.nsecsElapsed()) / 1e3 / 5000;
    QStringList oldData, oldUid;
    for (int i = 0; i < 100000; ++i) {
        const int k = int((i * 7919L) % 60000);
        oldData << QStringLiteral("DATA%1").arg(k);
        oldUid << QStringLiteral("%1 00 01 04 E0 ").arg(k, 8, 16, QLatin1Char('0'));
    }
    t.restart();
    for (int i = 0; i < 100000; ++i)
        list.AddUidEntry(oldData[i], oldUid[i]);
    const double countUs = double(t.nsecsElapsed()) / 1e3 / 100000;
    t.restart();
    for (int i = 0; i < 100000; ++i)
        list.AddDataEntry(oldData[i]);
    const double countDataUs = double(t.nsecsElapsed()) / 1e3 / 100000;
    std::printf("tag list, capacity 65535, 60000 entries: new entry %.3f us, counted AddUidEntry %.3f us, "
                "counted AddDataEntry %.3f us (count now %d)\n",
                newUs, countUs, countDataUs, list.count());
}

void waitAckCpu(const QString &ini)
{
    AppOptions opts;
    MainState state;
    LinkConfig cfg;
    cfg.LinkMode = 0;
    CommModule m(cfg, ini, opts, state, nullptr);
    QTimer timer1;   // the main window's receive timer runs inside the wait
    QObject::connect(&timer1, &QTimer::timeout, &m, &CommModule::DrainReceiver);
    timer1.start(100);
    m.SendCommand(QStringLiteral("QUIT_command: "), 'Q', {});
    const double c0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    const bool ok = m.WaitAck();
    const double wall = double(t.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - c0;
    std::printf("WaitAck into its timeout: %s after %.3f s wall, %.4f s CPU = %.2f %% of one core\n",
                ok ? "true" : "false", wall, cpu, 100.0 * cpu / wall);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("bench.ini"));
    receiverThroughput(ini, false, false);
    receiverThroughput(ini, false, true);
    receiverThroughput(ini, true, false);
    tagListCost();
    waitAckCpu(ini);
    return 0;
}
