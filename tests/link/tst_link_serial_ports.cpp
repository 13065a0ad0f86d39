// COM numbers: the default numbering by device name, the option file's
// [ComPorts] section taking precedence, the list texts, and resolving a
// number to the device that is opened.
#include "link/serial_ports.h"
#include "link/text_codec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kx9;

namespace {

QList<SystemSerialPort> devices(const QStringList &paths)
{
    QList<SystemSerialPort> out;
    for (const QString &p : paths)
        out.append({p, QString()});
    return out;
}

QStringList texts(const QList<ComPortEntry> &list)
{
    QStringList out;
    for (const ComPortEntry &e : list)
        out << e.text;
    return out;
}

bool writeIni(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(EncodeCp932(text));
    return true;
}

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

} // namespace

class TestLinkSerialPorts : public QObject {
    Q_OBJECT

private slots:
    void defaultNumbering_data()
    {
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("on-board, USB and ACM by name")
            << QStringList{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS3"}
            << QStringList{"COM1 (/dev/ttyS0)", "COM4 (/dev/ttyS3)", "COM5 (/dev/ttyUSB0)", "COM6 (/dev/ttyUSB1)",
                           "COM9 (/dev/ttyACM0)"};
        QTest::newRow("a number does not move when another device goes")
            << QStringList{"/dev/ttyUSB1"} << QStringList{"COM6 (/dev/ttyUSB1)"};
        QTest::newRow("beyond the table and other drivers from COM11, by family and index")
            << QStringList{"/dev/ttyAMA0", "/dev/ttyUSB10", "/dev/ttyS4", "/dev/ttyUSB4", "/dev/ttyACM2", "/dev/ttyUSB2"}
            << QStringList{"COM7 (/dev/ttyUSB2)", "COM11 (/dev/ttyS4)", "COM12 (/dev/ttyUSB4)", "COM13 (/dev/ttyUSB10)",
                           "COM14 (/dev/ttyACM2)", "COM15 (/dev/ttyAMA0)"};
        QTest::newRow("nothing") << QStringList{} << QStringList{};
    }
    void defaultNumbering()
    {
        QFETCH(QStringList, system);
        QFETCH(QStringList, expected);
        const QList<ComPortEntry> list = BuildComPortList(devices(system), {});
        QCOMPARE(texts(list), expected);
        for (const ComPortEntry &e : list) {
            QCOMPARE(ComPortNumberFromText(e.text), e.number);
            QVERIFY(e.text.contains(QStringLiteral("COM%1").arg(e.number)));
            QVERIFY(!e.mapped);
        }
    }

    void descriptionFollowsTheDevice()
    {
        const QList<ComPortEntry> list = BuildComPortList({{"/dev/ttyUSB0", "FT232R USB UART"}}, {});
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].text, QStringLiteral("COM5 (/dev/ttyUSB0) FT232R USB UART"));
        QCOMPARE(list[0].devicePath, QStringLiteral("/dev/ttyUSB0"));
    }

    void optionFileEntriesTakePrecedence()
    {
        QTemporaryDir dir;
        const QString pts = dir.filePath("pts7");
        const QString byId = dir.filePath("usb-FTDI-if00-port0");
        const QString adapter = dir.filePath("ttyUSB0");
        QVERIFY(touch(pts));
        QVERIFY(touch(adapter));
        QVERIFY(QFile::link(adapter, byId));
        // The adapter is pinned by its by-id link on COM3; COM5 (the adapter's
        // default) is taken by a pty; COM9 points at a device that is gone.
        const QMap<int, QString> mapped{{3, byId}, {5, pts}, {9, dir.filePath("missing")}};
        const QList<ComPortEntry> list = BuildComPortList(
            {{adapter, "FT232R"}, {"/dev/ttyS0", ""}, {"/dev/ttyACM0", ""}}, mapped);
        QCOMPARE(texts(list), QStringList({"COM1 (/dev/ttyS0)", "COM3 (" + byId + ") FT232R", "COM5 (" + pts + ")",
                                           "COM11 (/dev/ttyACM0)"}));
        QVERIFY(list[1].mapped && list[2].mapped && !list[0].mapped);
    }

    void mapIsReadFromTheOptionFile()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("kx9monitor.ini");
        QVERIFY(writeIni(ini, "[Option]\nComPort=21\n[comports]\nCOM21 = /dev/pts/7\ncom2=/dev/ttyUSB3\nCOM0=/dev/x\n"
                              "COM256=/dev/y\nCOM4=\nPort9=/dev/z\n"));
        const QMap<int, QString> map = LoadComPortMap(ini);
        QCOMPARE(map, (QMap<int, QString>{{2, "/dev/ttyUSB3"}, {21, "/dev/pts/7"}}));
        QCOMPARE(LoadComPortMap(dir.filePath("none.ini")), (QMap<int, QString>{}));
        QCOMPARE(LoadComPortMap(QString()), (QMap<int, QString>{}));
    }

    void resolve_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");
        QTest::newRow("mapped, device present or not") << 21 << "/dev/pts/7";
        QTest::newRow("mapped over the default") << 2 << "/dev/ttyUSB3";
        QTest::newRow("default table, COM1") << 1 << "/dev/ttyS0";
        QTest::newRow("default table, COM8") << 8 << "/dev/ttyUSB3";
        QTest::newRow("default table, COM10") << 10 << "/dev/ttyACM1";
        QTest::newRow("no device") << 200 << "";
        QTest::newRow("out of range") << 0 << "";
        QTest::newRow("out of range high") << 256 << "";
    }
    void resolve()
    {
        QFETCH(int, number);
        QFETCH(QString, device);
        QTemporaryDir dir;
        const QString ini = dir.filePath("kx9monitor.ini");
        QVERIFY(writeIni(ini, "[ComPorts]\nCOM21=/dev/pts/7\nCOM2=/dev/ttyUSB3\n"));
        // The machine's own devices may hold a number from COM11 up; the
        // numbers checked here are fixed by the table or the file.
        if (number == 200 && !ResolveComPort(200, ini).isEmpty())
            QSKIP("this machine has 190 serial devices");
        QCOMPARE(ResolveComPort(number, ini), device);
    }

    void systemPortsCanBeLeftOut()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("kx9monitor.ini");
        const QString pts = dir.filePath("pts3");
        QVERIFY(touch(pts));
        QVERIFY(writeIni(ini, "[ComPorts]\nSystemPorts=0\nCOM3=" + pts + "\n"));
        QVERIFY(!SystemPortsListed(ini));
        QCOMPARE(texts(ListComPorts(ini)), QStringList({"COM3 (" + pts + ")"}));
        QCOMPARE(ResolveComPort(3, ini), pts);
        QCOMPARE(ResolveComPort(1, ini), QString());   // not this machine's /dev/ttyS0
        QCOMPARE(ResolveComPort(5, ini), QString());
        QVERIFY(SystemPortsListed(dir.filePath("none.ini")));
    }

    void numberFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("plain") << "COM12" << 12;
        QTest::newRow("with device") << "COM3 (/dev/ttyUSB0)" << 3;
        QTest::newRow("no number") << "COM (x)" << 0;
        QTest::newRow("short") << "CO" << 0;
    }
    void numberFromText()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(ComPortNumberFromText(text), number);
    }

    void theSystemListIsNumberedTheSameWay()
    {
        // Whatever this machine has: every listed device carries the number
        // that resolving that number gives back.
        QTemporaryDir dir;
        const QList<ComPortEntry> list = ListComPorts(dir.filePath("none.ini"));
        for (const ComPortEntry &e : list) {
            QVERIFY2(e.text.startsWith(QStringLiteral("COM%1 (").arg(e.number)), qPrintable(e.text));
            QCOMPARE(ResolveComPort(e.number, dir.filePath("none.ini")), e.devicePath);
        }
    }
};

QTEST_GUILESS_MAIN(TestLinkSerialPorts)
#include "tst_link_serial_ports.moc"
