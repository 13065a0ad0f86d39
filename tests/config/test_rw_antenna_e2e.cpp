// The antenna switching and I/O port dialog in its three uses, and the
// cascade editor behind it, end to end against kx9sim over loopback TCP.
#include "rw_fixture.h"
#include "dialog_driver.h"

#include <QTabWidget>
#include <QTest>

using kx9test::DialogDriver;
using kx9test::Hex;
using kx9test::RwHost;

namespace {

QByteArray simArea(SimProcess &sim, const char *which)
{
    const QString r = sim.control(QStringLiteral("eeprom get %1").arg(QLatin1String(which)));
    return r.startsWith(QLatin1String("OK ")) ? QByteArray::fromHex(r.mid(3).toLatin1()) : QByteArray();
}

QStringList visiblePages(QWidget *dlg)
{
    QStringList pages;
    auto *tabs = dlg->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            pages << tabs->tabText(i);
    return pages;
}

const char *kReadWord4 = "02 00 4F 03 70 04 01 03 CC 0D";
const char *kReadWord16 = "02 00 4F 03 70 10 01 03 D8 0D";
const char *kReadWord17 = "02 00 4F 03 70 11 01 03 D9 0D";
const char *kReadWord20 = "02 00 4F 03 70 14 01 03 DC 0D";

} // namespace

class TestRwAntennaE2e : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void useShapesTheDialog_data();
    void useShapesTheDialog();
    void ioPortUseKeepsTheUnnamedBits();
    void kx9p80cChangesOnlyWhatItShows();
    void cascadeEditorWritesAtOnce();
    void refusedWriteStopsTheChain();
    void failedReadOpensNoDialog_data();
    void failedReadOpensNoDialog();

private:
    int received() const { return int(sim_->receivedFrames().size()); }
    QList<QByteArray> receivedSince(int from) const { return sim_->receivedFrames().mid(from); }
    void expectFrames(int from, const QList<const char *> &want);

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<RwHost> host_;
    std::unique_ptr<DialogDriver> driver_;
};

void TestRwAntennaE2e::init()
{
    sim_ = std::make_unique<SimProcess>();
    QVERIFY2(sim_->start({QStringLiteral("--listen"), QStringLiteral("0")}), qPrintable(sim_->errorString()));
    host_ = std::make_unique<RwHost>(sim_->listenPort());
    QVERIFY(QTest::qWaitFor([this] { return host_->connected(); }, 5000));
    driver_ = std::make_unique<DialogDriver>();
}

void TestRwAntennaE2e::cleanup()
{
    if (driver_)
        QVERIFY2(driver_->ok(), qPrintable(driver_->report()));
    driver_.reset();
    host_.reset();
    sim_.reset();
}

void TestRwAntennaE2e::expectFrames(int from, const QList<const char *> &want)
{
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got[i].toHex(' '), Hex(want[i]).toHex(' '));
}

void TestRwAntennaE2e::useShapesTheDialog_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QStringList>("disabled");
    QTest::addColumn<QStringList>("shownEnabled");
    QTest::newRow("KX9-P80C...") << "MnKX9P80C1" << QStringList{"メモリースイッチ"}
                                 << QStringList{"RGMemSW65", "LbMemSW65", "RGMemSW66", "LbMemSW66"}
                                 << QStringList{"RGMemSW60", "EdSelAntena", "RGMemSW64", "RGMemSW66", "LbMemSW60",
                                                "LbSelAntena", "LbMemSW64", "LbMemSW65", "LbMemSW66"}
                                 << QStringList{"CBMode2", "Label43", "RGMemSW67", "LbMemSW67"};
    QTest::newRow("切替基板使用...") << "MnSelAnt2" << QStringList{"Ｉ／Ｏポートの設定", "メモリースイッチ"}
                                  << QStringList{"CBMode2", "Label43", "RGMemSW66", "LbMemSW66"} << QStringList{}
                                  << QStringList{"RGMemSW60", "EdSelAntena", "RGMemSW64", "RGMemSW65", "RGMemSW67",
                                                 "RGPORTIO1", "RGPORTSEL7"};
    QTest::newRow("I/Oポートの設定...") << "MnSetIO1" << QStringList{"Ｉ／Ｏポートの設定"}
                                     << QStringList{"CBMode2", "Label43", "RGMemSW65", "LbMemSW65", "RGMemSW66", "LbMemSW66"}
                                     << QStringList{} << QStringList{"RGPORTIO8", "RGPORTDefault8", "RGPORTSEL1"};
}

void TestRwAntennaE2e::useShapesTheDialog()
{
    QFETCH(QString, item);
    QFETCH(QStringList, pages);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, disabled);
    QFETCH(QStringList, shownEnabled);
    bool windowDisabled = false;
    driver_->expect(QStringLiteral("TSetAnt1Rom1Dlg"))
        .then([&](QWidget *dlg) {
            windowDisabled = !host_->window.isEnabled();
            QCOMPARE(dlg->windowTitle(), QStringLiteral("ダイアログ"));
            QCOMPARE(visiblePages(dlg), pages);
            for (const QString &n : hidden)
                QVERIFY2(dlg->findChild<QWidget *>(n)->isHidden(), qPrintable(n));
            for (const QString &n : disabled)
                QVERIFY2(!dlg->findChild<QWidget *>(n)->isEnabled(), qPrintable(n));
            for (const QString &n : shownEnabled) {
                QWidget *w = dlg->findChild<QWidget *>(n);
                QVERIFY2(!w->isHidden() && w->isEnabled(), qPrintable(n));
            }
        })
        .press(QStringLiteral("キャンセル(&C)"));
    const int from = received();
    host_->trigger(item.toLatin1().constData());
    QVERIFY(windowDisabled);
    QVERIFY(host_->window.isEnabled());
    for (const QByteArray &f : receivedSince(from))
        QCOMPARE(f.at(2), 'O');   // cancelled: nothing written
}

// Bits 3, 4, 5 and 7 of the port-function byte have no control and keep the
// reader's values; the direction and default bytes come from the rows alone.
void TestRwAntennaE2e::ioPortUseKeepsTheUnnamedBits()
{
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area1 16 B91E0FF0")), QString("OK"));
    driver_->expect(QStringLiteral("TSetAnt1Rom1Dlg"))
        .expectShown(QStringLiteral("RGPORTSEL1"), QStringLiteral("1"))
        .expectShown(QStringLiteral("RGPORTSEL7"), QStringLiteral("0"))
        .expectShown(QStringLiteral("RGPORTIO4"), QStringLiteral("1"))
        .expectShown(QStringLiteral("RGPORTDefault5"), QStringLiteral("1"))
        .setIndex(QStringLiteral("RGPORTSEL1"), 0)
        .setIndex(QStringLiteral("RGPORTSEL7"), 1)
        .setIndex(QStringLiteral("RGPORTIO8"), 1)
        .setIndex(QStringLiteral("RGPORTDefault1"), 1)
        .press(QStringLiteral("書き込み(&O)"));
    const int from = received();
    host_->trigger("MnSetIO1");
    expectFrames(from, {kReadWord16, kReadWord17, "02 00 4E 05 70 10 01 F8 1E 03 EF 0D", "02 00 4E 05 70 11 01 8F F1 03 5A 0D"});
    QCOMPARE(simArea(*sim_, "area1").mid(30, 4).toHex(' '), QByteArray("f8 1e 8f f1"));
}

// Use P: word 4 goes back with memory switch 2 as read and word 20 with
// memory switch 5 as read; of memory switch 6 only bit 7 can change. The
// cascade button follows bit 5 although its group is hidden.
void TestRwAntennaE2e::kx9p80cChangesOnlyWhatItShows()
{
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area1 4 1234")), QString("OK"));
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area1 20 5A2B")), QString("OK"));
    driver_->expect(QStringLiteral("TSetAnt1Rom1Dlg"))
        .expectShown(QStringLiteral("CBMode2"), QStringLiteral("TX1/TX2 [2]"))
        .expectShown(QStringLiteral("EdSelAntena"), QStringLiteral("5"))
        .then([](QWidget *dlg) {
            QWidget *cascade = dlg->findChild<QWidget *>(QStringLiteral("BtSetCascade"));
            QVERIFY(cascade->isVisible());
            QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("RGMemSW65"))->isHidden());
        })
        .setIndex(QStringLiteral("CBMode2"), 3)
        .setIndex(QStringLiteral("RGMemSW67"), 1)
        .press(QStringLiteral("書き込み(&O)"));
    const int from = received();
    host_->trigger("MnKX9P80C1");
    expectFrames(from, {kReadWord4, kReadWord20, "02 00 4E 05 70 04 01 13 34 03 14 0D", "02 00 4E 05 70 14 01 5A AB 03 E2 0D"});
}

// "カスケード接続の設定..." writes area-2 words 1-3 at once: they stay in the
// reader although the antenna dialog is then cancelled.
void TestRwAntennaE2e::cascadeEditorWritesAtOnce()
{
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area1 20 0120")), QString("OK"));
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area2 1 770321436587")), QString("OK"));
    const QByteArray area1 = simArea(*sim_, "area1");
    const QByteArray area2 = simArea(*sim_, "area2");
    driver_->expect(QStringLiteral("TSetAnt1Rom1Dlg"))
        .expectShown(QStringLiteral("RGMemSW65"), QStringLiteral("1"))
        .press(QStringLiteral("BtSetCascade"));
    driver_->expect(QStringLiteral("TSetEEPROM2Dlg"))
        .expectShown(QStringLiteral("EdANT1_SELNUM"), QStringLiteral("1"))
        .expectShown(QStringLiteral("EdANT2_SELNUM"), QStringLiteral("2"))
        .expectShown(QStringLiteral("EdANT7_SELNUM"), QStringLiteral("7"))
        .expectShown(QStringLiteral("EdANT8_SELNUM"), QStringLiteral("8"))
        .then([](QWidget *dlg) {
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Ｒ／ＷのEEPROM2の設定"));
            QCOMPARE(visiblePages(dlg), (QStringList{"切り替え基板カスケード接続", "その他", "検査モード"}));
            QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("EdChgWaitTime"))->isHidden());
        })
        .setText(QStringLiteral("EdANT1_SELNUM"), QStringLiteral("3"))
        .setText(QStringLiteral("EdANT2_SELNUM"), QStringLiteral("8"))
        .pressOk();
    driver_->expect(QStringLiteral("TSetAnt1Rom1Dlg")).again().press(QStringLiteral("キャンセル(&C)"));
    const int from = received();
    host_->trigger("MnSelAnt2");
    expectFrames(from, {kReadWord16, kReadWord17, kReadWord20, "02 00 4F 03 72 01 03 03 CD 0D",
                        "02 00 4E 09 72 01 03 77 03 83 43 65 87 03 FE 0D"});
    QByteArray want2 = area2;
    want2[2] = char(0x83);
    QCOMPARE(simArea(*sim_, "area2").toHex(' '), want2.toHex(' '));
    QCOMPARE(simArea(*sim_, "area1"), area1);
    QVERIFY(host_->window.isEnabled());
}

void TestRwAntennaE2e::refusedWriteStopsTheChain()
{
    const QByteArray before = simArea(*sim_, "area1");
    QCOMPARE(sim_->control(QStringLiteral("eeprom nack 2")), QString("OK"));
    driver_->expect(QStringLiteral("TSetAnt1Rom1Dlg"))
        .setIndex(QStringLiteral("RGPORTSEL2"), 0)
        .setIndex(QStringLiteral("RGPORTIO1"), 1)
        .setIndex(QStringLiteral("RGMemSW60"), 1)
        .press(QStringLiteral("書き込み(&O)"));
    const int from = received();
    host_->trigger("MnSelAnt2");
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), 5);   // three reads, word 16, word 17 refused; no word 20
    QCOMPARE(int(uint8_t(got[3][5])), 0x10);
    QCOMPARE(int(uint8_t(got[4][5])), 0x11);
    const QByteArray after = simArea(*sim_, "area1");
    QCOMPARE(int(uint8_t(after[30])), uint8_t(before[30]) & ~0x02);   // written
    QCOMPARE(after.mid(32, 2), before.mid(32, 2));                   // refused
    QCOMPARE(after.mid(38, 2), before.mid(38, 2));                   // never sent
}

void TestRwAntennaE2e::failedReadOpensNoDialog_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reads");
    QTest::newRow("word 17 refused") << "MnSelAnt2" << "eeprom nack-read 2" << 2;
    QTest::newRow("word 4 refused") << "MnKX9P80C1" << "eeprom nack-read 1" << 1;
}

void TestRwAntennaE2e::failedReadOpensNoDialog()
{
    QFETCH(QString, item);
    QFETCH(QString, fault);
    QFETCH(int, reads);
    QCOMPARE(sim_->control(fault), QString("OK"));
    const int from = received();
    host_->trigger(item.toLatin1().constData());   // a dialog would be the driver's failure
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), reads);
    QVERIFY(host_->window.isEnabled());
    QVERIFY(host_->logging);
}

QTEST_MAIN(TestRwAntennaE2e)
#include "test_rw_antenna_e2e.moc"
