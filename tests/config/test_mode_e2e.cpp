// The reader's modes, the single-field editors and the switches end to end:
// the real communication module against kx9sim over loopback TCP, the real
// dialogs answered by the dialog driver. What the reader got is read from the
// simulator's frame log, what it holds from its control interface.
#include "config_fixture.h"
#include "dialog_driver.h"

#include "config/mode_actions.h"
#include "script/dialog_answerer.h"

#include <QTest>

using kx9test::ConfigHost;
using kx9test::DialogDriver;
using kx9test::WireFrame;

namespace {

// Every byte differs from its neighbours and from the defaults, so a write
// that touches more than it should shows up.
const QByteArray kArea1 = QByteArray::fromHex("0C2A3412D4A5A45798500F0140000A0000001403000003A50600050A"
                                              "0032B99AC35A281A1008A55B");
const QByteArray kArea2 = QByteArray::fromHex("7703214365870204A55A3412785634121000BEEF");
const QByteArray kDefaultArea1 = QByteArray::fromHex("00000000D50000301800171100001A0600001A06000001000500050A000A"
                                                     "301E00FF1E1804080100");
const QString kTimeout = QStringLiteral("レスポンス待ち　タイムオーバー");

QString hex(const QByteArray &b) { return QString::fromLatin1(b.toHex(' ').toUpper()); }

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

QByteArray O(std::initializer_list<int> data) { return WireFrame('O', bytes(data)); }
QByteArray N(std::initializer_list<int> data) { return WireFrame('N', bytes(data)); }
QByteArray N(std::initializer_list<int> head, const QByteArray &tail) { return WireFrame('N', bytes(head) + tail); }

QString frameList(const QList<QByteArray> &frames)
{
    QStringList l;
    for (const QByteArray &f : frames)
        l << hex(f);
    return l.join(QStringLiteral(" | "));
}

} // namespace

class TestModeE2e : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // ---- operating modes
    void modeDialogReadsAndSets();
    void modeDialogSendsNothing_data();
    void modeDialogSendsNothing();
    void s6700Dialog_data();
    void s6700Dialog();
    void tagGroupS6700_data();
    void tagGroupS6700();
    void tagGroupS6700FailedQuery();
    void easMode();
    void easModeStopsAtARefusedAfi();
    void restartAndCarrier();
    void errorRate();

    // ---- editors and switches
    void afiItemsSendTheSameFrame();
    void switchChangesOneBit_data();
    void switchChangesOneBit();
    void anticollisionNeedsRom121();
    void timedOutReadLogsTwiceAndWritesNothing();
    void memorySwitchEditor();
    void byteEditors_data();
    void byteEditors();
    void byteEditorWithoutSettings();
    void timerEditorAfterAFailedRead_data();
    void timerEditorAfterAFailedRead();
    void timerEditorWritesThirtyTwoBits();
    void codesEditor();
    void afiEditor();
    void eepromInitialisation();
    void eeprom2Dialog();
    void buzzerFrequencySwitch();
    void area2WordWriteAndRead();

private:
    void trigger(const char *name) { host_->findAction(QLatin1String(name))->trigger(); }
    int received() const { return int(sim_->receivedFrames().size()); }
    QList<QByteArray> receivedSince(int from) const { return sim_->receivedFrames().mid(from); }
    // For the actions that do not wait: until the simulator has logged n frames more.
    QList<QByteArray> waitFrames(int from, int n)
    {
        if (!QTest::qWaitFor([&] { return received() - from >= n; }, 3000))
            return receivedSince(from);   // the comparison after it says what is missing
        QTest::qWait(150);   // and nothing more comes after them
        return receivedSince(from);
    }
    QByteArray simArea(const char *which)
    {
        const QString r = sim_->control(QStringLiteral("eeprom get %1").arg(QLatin1String(which)));
        return r.startsWith(QLatin1String("OK ")) ? QByteArray::fromHex(r.mid(3).toLatin1()) : QByteArray();
    }
    void control(const QString &cmd) { QCOMPARE(sim_->control(cmd), QStringLiteral("OK")); }
    kx9::ModeActions *modes() { return host_->window.findChild<kx9::ModeActions *>(QStringLiteral("ModeActions")); }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<ConfigHost> host_;
    std::unique_ptr<DialogDriver> driver_;
};

void TestModeE2e::init()
{
    sim_ = std::make_unique<SimProcess>();
    QVERIFY2(sim_->start({QStringLiteral("--listen"), QStringLiteral("0")}), qPrintable(sim_->errorString()));
    control(QStringLiteral("eeprom set area1 1 ") + QString::fromLatin1(kArea1.toHex()));
    control(QStringLiteral("eeprom set area2 1 ") + QString::fromLatin1(kArea2.toHex()));
    host_ = std::make_unique<ConfigHost>(sim_->listenPort());
    QVERIFY(QTest::qWaitFor([this] { return host_->connected(); }, 5000));
    driver_ = std::make_unique<DialogDriver>();
}

void TestModeE2e::cleanup()
{
    if (driver_)
        QVERIFY2(driver_->ok(), qPrintable(driver_->report()));
    if (host_)
        QVERIFY(host_->window.isEnabled());
    driver_.reset();
    host_.reset();
    sim_.reset();
}

// ---------------------------------------------------------------- operating modes

void TestModeE2e::modeDialogReadsAndSets()
{
    // The reader in trigger mode with a mode byte 2 and flags bit 0 of its own.
    kx9::TTComXDlg &c = *host_->module;
    c.DousaModeSet_N(false, 0x02, 0x5A, 0x2D, 5);
    QVERIFY(c.WaitAck());
    host_->options.PolingTime = 6;
    host_->state.ModeRereadFlag = true;
    bool pollHiddenFirst = false, pollShownInPolling = false;
    driver_->expect(QStringLiteral("TDousaMode1Dlg"))
        .expectShown(QStringLiteral("ComboBox1"), QStringLiteral("トリガーモード [2]"))
        .expectShown(QStringLiteral("RGAntiCol"), QStringLiteral("1"))
        .expectShown(QStringLiteral("GbReadMode"), QStringLiteral("1"))
        .expectShown(QStringLiteral("GbBuzzer"), QStringLiteral("0"))
        .expectShown(QStringLiteral("RGTxData"), QStringLiteral("1"))
        .expectShown(QStringLiteral("CBSpeed"), QStringLiteral("19.2Kbps [0]"))
        .expectShown(QStringLiteral("EdPolTime"), QStringLiteral("6"))
        .expectShown(QStringLiteral("CBWriteEEPROM"), QStringLiteral("0"))
        .then([&](QWidget *dlg) { pollHiddenFirst = !dlg->findChild<QWidget *>(QStringLiteral("EdPolTime"))->isVisible(); })
        .setItem(QStringLiteral("ComboBox1"), QStringLiteral("ポーリングモード"))
        .then([&](QWidget *dlg) { pollShownInPolling = dlg->findChild<QWidget *>(QStringLiteral("EdPolTime"))->isVisible(); })
        .setText(QStringLiteral("EdPolTime"), QStringLiteral("7"))
        .setIndex(QStringLiteral("GbBuzzer"), 1)
        .setChecked(QStringLiteral("CBWriteEEPROM"))
        .press(QStringLiteral("OK"));
    const int from = received();
    trigger("MnSetDousa");
    QVERIFY(pollHiddenFirst);
    QVERIFY(pollShownInPolling);

    // Flags: bits 0-1 as read (1), anticollision, continuous, UID as read, buzzer chosen.
    const QList<QByteArray> frames = waitFrames(from, 2);
    QCOMPARE(frameList(frames), frameList({O({0x00}), N({0x10, 0x03, 0x5A, 0x3D, 0x01, 0x00, 0x07})}));
    QCOMPARE(sim_->control(QStringLiteral("get mode")), QStringLiteral("OK 03 3D"));
    const QByteArray a1 = simArea("area1");
    QCOMPARE(int(uint8_t(a1[8])), 0x3D);
    QCOMPARE(int(uint8_t(a1[9])), 0x03);
    QCOMPARE(int(host_->options.Cmdmode), 0x03);
    QCOMPARE(int(host_->options.SysMode), 0x3D);
    QCOMPARE(int(host_->options.PolingTime), 7);
    QVERIFY(!host_->state.ModeRereadFlag);
    QCOMPARE(host_->gating, QList<bool>{false});
}

void TestModeE2e::modeDialogSendsNothing_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("no answer to the query") << true;
    QTest::newRow("cancelled") << false;
}

void TestModeE2e::modeDialogSendsNothing()
{
    QFETCH(bool, silent);
    if (silent) {
        control(QStringLiteral("fault drop 1"));
        driver_->expectMessage(QStringLiteral("リーダーライターとの通信が出来ません、接続を確認してください"))
            .within(6000)
            .pressStandard(QDialogButtonBox::Ok);
    } else {
        driver_->expect(QStringLiteral("TDousaMode1Dlg")).setIndex(QStringLiteral("ComboBox1"), 1).press(QStringLiteral("ｷｬﾝｾﾙ"));
    }
    host_->options.Cmdmode = 0x01;
    const int from = received();
    trigger("MnSetDousa");
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x00})}));
    QVERIFY(host_->gating.isEmpty());
    // The query that got through counts; the one that did not changes nothing.
    QCOMPARE(int(host_->options.Cmdmode), silent ? 0x01 : 0x00);
}

void TestModeE2e::s6700Dialog_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<int>("sent");
    // Tag-it (bits 1-3 = 4) is offered as item 1 and written as ISO15693(1/256).
    QTest::newRow("Tag-it shows 1/256") << QByteArray("MnSetMode2") << 0xD8 << QStringList() << "0" << 0x5C;
    QTest::newRow("100% FSK 1/4") << QByteArray("MnSetMode2") << 0xD8
                                  << QStringList{"RGTag1=0", "RGModul=1", "RGAmFm=0"} << "0" << 0xD4;
    QTest::newRow("10% FSK 1/4, stored") << QByteArray("MnModeSet3") << 0xD4 << QStringList{"RGModul=0"} << "1" << 0x44;
}

void TestModeE2e::s6700Dialog()
{
    QFETCH(QByteArray, item);
    QFETCH(int, start);
    QFETCH(QStringList, fields);
    QFETCH(QString, ticked);
    QFETCH(int, sent);
    host_->module->S6700ModeSet(uint8_t(start), false);
    QVERIFY(host_->module->WaitAck());
    kx9test::DialogAnswer &a = driver_->expect(QStringLiteral("TModeSet2Dlg"))
                                   .expectShown(QStringLiteral("RGTag1"), start == 0xD8 ? "1" : "0")
                                   .expectShown(QStringLiteral("CBWriteEEPROM"), ticked);
    for (const QString &f : fields)
        a.setIndex(f.section('=', 0, 0), f.section('=', 1).toInt());
    a.press(QStringLiteral("設定"));
    const int from = received();
    trigger(item.constData());
    const bool store = ticked == QLatin1String("1");
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x09}), N({store ? 0x19 : 0x09, sent})}));
    QCOMPARE(sim_->control(QStringLiteral("get s6700")), QStringLiteral("OK %1").arg(sent, 2, 16, QLatin1Char('0')).toUpper());
    QCOMPARE(int(host_->options.S6700Conf), sent);
    QCOMPARE(int(uint8_t(simArea("area1")[4])), store ? sent : int(uint8_t(kArea1[4])));
}

void TestModeE2e::tagGroupS6700_data()
{
    QTest::addColumn<bool>("fujitsu");
    QTest::addColumn<int>("sent");
    QTest::newRow("Fujitsu from D4") << true << 0xE4;
    QTest::newRow("TI, my-d, Philips from D4") << false << 0xD4;
}

void TestModeE2e::tagGroupS6700()
{
    QFETCH(bool, fujitsu);
    QFETCH(int, sent);
    host_->module->S6700ModeSet(0xD4, false);
    QVERIFY(host_->module->WaitAck());
    const int from = received();
    QVERIFY(kx9::SetTagGroupS6700(*host_, fujitsu ? kx9::TagFamily::Fujitsu : kx9::TagFamily::TiMydPhilips));
    QCOMPARE(frameList(receivedSince(from)), frameList({O({0x09}), N({0x19, sent})}));
    QCOMPARE(int(host_->options.S6700Conf), sent);
    QCOMPARE(int(uint8_t(simArea("area1")[4])), sent);
}

void TestModeE2e::tagGroupS6700FailedQuery()
{
    control(QStringLiteral("fault drop 1"));
    host_->options.S6700Conf = 0x12;
    const int line = int(host_->all.size());
    const int from = received();
    QVERIFY(!kx9::SetTagGroupS6700(*host_, kx9::TagFamily::Fujitsu));
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("Error: KX9GetTagMode")));
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x09})}));
    QCOMPARE(int(host_->options.S6700Conf), 0x12);
}

void TestModeE2e::easMode()
{
    host_->module->DousaModeSet_N(false, 0x00, 0x33, 0x18, 5);
    QVERIFY(host_->module->WaitAck());
    host_->options.PolingTime = 0x0102;
    driver_->expect(QStringLiteral("TSetEAS1Dlg"))
        .expectShown(QStringLiteral("IntEdit1"), QStringLiteral("31"))
        .expectShown(QStringLiteral("IntEdit2"), QStringLiteral("30"))
        .setText(QStringLiteral("IntEdit1"), QStringLiteral("35"))
        .setText(QStringLiteral("IntEdit2"), QStringLiteral("34"))
        .press(QStringLiteral("設定"));
    const int suspends = host_->suspends;
    const int from = received();
    trigger("MnEnableEAS1");
    QCOMPARE(frameList(receivedSince(from)),
             frameList({N({0x51, 0x35}), O({0x00}), N({0x10, 0x24, 0x33, 0x18, 0x01, 0x01, 0x02})}));
    QCOMPARE(int(host_->options.EAS_ON_VALUE), 0x35);
    QCOMPARE(int(host_->options.EAS_OFF_VALUE), 0x34);
    const QByteArray a1 = simArea("area1");
    QCOMPARE(int(uint8_t(a1[5])), 0x35);
    QCOMPARE(int(uint8_t(a1[9])), 0x24);
    QCOMPARE(sim_->control(QStringLiteral("get mode")), QStringLiteral("OK 24 18"));
    QCOMPARE(host_->suspends, suspends + 1);
    QVERIFY(host_->logging);
    QVERIFY(host_->gating.isEmpty());
}

void TestModeE2e::easModeStopsAtARefusedAfi()
{
    control(QStringLiteral("fault nack 41"));
    driver_->expect(QStringLiteral("TSetEAS1Dlg")).press(QStringLiteral("設定"));
    const int from = received();
    trigger("MnEnableEAS1");
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({N({0x51, 0x31})}));
    QVERIFY(host_->logging);
}

void TestModeE2e::restartAndCarrier()
{
    // Restarted in command mode, so nothing autonomous runs meanwhile.
    control(QStringLiteral("eeprom set area1 5 1800"));
    host_->state.ModeRereadFlag = false;
    int from = received();
    const int suspends = host_->suspends;
    trigger("MnRestart");
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({N({0x9D})}));
    QVERIFY(host_->state.ModeRereadFlag);
    QCOMPARE(host_->suspends, suspends + 1);
    QVERIFY(host_->logging);

    const struct {
        const char *item;
        int value;
        const char *state;
    } carrier[] = {{"MnTXOFF", 0, "OK off"}, {"MnTxON", 1, "OK on"}, {"MnTXOFFON1", 2, "OK on"}};
    for (const auto &c : carrier) {
        from = received();
        trigger(c.item);
        QCOMPARE(frameList(waitFrames(from, 1)), frameList({N({0x9E, c.value})}));
        QCOMPARE(sim_->control(QStringLiteral("get tx")), QString::fromLatin1(c.state));
    }
}

void TestModeE2e::errorRate()
{
    control(QStringLiteral("errrate 1 2"));
    int line = int(host_->all.size());
    trigger("MnGetErrRate");
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("成功率: 0.333[1, 2]")));
    control(QStringLiteral("errrate 0 0"));
    line = int(host_->all.size());
    trigger("MnGetErrRate");
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("成功率: 0[0, 0]")));
    // A reader that does not answer shows no rate at all.
    control(QStringLiteral("fault drop 1"));
    line = int(host_->all.size());
    trigger("MnGetErrRate");
    QVERIFY(!host_->linesSince(line).join('\n').contains(QStringLiteral("成功率")));

    control(QStringLiteral("errrate 5 6"));
    const int from = received();
    trigger("MnClearErrRate");
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({N({0x60})}));
    QCOMPARE(sim_->control(QStringLiteral("get errrate")), QStringLiteral("OK 0 0"));
}

// ---------------------------------------------------------------- switches

void TestModeE2e::afiItemsSendTheSameFrame()
{
    int from = received();
    trigger("MnAFIOn");
    const QList<QByteArray> first = receivedSince(from);
    QCOMPARE(int(uint8_t(simArea("area1")[7])), uint8_t(kArea1[7]) | 0x02);
    control(QStringLiteral("eeprom set area1 1 ") + QString::fromLatin1(kArea1.toHex()));
    from = received();
    trigger("MnInventoryAFI_ON");
    QCOMPARE(frameList(receivedSince(from)), frameList(first));
    QCOMPARE(first.size(), 2);
    QCOMPARE(first[1].at(2), 'N');
}

void TestModeE2e::switchChangesOneBit_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("bit");
    QTest::addColumn<bool>("set");
    QTest::newRow("AFI値の指定 > 指定しない") << QByteArray("MnAFIOff") << 7 << 1 << false;
    QTest::newRow("AFI値の指定 > 指定する") << QByteArray("MnAFIOn") << 7 << 1 << true;
    QTest::newRow("Inventory時のAFI > 指定しない") << QByteArray("MnInventoryAFI_OFF") << 7 << 1 << false;
    QTest::newRow("他励式ブザー") << QByteArray("MnSetBuz_1") << 38 << 4 << false;
    QTest::newRow("自励式ブザー") << QByteArray("MnSetBuz_2") << 38 << 4 << true;
    QTest::newRow("ノーリードコマンド > 使用しない") << QByteArray("MnNoReadCmd_OFF") << 6 << 4 << false;
    QTest::newRow("ノーリードコマンド > 使用する") << QByteArray("MnNoReadCmd_ON") << 6 << 4 << true;
}

void TestModeE2e::switchChangesOneBit()
{
    QFETCH(QByteArray, item);
    QFETCH(int, byte);
    QFETCH(int, bit);
    QFETCH(bool, set);
    // The bit starts the other way round, so the switch has something to change.
    QByteArray before = kArea1;
    before[byte] = char(set ? uint8_t(before[byte]) & ~(1 << bit) : uint8_t(before[byte]) | (1 << bit));
    control(QStringLiteral("eeprom set area1 1 ") + QString::fromLatin1(before.toHex()));
    QByteArray expected = before;
    expected[byte] = char(uint8_t(expected[byte]) ^ (1 << bit));
    const int word = byte / 2 + 1;
    const int from = received();
    const int suspends = host_->suspends;
    trigger(item.constData());
    QCOMPARE(frameList(receivedSince(from)),
             frameList({O({0x70, word, 1}), N({0x70, word, 1}, expected.mid((word - 1) * 2, 2))}));
    QCOMPARE(hex(simArea("area1")), hex(expected));
    QCOMPARE(host_->suspends, suspends + 1);
}

void TestModeE2e::anticollisionNeedsRom121()
{
    // "高速処理": byte 31 bit 2 cleared, byte 38 bit 3 set; "通常処理" the opposite.
    QByteArray fast = kArea1, normal = kArea1;
    fast[31] = char(uint8_t(kArea1[31]) & ~0x04);
    fast[38] = char(uint8_t(kArea1[38]) | 0x08);
    normal[31] = char(uint8_t(kArea1[31]) | 0x04);
    normal[38] = char(uint8_t(kArea1[38]) & ~0x08);
    QVERIFY(fast != kArea1 && normal != kArea1);
    int from = received();
    trigger("MnAntiFast");
    QCOMPARE(hex(simArea("area1")), hex(fast));
    QCOMPARE(frameList(receivedSince(from)),
             frameList({O({0x90, 0x00}), O({0x70, 16, 1}), N({0x70, 16, 1}, fast.mid(30, 2)), O({0x70, 20, 1}),
                        N({0x70, 20, 1}, fast.mid(38, 2))}));
    trigger("MnAntiNormal");
    QCOMPARE(hex(simArea("area1")), hex(normal));

    // A refused first write ends it before the second word.
    control(QStringLiteral("eeprom nack 1"));
    from = received();
    trigger("MnAntiFast");
    QCOMPARE(receivedSince(from).size(), 3);
    QCOMPARE(hex(simArea("area1")), hex(normal));

    // Older firmware: one line, nothing but the version query, the window never disabled.
    control(QStringLiteral("rom 120 old"));
    const int line = int(host_->all.size());
    const int suspends = host_->suspends;
    from = received();
    trigger("MnAntiFast");
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("このROMバージョンは対応していません")));
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x90, 0x00})}));
    QCOMPARE(host_->suspends, suspends);
    QCOMPARE(hex(simArea("area1")), hex(normal));
}

void TestModeE2e::timedOutReadLogsTwiceAndWritesNothing()
{
    control(QStringLiteral("fault drop 1"));
    const int line = int(host_->all.size());
    const int from = received();
    trigger("MnSetBuz_2");
    QCOMPARE(host_->linesSince(line).count(kTimeout), 2);
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x70, 20, 1})}));
    QCOMPARE(hex(simArea("area1")), hex(kArea1));
}

// ---------------------------------------------------------------- editors

void TestModeE2e::memorySwitchEditor()
{
    control(QStringLiteral("eeprom set area1 4 1234"));
    driver_->expect(QStringLiteral("TInputIntDlg"))
        .expectShown(QStringLiteral("IntEd"), QStringLiteral("3412"))
        .then([](QWidget *dlg) { QCOMPARE(dlg->windowTitle(), QStringLiteral("メモリースイッチの設定")); })
        .setText(QStringLiteral("IntEd"), QStringLiteral("ABCD"))
        .pressOk();
    const int from = received();
    trigger("MnSetMemSW");
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x70, 4, 1}), N({0x70, 4, 1, 0xCD, 0xAB})}));
    QCOMPARE(hex(simArea("area1").mid(6, 2)), QStringLiteral("CD AB"));
}

void TestModeE2e::byteEditors_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("Ｒ／ＷのＩＤの登録") << QByteArray("MnSetRWIDNUM") << 15 << "Ｒ／ＷのＩＤの設定" << "Ｒ／ＷのＩＤを入力してください";
    QTest::newRow("リトライ回数の設定") << QByteArray("MnSetRetry") << 12 << "リトライ回数の設定"
                                << "リトライ回数を入力してください[回]";
}

void TestModeE2e::byteEditors()
{
    QFETCH(QByteArray, item);
    QFETCH(int, word);
    QFETCH(QString, caption);
    QFETCH(QString, prompt);
    const int at = (word - 1) * 2;
    driver_->expect(QStringLiteral("TInputIntDlg"))
        .expectShown(QStringLiteral("IntEd"), QString::number(uint8_t(kArea1[at])))
        .expectShown(QStringLiteral("STTitle"), prompt)
        .then([&](QWidget *dlg) { QCOMPARE(dlg->windowTitle(), caption); })
        .setText(QStringLiteral("IntEd"), QStringLiteral("201"))
        .pressOk();
    const int from = received();
    trigger(item.constData());
    QByteArray expected = kArea1;
    expected[at] = char(201);
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x70, word, 1}), N({0x70, word, 1}, expected.mid(at, 2))}));
    QCOMPARE(hex(simArea("area1")), hex(expected));
}

void TestModeE2e::byteEditorWithoutSettings()
{
    control(QStringLiteral("eeprom nack-read 1"));
    driver_->expectMessage(QStringLiteral("設定情報の取得が出来ません")).pressStandard(QDialogButtonBox::Ok);
    const int from = received();
    trigger("MnSetRetry");
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x70, 12, 1})}));
    QVERIFY(host_->logging);
}

void TestModeE2e::timerEditorAfterAFailedRead_data()
{
    QTest::addColumn<bool>("write");
    QTest::newRow("the operator keeps the reader's words") << false;
    QTest::newRow("the operator writes the stand-ins") << true;
}

void TestModeE2e::timerEditorAfterAFailedRead()
{
    QFETCH(bool, write);
    control(QStringLiteral("eeprom nack-read 1"));
    driver_->expect(QStringLiteral("TInp3Data1Dlg"))
        .expectShown(QStringLiteral("IntEd1"), QStringLiteral("7812"))
        .expectShown(QStringLiteral("IntEd2"), QStringLiteral("1875"))
        .expectShown(QStringLiteral("IntEd3"), QStringLiteral("3750"))
        .pressOk();
    // Before anything is written the operator learns the values are not the reader's.
    driver_->expectMessage(QStringLiteral("リーダーの値ではありません"))
        .pressStandard(write ? QDialogButtonBox::Yes : QDialogButtonBox::No);
    const int from = received();
    trigger("MnSetWaitTimer");
    if (!write) {
        QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x70, 6, 6})}));
        QCOMPARE(hex(simArea("area1")), hex(kArea1));
        return;
    }
    const QByteArray timers = QByteArray::fromHex("841E000053070000A60E0000");   // 7812, 1875, 3750
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x70, 6, 6}), N({0x70, 6, 6}, timers)}));
    QCOMPARE(hex(simArea("area1").mid(10, 12)), hex(timers));
}

void TestModeE2e::timerEditorWritesThirtyTwoBits()
{
    driver_->expect(QStringLiteral("TInp3Data1Dlg"))
        .expectShown(QStringLiteral("IntEd1"), QString::number(0x0040010F))   // bytes 10-13: 0F 01 40 00
        .then([](QWidget *dlg) { QCOMPARE(dlg->windowTitle(), QStringLiteral("ウエイト時間の設定(*3.2usec)")); })
        .setText(QStringLiteral("IntEd1"), QStringLiteral("4294967295"))
        .setText(QStringLiteral("IntEd3"), QStringLiteral("3000000000"))
        .pressOk();
    const int from = received();
    trigger("MnSetWaitTimer");
    QByteArray expected = kArea1.mid(10, 12);
    expected.replace(0, 4, QByteArray::fromHex("FFFFFFFF"));
    expected.replace(8, 4, QByteArray::fromHex("005ED0B2"));
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x70, 6, 6}), N({0x70, 6, 6}, expected)}));
    QCOMPARE(hex(simArea("area1").mid(10, 12)), hex(expected));
}

void TestModeE2e::codesEditor()
{
    // Words 1-2: tag ID 0C, product code 2A, user code 0x1234.
    host_->module->setLogTx(1);
    driver_->expect(QStringLiteral("TInp3Data1Dlg"))
        .expectShown(QStringLiteral("IntEd1"), QStringLiteral("42"))
        .expectShown(QStringLiteral("IntEd2"), QStringLiteral("12"))
        .expectShown(QStringLiteral("IntEd3"), QString::number(0x1234))
        .expectShown(QStringLiteral("STTitle3"), QStringLiteral("ユーザーコード"))
        .setText(QStringLiteral("IntEd1"), QStringLiteral("200"))
        .setText(QStringLiteral("IntEd3"), QStringLiteral("65535"))
        .pressOk();
    const int from = received();
    const int suspends = host_->suspends;
    trigger("MnSetUserCode");
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x70, 1, 2}), N({0x70, 1, 2, 0x0C, 200, 0xFF, 0xFF})}));
    QCOMPARE(host_->suspends, suspends + 1);   // the read alone
}

void TestModeE2e::afiEditor()
{
    driver_->expect(QStringLiteral("TInputIntDlg"))
        .expectShown(QStringLiteral("IntEd"), QStringLiteral("A5"))
        .expectShown(QStringLiteral("STTitle"), QStringLiteral("設定値（16進[0-255]）を入力してください"))
        .setText(QStringLiteral("IntEd"), QStringLiteral("7E"))
        .pressOk();
    int from = received();
    trigger("MnSetAFI");
    QCOMPARE(frameList(waitFrames(from, 2)), frameList({O({0x51}), N({0x51, 0x7E})}));
    QCOMPARE(int(uint8_t(simArea("area1")[5])), 0x7E);

    // Without the reader's AFI the box shows 0 and nothing goes out unless the operator says so.
    control(QStringLiteral("fault drop 1"));
    driver_->expect(QStringLiteral("TInputIntDlg")).within(6000).expectShown(QStringLiteral("IntEd"), QStringLiteral("00")).pressOk();
    driver_->expectMessage(QStringLiteral("リーダーの値ではありません")).pressStandard(QDialogButtonBox::No);
    from = received();
    trigger("MnSetAFI");
    QCOMPARE(frameList(waitFrames(from, 1)), frameList({O({0x51})}));
    QCOMPARE(int(uint8_t(simArea("area1")[5])), 0x7E);
}

void TestModeE2e::eepromInitialisation()
{
    int line = int(host_->all.size());
    trigger("MnEEPROM1");
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("Init EEPROM : OK")));
    QCOMPARE(hex(simArea("area1")), hex(kDefaultArea1));
    QCOMPARE(hex(simArea("area2")), hex(QByteArray::fromHex("0000000000000104000000000000000000000000")));
    control(QStringLiteral("fault nack 41"));
    line = int(host_->all.size());
    trigger("MnEEPROM1");
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("Init EEPROM : NG")));
    QVERIFY(host_->logging);
}

void TestModeE2e::eeprom2Dialog()
{
    driver_->expect(QStringLiteral("TSetEEPROM2Dlg"))
        .expectShown(QStringLiteral("EdChgWaitTime"), QStringLiteral("3"))
        .expectShown(QStringLiteral("EdANT1_SELNUM"), QStringLiteral("1"))
        .expectShown(QStringLiteral("EdANT2_SELNUM"), QStringLiteral("2"))
        .expectShown(QStringLiteral("RGCheckMode"), QStringLiteral("2"))   // byte 18 = BE
        .expectShown(QStringLiteral("IntEdit1"), QStringLiteral("00EF"))
        .setText(QStringLiteral("EdANT1_SELNUM"), QStringLiteral("8"))
        .setText(QStringLiteral("IntEdit1"), QStringLiteral("1FF"))
        .setIndex(QStringLiteral("RGMemSW80"), 1)
        .press(QStringLiteral("OK"));
    const int from = received();
    trigger("EEPROM21");
    QByteArray expected = kArea2;
    expected[2] = char(0x28);
    expected[9] = char(uint8_t(kArea2[9]) | 0x01);
    expected[19] = char(0xFF);
    QCOMPARE(frameList(receivedSince(from)), frameList({O({0x72, 1, 10}), N({0x72, 1, 10}, expected)}));
    QCOMPARE(hex(simArea("area2")), hex(expected));
    QCOMPARE(int(kx9::FindConfigActions(*host_)->area2Byte0), 0x77);
}

void TestModeE2e::buzzerFrequencySwitch()
{
    // Area-2 word 5 = A5 5A: bit 1 of A5 is clear.
    int from = received();
    trigger("MnBuzFreq2KHz");
    QCOMPARE(frameList(receivedSince(from)), frameList({O({0x72, 5, 1}), N({0x72, 5, 1, 0xA7, 0x5A})}));
    QCOMPARE(int(modes()->area2Remembered[8]), 0xA7);
    QCOMPARE(int(modes()->area2Remembered[9]), 0x5A);
    from = received();
    trigger("MnBuzFreq5KHz");
    QCOMPARE(frameList(receivedSince(from)), frameList({O({0x72, 5, 1}), N({0x72, 5, 1, 0xA5, 0x5A})}));
    QCOMPARE(hex(simArea("area2")), hex(kArea2));
}

void TestModeE2e::area2WordWriteAndRead()
{
    // Start 0 and count 0 become 1 and 1: word 1 (77 03) is read first.
    driver_->expect(QStringLiteral("TInp3Data1Dlg"))
        .expectShown(QStringLiteral("IntEd1"), QStringLiteral("1"))
        .expectShown(QStringLiteral("IntEd2"), QStringLiteral("1"))
        .expectShown(QStringLiteral("IntEd3"), QStringLiteral("00000377"))
        .expectShown(QStringLiteral("STTitle2"), QStringLiteral("ワード長（１～）\\t"))
        .setText(QStringLiteral("IntEd1"), QStringLiteral("2"))
        .setText(QStringLiteral("IntEd2"), QStringLiteral("3"))   // used as 2
        .setText(QStringLiteral("IntEd3"), QStringLiteral("11223344"))
        .pressOk();
    int from = received();
    trigger("MnSetEEPROM2");
    QCOMPARE(frameList(receivedSince(from)), frameList({O({0x72, 1, 1}), N({0x72, 2, 2, 0x44, 0x33, 0x22, 0x11})}));
    QCOMPARE(hex(simArea("area2").mid(2, 4)), QStringLiteral("44 33 22 11"));

    // The read: remembered start and count, data shown the next time.
    control(QStringLiteral("eeprom set area2 2 A1B2C3D4"));
    driver_->expect(QStringLiteral("TInp3Data1Dlg"))
        .expectShown(QStringLiteral("IntEd1"), QStringLiteral("2"))
        .expectShown(QStringLiteral("IntEd2"), QStringLiteral("2"))
        .pressOk();
    from = received();
    trigger("MnReadEEPROM2");
    QCOMPARE(frameList(receivedSince(from)), frameList({O({0x72, 2, 2})}));
    QCOMPARE(modes()->area2Data, 0xD4C3B2A1u);
    driver_->expect(QStringLiteral("TInp3Data1Dlg")).expectShown(QStringLiteral("IntEd3"), QStringLiteral("D4C3B2A1")).pressCancel();
    from = received();
    trigger("MnReadEEPROM2");
    QCOMPARE(received(), from);   // cancelled: nothing read
}

QTEST_MAIN(TestModeE2e)
#include "test_mode_e2e.moc"
