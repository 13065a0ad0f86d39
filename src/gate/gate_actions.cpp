#include "gate/gate_actions.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "gate/count_dialogs.h"
#include "gate/gate_dialogs.h"
#include "link/options.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace kx9 {

namespace {

using namespace gate;

class GateActions : public QObject {
public:
    GateActions(ActionHost &host, QObject *parent) : QObject(parent), host_(host) {}

    void attach()
    {
        on("MnGateMode", &GateActions::MnGateModeClick);
        on("MnGeteEEPROM", &GateActions::MnGeteEEPROMClick);
        on("MnGateDispOutSate", &GateActions::MnGateDispOutSateClick);
        on("MnSensorState", &GateActions::MnSensorStateClick);
        on("MnGateEEPROM_READ", &GateActions::MnGateEEPROM_READClick);
        on("MnGateEEPROM_WRITE", &GateActions::MnGateEEPROM_WRITEClick);
        on("MnCountEEPROM", &GateActions::MnCountEEPROMClick);
        on("MnCountData", &GateActions::MnCountDataClick);
        on("MnContTimgRes", &GateActions::MnContTimgResClick);
        on("MnMelodyLEDCmd", &GateActions::MnMelodyLEDCmdClick);
        on("MnDispCountDlg", &GateActions::MnDispCountDlgClick);
        on("MnW30outinfo", &GateActions::MnW30outinfoClick);
        on("MnW30mcountvalu", &GateActions::MnW30mcountvaluClick);
        on("MnW30spkvolume", &GateActions::MnW30spkvolumeClick);
        on("MnW30ROM1", &GateActions::MnW30ROM1Click);
        on("MnW30GetType", &GateActions::MnW30GetTypeClick);
        on("MnW30GCount", &GateActions::MnW30GCountClick);
        on("MnW30ReStart", &GateActions::MnW30ReStartClick);
        on("MnW30Bps", &GateActions::MnW30BpsClick);
        on("MnW30ProgMode", &GateActions::MnW30ProgModeClick);
        on("IOBEEPROMCmd", &GateActions::IOBEEPROMCmdClick);
        // The module is made after the menus (and again after a new link):
        // its count reports are taken from the first idle moment it exists.
        if (auto *d = QAbstractEventDispatcher::instance())
            connect(d, &QAbstractEventDispatcher::aboutToBlock, this, &GateActions::watchModule);
        watchModule();
    }

private:
    using Handler = void (GateActions::*)(TTComXDlg &);

    void on(const char *name, Handler handler)
    {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler] {
            // The reply waits run the event loop: a second pick meanwhile is ignored.
            TTComXDlg *c = host_.comm();
            if (busy_ || !c)
                return;
            watchModule();
            busy_ = true;
            (this->*handler)(*c);
            busy_ = false;
        });
    }

    void watchModule()
    {
        TTComXDlg *c = host_.comm();
        if (c == watched_.data())
            return;
        watched_ = c;
        if (c)
            connect(c, &CommModule::gateCountReport, this, &GateActions::GateCountMessage);
    }

    // A count report from the receiver (tag 10 W20, 11 W30).
    void GateCountMessage(int tag, int count, const QByteArray &bytes)
    {
        if (tag == 10 && w20Count_) {
            w20Count_->ShowReport(count, bytes);
            return;
        }
        if (tag == 11 && w30Count_) {
            w30Count_->ShowReport(count, bytes);
            return;
        }
        host_.AppLog(ReportText(bytes));
    }

    AppOptions &opt() { return host_.appOptions(); }
    bool w30() { return opt().fW30 != 0; }
    QWidget *win() { return host_.hostWindow(); }
    void log(const char *text) { host_.AppLog(QString::fromUtf8(text)); }

    // ---- operating mode, memory switches, outputs, sensors

    void MnGateModeClick(TTComXDlg &c)
    {
        uint8_t mode = 0;
        if (!c.G_GetModeCmd(mode))
            return log("Error: GateGetModeCmd");
        TGDousaModeDlg dlg(win());
        dlg.ShowMode(mode);
        log("OK: GateGetModeCmd");
        if (dlg.exec() != kModalOk)
            return;
        log(c.G_SetModeCmd(dlg.TakeMode(mode)) ? "OK: GateSetModeCmd" : "Error: GateSetModeCmd");
    }

    void MnGeteEEPROMClick(TTComXDlg &c)
    {
        QByteArray bytes;
        if (!c.GateGetEEPROMCmd(1, TGEEPROMDlg::kWords, bytes))
            return log("NG: GateGetEEPROMCmd");
        log("OK: GateGetEEPROMCmd");
        const QList<uint16_t> read = WordsFromBytes(bytes, TGEEPROMDlg::kWords);
        TGEEPROMDlg dlg(w30(), win());
        dlg.ShowWords(read);
        if (dlg.exec() != kModalOk)
            return;
        const QByteArray out = BytesFromWords(dlg.TakeWords(read));
        log(c.GateSetEEPROMCmd(1, TGEEPROMDlg::kWords, out) ? "OK: GateSetEEPROMCmd" : "NG: GateSetEEPROMCmd");
    }

    void dispOut(TTComXDlg &c, bool w30Gate)
    {
        QByteArray state;
        if (!(w30Gate ? c.GateGetDispOutStateCmd2(state) : c.GateGetDispOutStateCmd(state)))
            return log("NG:GateGetDispOutStateCmd");
        TGDispOutStateDlg dlg(w30Gate, win());
        dlg.ShowState(state);
        log("OK:GateGetDispOutStateCmd");
        if (dlg.exec() != kModalOk)
            return;
        const QByteArray out = dlg.TakeState(state);
        if (w30Gate ? c.GateSetDispOutStateCmd_26(out) : c.GateSetDispOutStateCmd_22(out))
            log("OK: GateSetDispOutStateCmd");
    }
    void MnGateDispOutSateClick(TTComXDlg &c) { dispOut(c, false); }
    void MnW30outinfoClick(TTComXDlg &c) { dispOut(c, true); }

    void MnSensorStateClick(TTComXDlg &c)
    {
        QByteArray sw;
        uint8_t io = 0, person = 0;
        const bool swOk = c.GateGetSwSensorCmd(sw);
        log(swOk ? "OK:GateGetSwSensorCmd" : "NG:GateGetSwSensorCmd");
        const bool ioOk = swOk && c.GateGetIoSensorCmd(io);
        log(ioOk ? "OK:GateGetIoSensorCmd" : "NG:GateGetIoSensorCmd");
        const bool personOk = ioOk && c.GateGetPersonSensorCmd(person);
        log(personOk ? "OK:GateGetPersonSensorCmd" : "NG:GateGetPersonSensorCmd");
        if (!personOk)
            return;
        TSensorStateDlg dlg(w30(), win());
        dlg.ShowSensors(sw, io, person);
        dlg.exec();
    }

    void MnGateEEPROM_READClick(TTComXDlg &c)
    {
        TEEPROM_ReadDlg dlg([&c](uint8_t start, uint8_t count, QByteArray &bytes) {
            return c.GateGetEEPROMCmd(start, count, bytes);
        }, win());
        dlg.exec();
    }

    void MnGateEEPROM_WRITEClick(TTComXDlg &c)
    {
        TEEPROM_WriteDlg dlg([&c](uint8_t start, uint8_t count, const QByteArray &bytes) {
            return c.GateSetEEPROMCmd(start, count, bytes);
        }, win());
        dlg.exec();
    }

    void MnMelodyLEDCmdClick(TTComXDlg &c)
    {
        TGBuzLedDlg dlg(win());
        if (dlg.exec() == kModalOk)
            c.GateCommCmd(dlg.TakeCommand());
    }

    // ---- W30 one-shot commands and values

    bool askNumber(const QString &caption, const QString &prompt, int max, uint8_t &value)
    {
        TInputIntDlg dlg(win());
        dlg.setWindowTitle(caption);
        dlg.STTitle->setText(prompt);
        dlg.IntEd->setRadix(10);
        dlg.IntEd->setRange(0, max);
        dlg.IntEd->setValue(value);
        if (dlg.exec() != kModalOk)
            return false;
        value = uint8_t(dlg.IntEd->value());
        return true;
    }

    void MnW30spkvolumeClick(TTComXDlg &c)
    {
        uint8_t volume = 0;
        if (!c.GateGetSPKVolumeCmd(volume))
            return;
        if (askNumber(QStringLiteral("電子ボリューム値"),
                      QStringLiteral("電子ボリューム値（0:OFF, 8:Max）[書き込みは、内部EEPROM値へ]"), 15, volume))
            c.GateSetSPKVolumeCmd(volume);
    }

    void MnW30BpsClick(TTComXDlg &c)
    {
        uint8_t code = 0;
        if (!c.GateGetBPSSpeedComad(code))
            return;
        if (askNumber(QStringLiteral("通信スピードの設定"), QStringLiteral("通信スピード(0:9600, 1:19.2k, 2:38.4k)"), 2,
                      code))
            c.GateSetBPSSpeedComad(code);
    }

    void MnW30ROM1Click(TTComXDlg &c) { c.GateRomVersionQuery(); }
    void MnW30GetTypeClick(TTComXDlg &c) { c.GateModelNameQuery(); }
    void MnW30ReStartClick(TTComXDlg &c) { c.GateReStartComad(); }
    void MnW30ProgModeClick(TTComXDlg &c) { c.GateProgModeComad(); }
    void IOBEEPROMCmdClick(TTComXDlg &c) { c.GateCommCmd(QByteArray(1, char(0x91))); }

    // ---- people counters

    static bool pollW20(TTComXDlg &c, CountValues &v)
    {
        uint32_t p1 = 0, p2 = 0;
        uint16_t a1 = 0, a2 = 0;
        if (!c.GateRmcountvaluCmd(p1, p2, a1, a2))
            return false;
        v.people[0] = p1;
        v.people[1] = p2;
        v.alarms[0] = a1;
        v.alarms[1] = a2;
        return true;
    }

    // The W30 block; false also when it holds fewer than `minimum` bytes.
    static bool readW30(TTComXDlg &c, CountValues &v, bool &failed, int minimum)
    {
        QByteArray bytes;
        int count = 0;
        failed = !c.GateRmcountvaluCmd2(bytes, count);
        if (failed || count < minimum)
            return false;
        DecodeCountRecords(bytes.left(count), 3, v);
        return true;
    }

    template <class Dialog>
    void countDialog(QPointer<Dialog> &mark, Model model, GateCountDialog::Poller poll)
    {
        Dialog dlg(CountLogPath(opt(), model), std::move(poll), win());
        dlg.CreateLogIfMissing();
        // While it is open this dialog takes the gate's count reports.
        mark = &dlg;
        // The count dialog runs for a long time; other gate items may not start meanwhile,
        // but its own polls must.
        dlg.exec();
        mark = nullptr;
    }

    void MnDispCountDlgClick(TTComXDlg &)
    {
        countDialog(w20Count_, Model::W20, [this](CountValues &v) {
            TTComXDlg *c = host_.comm();
            return c && pollW20(*c, v);
        });
    }

    void MnW30GCountClick(TTComXDlg &)
    {
        countDialog(w30Count_, Model::W30, [this](CountValues &v) {
            TTComXDlg *c = host_.comm();
            bool failed = false;
            return c && readW30(*c, v, failed, 36);
        });
    }

    void MnCountDataClick(TTComXDlg &c)
    {
        CountValues v;
        if (!pollW20(c, v))
            return log("NG: McountValue_Cmd");
        log("OK: McountValue_Cmd");
        TMCountValue dlg(Model::W20, win());
        dlg.ShowValues(v);
        if (dlg.exec() != kModalOk)
            return;
        const CountValues w = dlg.TakeValues();
        log(c.GateWmcountvaluCmd(w.people[0], w.people[1], w.alarms[0], w.alarms[1]) ? "OK: McountValue_Cmd"
                                                                                       : "NG: McountValue_Cmd");
    }

    void MnW30mcountvaluClick(TTComXDlg &c)
    {
        CountValues v;
        bool failed = false;
        if (!readW30(c, v, failed, 24)) {
            if (failed)
                log("NG: McountValue_Cmd");
            return;
        }
        log("OK: McountValue_Cmd");
        TMCountValue dlg(Model::W30, win());
        dlg.ShowValues(v);
        if (dlg.exec() != kModalOk)
            return;
        log(c.GateWmcountmodeCmd2(EncodeCountRecords(dlg.TakeValues(), 3)) ? "OK: McountValue_Cmd"
                                                                           : "NG: McountValue_Cmd");
    }

    void MnCountEEPROMClick(TTComXDlg &c)
    {
        uint16_t a = 0, b = 0, w3 = 0;
        if (!c.GateRmcountmodeCmd(a, b, w3))
            return log("NG: McountMode_Cmd");
        const QList<uint16_t> read{a, b, w3};
        TMCountSetDlg dlg(w30(), win());
        log("OK: McountMode_Cmd");
        dlg.ShowWords(read);
        if (dlg.exec() != kModalOk)
            return;
        const QList<uint16_t> w = dlg.TakeWords(read);
        log(c.GateWmcountmodeCmd(w[0], w[1], w[2]) ? "OK: McountMode_Cmd" : "NG: McountMode_Cmd");
    }

    void MnContTimgResClick(TTComXDlg &c) { c.GateWadjusttimeCmd(); }

    ActionHost &host_;
    bool busy_ = false;
    QPointer<TTComXDlg> watched_;
    QPointer<TGateCountDlg> w20Count_;
    QPointer<TGateCount2Dlg> w30Count_;
};

} // namespace

void AttachGateActions(ActionHost &host)
{
    QWidget *window = host.hostWindow();
    if (window && window->findChild<QObject *>(QStringLiteral("GateActions"), Qt::FindDirectChildrenOnly))
        return;
    auto *actions = new GateActions(host, window);
    actions->setObjectName(QStringLiteral("GateActions"));
    actions->attach();
}

} // namespace kx9
