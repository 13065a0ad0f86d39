// kx9sim --replay against a capture written by the monitor's capture file:
// the recorded reply to each request, in its recorded chunks, the nth reply
// to the nth repetition, the fall-back matches, and silence where the
// capture has nothing. A raw TCP client plays the monitor.
#include "capture_test_util.h"
#include "sim_process.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace captest;
using kx9test::WireFrame;

class TestSimReplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void repliesAsRecorded();
    void refusesAFileWithoutRequests();

private:
    QByteArray ask(const QByteArray &request, int expectBytes, int ms = 2000);
    QTemporaryDir dir_;
    SimProcess sim_;
    QTcpSocket sock_;
    QString path_;
    // What the recording holds.
    QByteArray rom_ = WireFrame('O', hex("90 00"));
    QByteArray romReply_ = WireFrame('0', hex("90") + "999 recorded");
    QByteArray read_ = WireFrame('x', hex("20 05 00"));
    QByteArray read1_ = WireFrame('0', hex("20") + "AAAA");
    QByteArray read2_ = WireFrame('1', hex("04"));
    QByteArray mode_ = WireFrame('N', hex("00 50 00 18 01 00 05"));
    QByteArray modeAck_ = WireFrame('0', hex("00"));
    QByteArray report_ = WireFrame('I', hex("3A 78563412000104E0"));
};

void TestSimReplay::initTestCase()
{
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("site.pcapng"));
    // Before the first request the reader said something: not replayed.
    QList<Chunk> chunks{rx(report_),
                        tx(rom_), rx(romReply_.left(5)), rx(romReply_.mid(5)),
                        tx(read_), rx(read1_),
                        tx(read_), rx(read2_),
                        tx(mode_), rx(modeAck_), rx(report_), rx(report_)};
    QString error;
    QVERIFY2(writeCapture(path_, chunks, &error, 1700000000000000ull, 100000), qPrintable(error));
    QVERIFY2(sim_.start({QStringLiteral("--listen"), QStringLiteral("0"), QStringLiteral("--replay"), path_}),
             qPrintable(sim_.errorString()));
    sock_.connectToHost(QHostAddress::LocalHost, sim_.listenPort());
    QVERIFY(sock_.waitForConnected(3000));
}

QByteArray TestSimReplay::ask(const QByteArray &request, int expectBytes, int ms)
{
    sock_.readAll();
    if (!request.isEmpty())
        sock_.write(request);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && (expectBytes == 0 || got.size() < expectBytes)) {
        sock_.waitForReadyRead(50);
        got += sock_.readAll();
    }
    return got;
}

void TestSimReplay::repliesAsRecorded()
{
    // The model's own answer to the ROM query would be its ROM text: the recorded one comes instead.
    QCOMPARE(ask(rom_, int(romReply_.size())), romReply_);
    // The nth repetition gets the nth recorded reply, then the last one again.
    QCOMPARE(ask(read_, int(read1_.size())), read1_);
    QCOMPARE(ask(read_, int(read2_.size())), read2_);
    QCOMPARE(ask(read_, int(read2_.size())), read2_);
    // The reports that followed the mode setting come after its ACK, about 100 ms apart as recorded.
    QElapsedTimer t;
    t.start();
    const QByteArray all = modeAck_ + report_ + report_;
    QCOMPARE(ask(mode_, int(all.size()), 3000), all);
    QVERIFY2(t.elapsed() >= 150, qPrintable(QString::number(t.elapsed())));
    // The same request from a reader with another ID: matched without the ID.
    const QByteArray romId5 = WireFrame('O', hex("90 00"), 5);
    QCOMPARE(ask(romId5, int(romReply_.size())), romReply_);
    // The same command with other parameters: matched by command and
    // sub-command, and counted as a request of its own (its first reply).
    QCOMPARE(ask(WireFrame('x', hex("20 09 00")), int(read1_.size())), read1_);
    // Nothing recorded for it: silence, and the simulator's own NACK is not sent either.
    QCOMPARE(ask(WireFrame('B', hex("00 00")), 0, 600), QByteArray());
    QVERIFY(sim_.frameLog().contains("REPLAY no recorded reply"));
}

void TestSimReplay::refusesAFileWithoutRequests()
{
    const QString path = dir_.filePath(QStringLiteral("reports.pcapng"));
    QVERIFY(writeCapture(path, {rx(report_)}));
    SimProcess sim;
    QVERIFY(!sim.start({QStringLiteral("--listen"), QStringLiteral("0"), QStringLiteral("--replay"), path}, 5000));
    QVERIFY2(sim.errorString().contains(QLatin1String("no request")), qPrintable(sim.errorString()));
}

QTEST_GUILESS_MAIN(TestSimReplay)
#include "test_sim_replay.moc"
