// The option file: defaults, integer forms and widths, what a save keeps and
// what it leaves alone, CP932 on disk, and the file's location.
#include "link/comm_module.h"
#include "link/ini_file.h"
#include "link/main_state.h"
#include "link/options.h"
#include "link/tag_list.h"
#include "link_test_util.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kx9;

class TestLinkOptions : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;

    void writeFile(const QByteArray &bytes)
    {
        QFile f(path_);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray readFile() const
    {
        QFile f(path_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Keys of one section in the order they stand in the file.
    QStringList keysOf(const QString &section) const
    {
        QStringList keys;
        bool in = false;
        for (const QByteArray &raw : readFile().split('\n')) {
            const QString line = QString::fromLatin1(raw).trimmed();
            if (line.startsWith('[')) {
                in = line == '[' + section + ']';
                continue;
            }
            if (in && line.contains('='))
                keys << line.section('=', 0, 0);
        }
        return keys;
    }

private slots:
    void init()
    {
        path_ = dir_.filePath(QStringLiteral("kx9monitor.ini"));
        QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QFile::remove(path_);
    }

    void missingFileGivesDefaults()
    {
        AppOptions o;
        o.ComPort = 9;
        LoadAppOptions(path_, o);
        QCOMPARE(o.UseUSB, 0);
        QCOMPARE(o.ComPort, 1);
        QCOMPARE(o.ComSpeed, 0);
        QCOMPARE(o.TCPPort, 3335);
        QCOMPARE(o.TCPServPort, 10777);
        QCOMPARE(o.fDufaultTab, 1);
        QCOMPARE(o.fUseInOutFormat, 1);
        QCOMPARE(o.InOutTitle, QStringLiteral("入／出"));
        QCOMPARE(o.S6700Conf, uint8_t(212));
        QCOMPARE(o.OkColor, int(0x8000000F));
        QCOMPARE(o.NgColor, 255);
        ComDebugOptions c;
        LoadComDebug(path_, c);
        QCOMPARE(c.BaudRate, 19200);
        QCOMPARE(c.IDNo, uint8_t(0));
        QCOMPARE(c.fDispRecInfo, 1);
        QCOMPARE(c.fDispTxInfo, 1);
        QCOMPARE(c.MAX_REC_NO, 200);
        QCOMPARE(c.FlowCont, FlowControl::None);
        QVERIFY(!QFile::exists(path_));
    }

    void saveWritesEveryKeyInFileOrder()
    {
        QVERIFY(SaveAppOptions(path_, AppOptions{}));
        QVERIFY(SaveComDebug(path_, ComDebugOptions{}));
        const QStringList option = {
            "ComPort", "ComSpeed", "UseUSB", "TCPPort", "fTCPServer", "TCPServPort", "TCPServAddr",
            "fUseGrobalIP", "UidFlag", "ReadOptionFlag", "ReadUidFlag", "WriteOptionFlag", "WriteUidFlag",
            "EnabLockBlock", "S6700Conf", "TagDataNum", "TagDataStr", "SysMode", "Cmdmode", "PolingTime",
            "fInventory2", "TagBlockSize", "fUseInOutFormat", "InCode", "OutCode", "InOutTitle", "InString",
            "OutString", "InOutMode", "fBinaryWrite", "fTimeOut", "fBarCodeReader", "fAllEEPROMSet",
            "KXIFName", "EAS_ON_VALUE", "EAS_OFF_VALUE", "PassData[0]", "PassData[1]", "PassData[2]",
            "PassData[3]", "TagWriteNum", "fUseInv16SlotsCmd", "fVER121", "fP15", "fGateCmd",
            "fCommComand", "fDebug1", "fUSESetOption", "Prog15693FLAG", "fInvTxOff", "fDispEXTSet1",
            "fSetBuzFreq", "fCustomCmd1", "fW30", "fDufaultTab", "fCmdOutpStr", "OkColor", "NgColor"};
        QCOMPARE(keysOf("Option"), option);
        const QStringList comDebug = {"Port", "BaudRate", "ParityBits", "ByteSize", "StopBits", "FlowCont",
                                      "IDNo", "fDispRecInfo", "fDispTxInfo", "fWrDebug1", "fDispCont1",
                                      "MAX_REC_NO", "RxPollMs"};
        QCOMPARE(keysOf("ComDebug"), comDebug);
        QVERIFY(readFile().contains("OkColor=-2147483633"));
        QVERIFY(readFile().contains("S6700Conf=212"));
    }

    void integerForms_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("IDNo 257 cut to a byte") << QByteArray("[ComDebug]\nIDNo=257\n") << "IDNo" << 1;
        QTest::newRow("IDNo -1 cut to a byte") << QByteArray("[ComDebug]\nIDNo=-1\n") << "IDNo" << 255;
        QTest::newRow("hex") << QByteArray("[ComDebug]\nMAX_REC_NO=0x10\n") << "MAX_REC_NO" << 16;
        QTest::newRow("not an integer") << QByteArray("[ComDebug]\nMAX_REC_NO=12a\n") << "MAX_REC_NO" << 200;
        QTest::newRow("empty value") << QByteArray("[ComDebug]\nBaudRate=\n") << "BaudRate" << 19200;
        QTest::newRow("blanks around") << QByteArray("[ComDebug]\nByteSize = 7 \n") << "ByteSize" << 7;
        QTest::newRow("key case") << QByteArray("[comdebug]\nbytesize=6\n") << "ByteSize" << 6;
        QTest::newRow("CRLF file") << QByteArray("[ComDebug]\r\nByteSize=5\r\n") << "ByteSize" << 5;
        QTest::newRow("OkColor hex") << QByteArray("[Option]\nOkColor=0x8000000F\n") << "OkColor" << -2147483633;
        QTest::newRow("OkColor decimal") << QByteArray("[Option]\nOkColor=-2147483633\n") << "OkColor" << -2147483633;
        QTest::newRow("16-bit width") << QByteArray("[Option]\nTagDataNum=70000\n") << "TagDataNum" << (70000 & 0xFFFF);
        QTest::newRow("byte width hex") << QByteArray("[Option]\nS6700Conf=0x1FF\n") << "S6700Conf" << 255;
        QTest::newRow("too wide for 32 bits") << QByteArray("[Option]\nNgColor=0x100000000\n") << "NgColor" << 255;
    }
    void integerForms()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, key);
        QFETCH(int, expected);
        writeFile(line);
        AppOptions o;
        LoadAppOptions(path_, o);
        ComDebugOptions c;
        LoadComDebug(path_, c);
        const QHash<QString, int> got = {
            {"IDNo", c.IDNo}, {"MAX_REC_NO", c.MAX_REC_NO}, {"BaudRate", c.BaudRate}, {"ByteSize", c.ByteSize},
            {"OkColor", o.OkColor}, {"TagDataNum", o.TagDataNum}, {"S6700Conf", o.S6700Conf}, {"NgColor", o.NgColor}};
        QCOMPARE(got.value(key), expected);
    }

    void okColorSavedAsDecimal()
    {
        writeFile("[Option]\nOkColor=0x8000000F\n");
        AppOptions o;
        LoadAppOptions(path_, o);
        QVERIFY(SaveAppOptions(path_, o));
        QVERIFY(readFile().contains("OkColor=-2147483633\n"));
        QVERIFY(!readFile().contains("0x8000000F"));
    }

    void unsavedKeysAndUnknownContentSurvive()
    {
        const QByteArray before =
            "; hand-written\n[Extra]\nFoo=bar\n\n[Option]\nMyKey=keep me\nfTagTest1 = 0x1\nfW30Cmd=1\n"
            "W20LogFile=w20.csv\nComPort=4\n\n[DispTagData]\ndispdir=/tmp\n";
        writeFile(before);
        AppOptions o;
        LoadAppOptions(path_, o);
        QCOMPARE(o.fTagTest1, 1);
        QCOMPARE(o.fW30Cmd, 1);
        QCOMPARE(o.W20LogFile, QStringLiteral("w20.csv"));
        o.fTagTest1 = 0;
        o.fW30Cmd = 0;
        o.W20LogFile = "changed.csv";
        o.ComPort = 5;
        QVERIFY(SaveAppOptions(path_, o));
        const QByteArray after = readFile();
        QVERIFY(after.startsWith("; hand-written\n[Extra]\nFoo=bar\n\n[Option]\nMyKey=keep me\nfTagTest1 = 0x1\n"
                                 "fW30Cmd=1\nW20LogFile=w20.csv\nComPort=5\n"));
        QVERIFY(after.contains("\n[DispTagData]\ndispdir=/tmp\n"));
        // New keys join their section, before the blank line that ends it.
        const int option = int(after.indexOf("[Option]"));
        const int extra = int(after.indexOf("[DispTagData]"));
        QVERIFY(after.indexOf("NgColor=255") > option && after.indexOf("NgColor=255") < extra);
        QVERIFY(!after.contains("fMenuDisp"));
        QVERIFY(!after.contains("W30LogFile"));
    }

    void flowControlTranslation_data()
    {
        QTest::addColumn<int>("inFile");
        QTest::addColumn<int>("flow");
        QTest::addColumn<int>("written");
        QTest::newRow("hardware") << 1 << int(FlowControl::Hardware) << 1;
        QTest::newRow("xon/xoff") << 2 << int(FlowControl::XonXoff) << 2;
        QTest::newRow("other") << 7 << int(FlowControl::None) << 0;
    }
    void flowControlTranslation()
    {
        QFETCH(int, inFile);
        QFETCH(int, flow);
        QFETCH(int, written);
        writeFile("[ComDebug]\nFlowCont=" + QByteArray::number(inFile) + "\n");
        ComDebugOptions c;
        LoadComDebug(path_, c);
        QCOMPARE(int(c.FlowCont), flow);
        QVERIFY(SaveComDebug(path_, c));
        QVERIFY(readFile().contains("FlowCont=" + QByteArray::number(written) + "\n"));
    }

    void readOnlyFileLeftAlone()
    {
        const QByteArray before = "[Option]\nComPort=3\nOkColor=0x8000000F\n";
        writeFile(before);
        QVERIFY(QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        AppOptions o;
        o.ComPort = 8;
        QVERIFY(!SaveAppOptions(path_, o));
        QVERIFY(!SaveComDebug(path_, ComDebugOptions{}));
        QCOMPARE(readFile(), before);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"kx9monitor.ini"});
    }

    void cannotCreateSavesNothing()
    {
        const QString p = dir_.filePath(QStringLiteral("no-such-folder/kx9monitor.ini"));
        QVERIFY(!SaveAppOptions(p, AppOptions{}));
        QVERIFY(!QFile::exists(p));
    }

    void japaneseTextInCp932()
    {
        AppOptions o;
        o.InString = QStringLiteral("入場①");
        o.TagDataStr = QStringLiteral("ﾃｽﾄ\\");
        QVERIFY(SaveAppOptions(path_, o));
        const QByteArray bytes = readFile();
        QVERIFY(bytes.contains(kx9test::hex("49 6E 53 74 72 69 6E 67 3D 93 FC 8F EA 87 40")));  // InString=入場①
        QVERIFY(bytes.contains(kx9test::hex("49 6E 4F 75 74 54 69 74 6C 65 3D 93 FC 81 5E 8F 6F")));  // InOutTitle=入／出
        QVERIFY(bytes.contains("TagDataStr=\xC3\xBD\xC4\\\n"));
        AppOptions back;
        LoadAppOptions(path_, back);
        QCOMPARE(back.InString, o.InString);
        QCOMPARE(back.TagDataStr, o.TagDataStr);
        QCOMPARE(back.InOutTitle, QStringLiteral("入／出"));
    }

    void comSpeedAtModuleCreation_data()
    {
        QTest::addColumn<int>("comSpeed");
        QTest::addColumn<int>("baud");
        QTest::newRow("1") << 1 << 9600;
        QTest::newRow("2") << 2 << 38400;
        QTest::newRow("3") << 3 << 19200;
        QTest::newRow("0") << 0 << 19200;
    }
    void comSpeedAtModuleCreation()
    {
        QFETCH(int, comSpeed);
        QFETCH(int, baud);
        // COM6 is mapped to a device that does not exist, so no real port of
        // this machine is opened.
        writeFile("[ComDebug]\nPort=2\nBaudRate=4800\nIDNo=7\nMAX_REC_NO=33\n[ComPorts]\nCOM6=/nonexistent/kx9-tty\n");
        AppOptions opts;
        MainState state;
        kx9test::MemoryLog log;
        LinkConfig cfg;
        cfg.LinkMode = 0;
        cfg.ComPort = 6;
        cfg.ComSpeed = comSpeed;
        CommModule m(cfg, path_, opts, state, &log);
        QCOMPARE(m.comDebug().BaudRate, baud);
        QCOMPARE(int(m.comDebug().Port), 6);
        QCOMPARE(int(m.ReaderId()), 7);
        QCOMPARE(m.tagList().capacity(), 33);
        m.Open();
        QVERIFY(!m.IsLinkOpen());
        QCOMPARE(m.LinkSend(QByteArray("x")), 0);
        m.Close();
        const QByteArray bytes = readFile();
        QVERIFY(bytes.contains("BaudRate=" + QByteArray::number(baud) + "\n"));
        QVERIFY(bytes.contains("Port=6\n"));
    }

    void optionFilePath_data()
    {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("ini");
        QTest::newRow("no extension") << "/opt/kx9/kx9monitor" << "/opt/kx9/kx9monitor.ini";
        QTest::newRow("dot in folder") << "/opt/kx9.d/kx9monitor" << "/opt/kx9.d/kx9monitor.ini";
        QTest::newRow("extension") << "/tools/monitor.exe" << "/tools/monitor.ini";
        QTest::newRow("last dot of name") << "/a/b.c.d" << "/a/b.c.ini";
        QTest::newRow("bare name") << "kx9monitor" << "kx9monitor.ini";
    }
    void optionFilePath()
    {
        QFETCH(QString, exe);
        QFETCH(QString, ini);
        QCOMPARE(OptionFilePath(exe), ini);
    }
};

QTEST_GUILESS_MAIN(TestLinkOptions)
#include "tst_link_options.moc"
