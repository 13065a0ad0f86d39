// The single-field editors, the bit switches, the EEPROM initialisation and
// the second parameter area's dialog and word editors.
#include "config/mode_actions.h"

#include "actions/action_host.h"
#include "actions/action_steps.h"
#include "commands/ttcomxdlg.h"
#include "config/config_actions.h"
#include "config/eeprom2_dialog.h"
#include "config/wide_int_edit.h"
#include "link/options.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QLabel>
#include <QMessageBox>

namespace kx9 {

namespace {

const QString kNoSettings = QStringLiteral("設定情報の取得が出来ません");

void setBox(IntEdit *e, int radix, int lo, int hi, int value)
{
    e->setRadix(radix);
    e->setRange(lo, hi);
    e->setValue(value);
}

uint32_t le32(const QByteArray &b, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(b.at(at + i));
    return v;
}

void putLe32(QByteArray &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

} // namespace

bool ModeActions::readWordsChecked(TTComXDlg &c, int firstWord, int count, QByteArray &words, bool area2)
{
    const bool read = area2 ? c.EEPROM_RDWR_CMD2_RX(uint8_t(firstWord), uint8_t(count), words)
                            : c.EEPROM_RDWR_CMD_RX(uint8_t(firstWord), uint8_t(count), words);
    const bool checked = c.WaitAck();
    return read && checked && words.size() == 2 * count;
}

bool ModeActions::confirmUnreadValues()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"),
                    QStringLiteral("リーダーから設定値を読み込めませんでした。\n"
                                   "表示した値はリーダーの値ではありません。この値を書き込みますか？"),
                    QMessageBox::Yes | QMessageBox::No, host_.hostWindow());
    box.setDefaultButton(QMessageBox::No);
    box.setEnabled(true);
    return box.exec() == QMessageBox::Yes;
}

void ModeActions::rememberByte0(uint8_t b)
{
    area2Remembered[0] = b;
    if (config_)
        config_->area2Byte0 = b;
}

// ---------------------------------------------------------------- editors

void ModeActions::MnSetAFIClick()
{
    TTComXDlg *c = comm();
    WindowDisabledScope disabled(host_.hostWindow());
    uint8_t afi = 0;
    const bool read = c->AFI_RDWR_CMD_RX(afi);
    if (!read)
        afi = 0;
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.setWindowTitle(QStringLiteral("AFI値の設定"));
    dlg.STTitle->setText(QStringLiteral("設定値（16進[0-255]）を入力してください"));
    setBox(dlg.IntEd, 16, 0, 255, afi);
    if (dlg.exec() != kModalOk || (!read && !confirmUnreadValues()))
        return;
    if ((c = comm()))
        c->AFI_RDWR_CMD_TX(uint8_t(dlg.IntEd->value()));
}

namespace {

struct ByteEditor {
    int word;
    const char *caption;
    const char *prompt;
    bool wait;
};

} // namespace

static void runByteEditor(ActionHost &host, const ByteEditor &e, const std::function<void(const QString &)> &message)
{
    TTComXDlg *c = host.comm();
    QuietScope quiet(host);
    QByteArray w;
    if (!c->EEPROM_RDWR_CMD_RX(uint8_t(e.word), 1, w) || w.size() != 2) {
        message(kNoSettings);
        return;
    }
    TInputIntDlg dlg(host.hostWindow());
    dlg.setEnabled(true);
    dlg.setWindowTitle(QString::fromUtf8(e.caption));
    dlg.STTitle->setText(QString::fromUtf8(e.prompt));
    setBox(dlg.IntEd, 10, 0, 255, uint8_t(w[0]));
    if (dlg.exec() != kModalOk || !(c = host.comm()))
        return;
    w[0] = char(dlg.IntEd->value());
    c->EEPROM_RDWR_CMD_TX(uint8_t(e.word), 1, w);
    if (e.wait)
        c->WaitAck();
}

void ModeActions::MnSetRWIDNUMClick()
{
    runByteEditor(host_, {15, "Ｒ／ＷのＩＤの設定", "Ｒ／ＷのＩＤを入力してください", false},
                  [this](const QString &t) { message(t); });
}

void ModeActions::MnSetRetryClick()
{
    runByteEditor(host_, {12, "リトライ回数の設定", "リトライ回数を入力してください[回]", true},
                  [this](const QString &t) { message(t); });
}

void ModeActions::MnSetUserCodeClick()
{
    TTComXDlg *c = comm();
    WindowDisabledScope disabled(host_.hostWindow());
    QByteArray w;
    host_.SuspendLogging();
    const bool read = c->EEPROM_RDWR_CMD_RX(1, 2, w) && w.size() == 4;
    host_.ResumeLogging();
    if (!read)
        w = QByteArray(4, '\0');
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.setWindowTitle(QStringLiteral("ユーザーコードの設定"));
    dlg.STTitle1->setText(QStringLiteral("製品コード"));
    dlg.STTitle2->setText(QStringLiteral("タグＩＤ"));
    dlg.STTitle3->setText(QStringLiteral("ユーザーコード"));
    setBox(dlg.IntEd1, 10, 0, 255, uint8_t(w[1]));
    setBox(dlg.IntEd2, 10, 0, 255, uint8_t(w[0]));
    setBox(dlg.IntEd3, 10, 0, 65535, uint8_t(w[2]) | (uint8_t(w[3]) << 8));
    if (dlg.exec() != kModalOk || (!read && !confirmUnreadValues()) || !(c = comm()))
        return;
    const int user = dlg.IntEd3->value();
    QByteArray out;
    out.append(char(dlg.IntEd2->value())).append(char(dlg.IntEd1->value()));
    out.append(char(user & 0xFF)).append(char((user >> 8) & 0xFF));
    c->EEPROM_RDWR_CMD_TX(1, 2, out);
}

void ModeActions::MnSetMemSWClick()
{
    TTComXDlg *c = comm();
    QuietScope quiet(host_);
    QByteArray w;
    const bool read = c->EEPROM_RDWR_CMD_RX(4, 1, w) && w.size() == 2;
    const int shown = read ? uint8_t(w[0]) + 256 * uint8_t(w[1]) : 0;
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.setWindowTitle(QStringLiteral("メモリースイッチの設定"));
    dlg.STTitle->setText(QStringLiteral("設定値（１６進）を入力してください"));
    setBox(dlg.IntEd, 16, 0, 0xFFFF, shown);
    if (dlg.exec() != kModalOk || (!read && !confirmUnreadValues()) || !(c = comm()))
        return;
    const int v = dlg.IntEd->value();
    c->EEPROM_RDWR_CMD_TX(4, 1, QByteArray() + char(v & 0xFF) + char((v >> 8) & 0xFF));
}

void ModeActions::MnSetWaitTimerClick()
{
    TTComXDlg *c = comm();
    QuietScope quiet(host_);
    QByteArray w;
    const bool read = c->EEPROM_RDWR_CMD_RX(6, 6, w) && w.size() == 12;
    // The stand-ins this editor has always offered, not the record's defaults.
    const uint32_t timers[3] = {read ? le32(w, 0) : 7812u, read ? le32(w, 4) : 1875u, read ? le32(w, 8) : 3750u};
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.setWindowTitle(QStringLiteral("ウエイト時間の設定(*3.2usec)"));
    dlg.STTitle1->setText(QStringLiteral("ライト時のＡＣＫ待ち時間"));
    dlg.STTitle2->setText(QStringLiteral("リード間隔時間"));
    dlg.STTitle3->setText(QStringLiteral("ライト時のﾍﾞﾘﾌｧｲデータ待ち時間"));
    // 32-bit timers: wider than the shared number box holds.
    WideIntEdit *boxes[3] = {ReplaceWithWideBox(&dlg, dlg.IntEd1), ReplaceWithWideBox(&dlg, dlg.IntEd2),
                             ReplaceWithWideBox(&dlg, dlg.IntEd3)};
    for (int i = 0; i < 3; ++i) {
        boxes[i]->setRadix(10);
        boxes[i]->setRange(0, 4294967295LL);
        boxes[i]->setValue(timers[i]);
    }
    if (dlg.exec() != kModalOk || (!read && !confirmUnreadValues()) || !(c = comm()))
        return;
    QByteArray out;
    for (WideIntEdit *b : boxes)
        putLe32(out, uint32_t(b->value()));
    c->EEPROM_RDWR_CMD_TX(6, 6, out);
}

// ---------------------------------------------------------------- switches

void ModeActions::switchBit(const WordBit &where, bool set)
{
    TTComXDlg *c = comm();
    QuietScope quiet(host_);
    QByteArray w;
    if (!readWordsChecked(*c, where.word, 1, w))
        return;
    c->EEPROM_RDWR_CMD_TX(uint8_t(where.word), 1, WithBit(w, where, set));
    c->WaitAck();
}

void ModeActions::MnAntiNormalClick(bool fast)
{
    TTComXDlg *c = comm();
    // Checked before anything is disabled: older firmware has neither bit.
    if (c->RomVersionCompare(121) < 0) {
        host_.AppLog(QStringLiteral("このROMバージョンは対応していません"));
        return;
    }
    QuietScope quiet(host_);
    QByteArray w;
    if (!readWordsChecked(*c, 16, 1, w))
        return;
    // Memory switch 3 bit 2, inventory command interval: 等間隔 (normal) or 高速 (fast).
    c->EEPROM_RDWR_CMD_TX(16, 1, WithBit(w, {16, true, 2}, !fast));
    if (!c->WaitAck())
        return;
    if (!readWordsChecked(*c, 20, 1, w))
        return;
    // Memory switch 5 bit 3, slot-change EOF control: 10%/100% (normal) or 100% (fast).
    c->EEPROM_RDWR_CMD_TX(20, 1, WithBit(w, {20, false, 3}, fast));
    c->WaitAck();
}

void ModeActions::MnBuzFreq5KHzClick(bool variable)
{
    TTComXDlg *c = comm();
    WindowDisabledScope disabled(host_.hostWindow());
    QByteArray w;
    if (!readWordsChecked(*c, 5, 1, w, true))
        return;
    w = WithBit(w, {5, false, 1}, variable);
    area2Remembered[8] = uint8_t(w[0]);
    area2Remembered[9] = uint8_t(w[1]);
    c->EEPROM_RDWR_CMD2_TX(5, 1, w);
    c->WaitAck();
}

void ModeActions::MnEEPROM1Click()
{
    bool ok = false;
    {
        QuietScope quiet(host_);
        TTComXDlg *c = comm();
        c->EEPROM_INIT_CMD();
        ok = c->WaitAck();
    }
    host_.AppLog(ok ? QStringLiteral("Init EEPROM : OK") : QStringLiteral("Init EEPROM : NG"));
}

// ---------------------------------------------------------------- area 2

void ModeActions::EEPROM21Click()
{
    TTComXDlg *c = comm();
    QuietScope quiet(host_);
    QByteArray bytes;
    if (!c->EEPROM_RDWR_CMD2_RX(1, uint8_t(kArea2Words), bytes) || !PutAreaWords(area2Remembered, 1, bytes))
        return;
    rememberByte0(area2Remembered[0]);

    ParamDialogContext ctx;
    ctx.options = &host_.appOptions();
    ctx.area2Byte0 = config_ ? &config_->area2Byte0 : nullptr;
    TSetEEPROM2Dlg dlg(ctx, host_.hostWindow());
    dlg.setEnabled(true);
    dlg.ShowArea2(area2Remembered);
    if (dlg.exec() != kModalOk || !(c = comm()))
        return;
    area2Remembered = dlg.TakeArea2();
    c->EEPROM_RDWR_CMD2_TX(1, uint8_t(kArea2Words), AreaWords(area2Remembered, 1, kArea2Words));
    c->WaitAck();
}

bool ModeActions::askArea2Words(bool /*forWrite*/)
{
    area2Start = Area2StartWord(area2Start);
    area2Count = Area2WordCount(area2Count);
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.setWindowTitle(QStringLiteral("EEPROM　エリア２への設定値の入力"));
    dlg.STTitle1->setText(QStringLiteral("スタートアドレス（１～）"));
    dlg.STTitle2->setText(QStringLiteral("ワード長（１～）\t"));
    dlg.STTitle3->setText(QStringLiteral("データ（１６進）"));
    setBox(dlg.IntEd1, 10, 0, 255, area2Start);
    setBox(dlg.IntEd2, 10, 0, 255, area2Count);
    WideIntEdit *data = ReplaceWithWideBox(&dlg, dlg.IntEd3);
    data->setRadix(16);
    data->setRange(0, 0xFFFFFFFFLL);
    data->setValue(area2Data);
    if (dlg.exec() != kModalOk)
        return false;
    area2Start = Area2StartWord(dlg.IntEd1->value());
    area2Count = Area2WordCount(dlg.IntEd2->value());
    area2Data = uint32_t(data->value());
    return true;
}

void ModeActions::MnReadEEPROM2Click()
{
    if (!askArea2Words(false))
        return;
    TTComXDlg *c = comm();
    if (!c)
        return;
    WindowDisabledScope disabled(host_.hostWindow());
    host_.SuspendLogging();
    QByteArray bytes;
    const bool read = c->EEPROM_RDWR_CMD2_RX(uint8_t(area2Start), uint8_t(area2Count), bytes) &&
                      bytes.size() == 2 * area2Count;
    host_.ResumeLogging();
    // Only what was read: a one-word read leaves nothing of an older value above it.
    if (read)
        area2Data = Area2DataValue(bytes);
}

void ModeActions::MnSetEEPROM2Click()
{
    TTComXDlg *c = comm();
    QuietScope quiet(host_);
    area2Start = Area2StartWord(area2Start);
    area2Count = Area2WordCount(area2Count);
    area2Data = 0;
    QByteArray bytes;
    if (!c->EEPROM_RDWR_CMD2_RX(uint8_t(area2Start), uint8_t(area2Count), bytes) || bytes.size() != 2 * area2Count)
        return;
    area2Data = Area2DataValue(bytes);
    if (!askArea2Words(true) || !(c = comm()))
        return;
    c->EEPROM_RDWR_CMD2_TX(uint8_t(area2Start), uint8_t(area2Count), Area2DataBytes(area2Data, area2Count));
    c->WaitAck();
}

} // namespace kx9
