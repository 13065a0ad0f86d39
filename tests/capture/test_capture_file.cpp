// The pcapng file as the capture writes it, read back by tshark (an
// independent reader): interfaces with their names and settings, microsecond
// time stamps, directions and comments; and the file replaced only by a
// complete capture.
#include "capture_test_util.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace captest;

class TestCaptureFile : public QObject {
    Q_OBJECT
private slots:
    void blocksReadBack();
    void targetReplacedOnlyWhenComplete();
    void unwritableFolderIsRefused();
};

void TestCaptureFile::blocksReadBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.pcapng"));
    kx9::CaptureFile f;
    kx9::pcapng::SectionInfo shb;
    shb.application = QStringLiteral("kx9monitor test");
    shb.comment = QStringLiteral("セクションの説明");
    QVERIFY2(f.open(path, shb), qPrintable(f.errorString()));
    kx9::pcapng::InterfaceInfo serial{kx9::pcapng::kLinkTypeUser0, QStringLiteral("serial"),
                                      QStringLiteral("serial COM5, 19200 bit/s"), QStringLiteral("link settings: x")};
    kx9::pcapng::InterfaceInfo tcp{kx9::pcapng::kLinkTypeUser0, QStringLiteral("tcp"),
                                   QStringLiteral("TCP/IP client to 127.0.0.1:10777"), {}};
    QCOMPARE(f.addInterface(serial), 0u);
    QCOMPARE(f.addInterface(tcp), 1u);
    const QByteArray one = hex("02 00 4F 02 90 00 03 E6 0D"), two = hex("02 00 30"), three = hex("FF");
    // Sizes 9, 3 and 1 cover every padding of the packet data.
    f.addPacket(0, 1700000000123456ull, kx9::pcapng::Direction::Outbound, reinterpret_cast<const uint8_t *>(one.data()), 9);
    f.addPacket(1, 1700000001000001ull, kx9::pcapng::Direction::Inbound, reinterpret_cast<const uint8_t *>(two.data()), 3,
                QStringLiteral("link settings now: 38400"));
    f.addPacket(1, 1700000002999999ull, kx9::pcapng::Direction::Inbound, reinterpret_cast<const uint8_t *>(three.data()), 1);
    QVERIFY(f.commit());

    const Tshark t = runTshark(path, {"frame.interface_name", "frame.interface_description", "frame.time_epoch",
                                      "frame.packet_flags_direction", "frame.comment", "frame.len", "kx9.stx"});
    QVERIFY2(t.ok, qPrintable(t.error));
    QCOMPARE(t.rows.size(), 3);
    QCOMPARE(t.rows[0].mid(0, 2), (QStringList{"serial", "serial COM5, 19200 bit/s"}));
    QCOMPARE(t.rows[0].value(2), QStringLiteral("1700000000.123456000"));
    QCOMPARE(t.rows[0].value(3), QStringLiteral("0x00000002"));   // outbound
    QCOMPARE(t.rows[0].value(5), QStringLiteral("9"));
    QCOMPARE(t.rows[0].value(6), QStringLiteral("0x02"));
    QCOMPARE(t.rows[1].mid(0, 1), QStringList{"tcp"});
    QCOMPARE(t.rows[1].value(2), QStringLiteral("1700000001.000001000"));
    QCOMPARE(t.rows[1].value(3), QStringLiteral("0x00000001"));   // inbound
    QCOMPARE(t.rows[1].value(4), QStringLiteral("link settings now: 38400"));
    QCOMPARE(t.rows[2].value(2), QStringLiteral("1700000002.999999000"));
    QCOMPARE(t.rows[2].value(5), QStringLiteral("1"));

    // The section comment and the link type, as capinfos lists them.
    const QString capinfos = QStandardPaths::findExecutable(QStringLiteral("capinfos"));
    QVERIFY2(!capinfos.isEmpty(), "capinfos (wireshark-common) missing");
    QProcess p;
    p.start(capinfos, {QStringLiteral("-k"), QStringLiteral("-I"), path});
    QVERIFY(p.waitForFinished(30000));
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(info.contains(QStringLiteral("セクションの説明")), qPrintable(info));
    QVERIFY2(info.contains(QLatin1String("Encapsulation = USER 0")), qPrintable(info));
    QVERIFY2(info.contains(QLatin1String("Number of interfaces in file: 2")), qPrintable(info));
}

void TestCaptureFile::targetReplacedOnlyWhenComplete()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.pcapng"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an earlier capture");
    old.close();
    {
        kx9::CaptureFile f;
        QVERIFY(f.open(path, {}));
        f.addInterface({});
        f.addPacket(0, 1, kx9::pcapng::Direction::Inbound, reinterpret_cast<const uint8_t *>("\x02"), 1);
        QVERIFY(f.flush());
        // While recording, the earlier file is untouched and the new one grows beside it.
        QFile check(path);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("an earlier capture"));
        QVERIFY(QFile::exists(path + QStringLiteral(".part")));
        // Left without commit (a capture cut short): the .part file stays readable.
    }
    const Tshark cut = runTshark(path + QStringLiteral(".part"), {"frame.len"});
    QVERIFY2(cut.ok, qPrintable(cut.error));
    QCOMPARE(cut.rows.size(), 1);

    kx9::CaptureFile f;
    QVERIFY(f.open(path, {}));
    QVERIFY(f.commit());
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    QFile done(path);
    QVERIFY(done.open(QIODevice::ReadOnly));
    QCOMPARE(done.read(4), hex("0A 0D 0D 0A"));
}

void TestCaptureFile::unwritableFolderIsRefused()
{
    kx9::CaptureFile f;
    QVERIFY(!f.open(QStringLiteral("/proc/kx9-no-such-folder/c.pcapng"), {}));
    QVERIFY(!f.errorString().isEmpty());
    QVERIFY(!f.isOpen());
}

QTEST_GUILESS_MAIN(TestCaptureFile)
#include "test_capture_file.moc"
