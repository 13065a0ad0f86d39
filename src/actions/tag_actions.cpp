#include "actions/tag_actions.h"

#include "actions/action_host.h"
#include "actions/action_util.h"
#include "actions/tag_action_util.h"
#include "actions/write_pwd_dialog.h"
#include "commands/ttcomxdlg.h"
#include "link/frame.h"
#include "link/main_state.h"
#include "link/options.h"
#include "link/text_codec.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QAction>
#include <QKeySequence>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QWidget>

namespace kx9 {

namespace {

const QString kBlockNo = QStringLiteral("ブロックＮＯ");
const QString kBlockNoPrompt = QStringLiteral("ブロックＮＯを入力してください");
const QString kValuesCaption = QStringLiteral("設定値の入力");
const QString kBlockCount = QStringLiteral("ブロック数");
const QString kAfiHex = QStringLiteral("AFI値(Hex)");
const QString kTextPrompt = QStringLiteral("データ（文字列）");
// Block 11 of a TI Light tag holds the password, block 10 the AFI in byte 0.
constexpr uint8_t kLightPasswordBlock = 11;
constexpr uint8_t kLightAfiBlock = 10;
constexpr uint8_t kOptionFlag = 0x10;
// The protected TI commands always address the tag by its UID, with the option flag.
constexpr uint8_t kTiPasswordFlags = 0x11;

void setNumber(IntEdit *e, int radix, int minimum, int maximum, int value)
{
    e->setRadix(radix);
    e->setRange(minimum, maximum);
    e->setValue(value);
}

void hideNumber(QLabel *prompt, QWidget *field)
{
    prompt->setText(QString());
    field->hide();
}

uint8_t readUid(const AppOptions &o) { return uint8_t(o.ReadUidFlag & 3); }
uint8_t writeUid(const AppOptions &o) { return uint8_t(o.WriteUidFlag & 3); }

// The 32-bit mask of SID_Poll does not fit the int range of a number box:
// this field takes eight hexadecimal digits and shows them upper case.
class HexEdit32 : public QLineEdit {
public:
    explicit HexEdit32(QWidget *parent) : QLineEdit(parent)
    {
        setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{0,8}$")), this));
        connect(this, &QLineEdit::editingFinished, this, [this] { setValue(value()); });
    }
    uint32_t value() const { return text().trimmed().left(8).toUInt(nullptr, 16); }
    void setValue(uint32_t v) { setText(QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0')).toUpper()); }
};

} // namespace

TagActions::TagActions(ActionHost &host, QObject *parent) : QObject(parent), ActionSteps(host) {}

bool TagActions::confirm(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), text, QMessageBox::Yes | QMessageBox::No,
                    host_.hostWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// ---------------------------------------------------------------- shared dialogs

bool TagActions::askBlockNo(const QString &caption, int maximum, uint8_t &block)
{
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(caption);
    dlg.STTitle->setText(kBlockNoPrompt);
    setNumber(dlg.IntEd, 10, 0, maximum, block);
    if (dlg.exec() != kModalOk)
        return false;
    block = uint8_t(dlg.IntEd->value());
    return true;
}

bool TagActions::askBlockAndText(const QString &caption, const QString &textPrompt)
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(caption);
    dlg.STTitle1->setText(kBlockNo);
    setNumber(dlg.IntEd1, 10, 0, 255, st().LastBlockNo);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(textPrompt);
    dlg.EdString->setText(st().LastDataText);
    if (dlg.exec() != kModalOk)
        return false;
    st().LastBlockNo = uint8_t(dlg.IntEd1->value());
    st().LastDataText = dlg.EdString->text();
    return true;
}

bool TagActions::askFirstAndCount(int countMinimum, const QString &countPrompt, const QString &caption)
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(caption);
    dlg.STTitle1->setText(kBlockNo);
    dlg.STTitle2->setText(countPrompt);
    setNumber(dlg.IntEd1, 10, 0, 255, st().MultiFirstBlock);
    setNumber(dlg.IntEd2, 10, countMinimum, 255, st().MultiBlockCount);
    hideNumber(dlg.STTitle3, dlg.EdString);
    if (dlg.exec() != kModalOk)
        return false;
    st().MultiFirstBlock = uint8_t(dlg.IntEd1->value());
    st().MultiBlockCount = uint8_t(dlg.IntEd2->value());
    return true;
}

bool TagActions::askBlockCountAfi()
{
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    dlg.STTitle1->setText(kBlockNo);
    dlg.STTitle2->setText(kBlockCount);
    dlg.STTitle3->setText(kAfiHex);
    setNumber(dlg.IntEd1, 10, 0, 255, st().LastBlockNo);
    setNumber(dlg.IntEd2, 10, 0, 255, st().MultiBlockCount);
    setNumber(dlg.IntEd3, 16, 0, 255, mem_.InventoryAfi);
    if (dlg.exec() != kModalOk)
        return false;
    st().LastBlockNo = uint8_t(dlg.IntEd1->value());
    st().MultiBlockCount = uint8_t(dlg.IntEd2->value());
    mem_.InventoryAfi = uint8_t(dlg.IntEd3->value());
    return true;
}

bool TagActions::askAfi(const QString &caption)
{
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(caption);
    dlg.STTitle->setText(kAfiHex);
    setNumber(dlg.IntEd, 16, 0, 255, mem_.InventoryAfi);
    if (dlg.exec() != kModalOk)
        return false;
    mem_.InventoryAfi = uint8_t(dlg.IntEd->value());
    return true;
}

// ---------------------------------------------------------------- TAG-IT

void TagActions::MnGetBlockClick()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(QStringLiteral("GetBlock コマンド"), 32, block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Uid);
    run([=](TTComXDlg &c) { return c.TAGIT_GETBLOCK_CMD(block, f); }, false);
}

void TagActions::MnGetVersionClick()
{
    const uint8_t f = GroupFlags(opt(), FlagGroup::Uid);
    run([=](TTComXDlg &c) { return c.TAGIT_GETVERSION_CMD(f); }, false);
}

void TagActions::tagItBlockWrite(bool lock)
{
    if (!askBlockAndText(lock ? QStringLiteral("PutBlockLock コマンド") : QStringLiteral("PutBlock　コマンド"),
                         QStringLiteral("データ（４文字）")))
        return;
    const uint8_t block = st().LastBlockNo;
    const QByteArray data = TextToBlockBytes(st().LastDataText, 4);
    const uint8_t f = GroupFlags(opt(), FlagGroup::Uid);
    if (lock)
        run([=](TTComXDlg &c) { return c.TAGIT_PUTBLOCKLOCK_CMD(block, data, f); }, false);
    else
        run([=](TTComXDlg &c) { return c.TAGIT_PUTBLOCK_CMD(block, data, f); }, false);
}

void TagActions::MnPutBlockClick() { tagItBlockWrite(false); }
void TagActions::MnPutBlockLockClick() { tagItBlockWrite(true); }

void TagActions::MnLockBlock2Click()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(QStringLiteral("LockBlock　コマンド"), 255, block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Uid);
    run([=](TTComXDlg &c) { return c.TAGIT_LOCKBLOCK_CMD(block, f); }, false);
}

void TagActions::MnSID_PollClick()
{
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("SID_Poll　コマンド"));
    dlg.STTitle1->setText(QStringLiteral("マスクビット長"));
    setNumber(dlg.IntEd1, 10, 0, 31, mem_.SidPollMaskLength);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(QStringLiteral("データ（１６進）"));
    // The mask field takes the place (and the name) of the third number box.
    auto *mask = new HexEdit32(&dlg);
    if (auto *grid = qobject_cast<QGridLayout *>(dlg.layout()))
        delete grid->replaceWidget(dlg.IntEd3, mask);
    dlg.IntEd3->hide();
    dlg.IntEd3->setObjectName(QStringLiteral("IntEd3Byte"));
    mask->setObjectName(QStringLiteral("IntEd3"));
    mask->setValue(mem_.SidPollMask);
    if (dlg.exec() != kModalOk)
        return;
    mem_.SidPollMaskLength = uint8_t(dlg.IntEd1->value());
    mem_.SidPollMask = mask->value();
    const uint8_t len = mem_.SidPollMaskLength;
    const uint32_t m = mem_.SidPollMask;
    run([=](TTComXDlg &c) { return c.TAGIT_SID_POLL_CMD(0, len, m); }, false);
}

void TagActions::MnQuietClick()
{
    const uint8_t f = GroupFlags(opt(), FlagGroup::Uid);
    run([=](TTComXDlg &c) { return c.TAGIT_QUIET_CMD(f); }, false);
}

// ---------------------------------------------------------------- my-d

void TagActions::MnMydRead1Click()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(kBlockNo, 255, block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Read);
    run([=](TTComXDlg &c) { return c.Myd_ReadCommand(block, f); }, false);
}

void TagActions::mydWrite(bool reread)
{
    if (!askBlockAndText(QStringLiteral("書き込みデータの入力"), QStringLiteral("データ（８文字）")))
        return;
    const uint8_t block = st().LastBlockNo;
    const QByteArray data = TextToBlockBytes(st().LastDataText, 8);
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    if (reread)
        run([=](TTComXDlg &c) { return c.Myd_WriteRereadCommand(block, data, f); }, false);
    else
        run([=](TTComXDlg &c) { return c.Myd_WriteCommand(block, data, f); }, false);
}

void TagActions::MnMydWrite1Click() { mydWrite(false); }
void TagActions::MnMydWriteReread1Click() { mydWrite(true); }

void TagActions::MnMydWriteByte1Click()
{
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("書き込みデータの設定"));
    dlg.STTitle1->setText(kBlockNo);
    dlg.STTitle2->setText(QStringLiteral("アドレス位置（0-9）"));
    dlg.STTitle3->setText(QStringLiteral("データ(hex: 0-ff)"));
    setNumber(dlg.IntEd1, 10, 0, 255, st().LastBlockNo);
    setNumber(dlg.IntEd2, 10, 0, 9, 0);
    setNumber(dlg.IntEd3, 16, 0, 255, 0);
    if (dlg.exec() != kModalOk)
        return;
    st().LastBlockNo = uint8_t(dlg.IntEd1->value());
    const uint8_t block = st().LastBlockNo;
    const uint8_t pos = uint8_t(dlg.IntEd2->value());
    const uint8_t value = uint8_t(dlg.IntEd3->value());
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    run([=](TTComXDlg &c) { return c.Myd_WriteByteCommand(block, pos, value, f); }, false);
}

// ---------------------------------------------------------------- TI

void TagActions::MnTIInventoryRead11Click(bool oneSlot)
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    dlg.STTitle1->setText(kBlockNo);
    dlg.STTitle2->setText(kAfiHex);
    setNumber(dlg.IntEd1, 10, 0, 255, st().LastBlockNo);
    setNumber(dlg.IntEd2, 16, 0, 255, mem_.InventoryAfi);
    hideNumber(dlg.STTitle3, dlg.EdString);
    if (dlg.exec() != kModalOk)
        return;
    st().LastBlockNo = uint8_t(dlg.IntEd1->value());
    mem_.InventoryAfi = uint8_t(dlg.IntEd2->value());
    const uint8_t block = st().LastBlockNo, afi = mem_.InventoryAfi;
    const uint8_t f = VendorInventoryFlags(opt(), oneSlot, afi);
    run([=](TTComXDlg &c) { return c.TI_InventoryRead(block, f, afi); }, false);
}

void TagActions::MnTIInventoryMultiRead11Click(bool oneSlot)
{
    if (!askBlockCountAfi())
        return;
    const uint8_t block = st().LastBlockNo, count = st().MultiBlockCount, afi = mem_.InventoryAfi;
    const uint8_t f = VendorInventoryFlags(opt(), oneSlot, afi);
    run([=](TTComXDlg &c) { return c.TI_InventoryMultiRead(block, count, f, afi); }, false);
}

void TagActions::MnTIInventoryGetSystemInfo11Click(bool oneSlot)
{
    if (!askAfi(kValuesCaption))
        return;
    const uint8_t afi = mem_.InventoryAfi;
    const uint8_t f = VendorInventoryFlags(opt(), oneSlot, afi);
    run([=](TTComXDlg &c) { return c.TI_InventoryGetSystemInfo(f, afi); }, false);
}

void TagActions::MnTIInventoryGetSecInfo11Click(bool oneSlot)
{
    if (!askBlockCountAfi())
        return;
    const uint8_t block = st().LastBlockNo, count = st().MultiBlockCount, afi = mem_.InventoryAfi;
    const uint8_t f = VendorInventoryFlags(opt(), oneSlot, afi);
    run([=](TTComXDlg &c) { return c.TI_InventoryGetSecInfo(block, count, f, afi); }, false);
}

// ---------------------------------------------------------------- TI Light

void TagActions::MnWrLightPassClick()
{
    TWrData1Dlg dlg(host_.hostWindow());
    dlg.EdAddr->setValue(kLightPasswordBlock);
    dlg.EdAddr->setEnabled(false);
    dlg.EdData0->setValue(opt().PassData[0]);
    dlg.EdData1->setValue(opt().PassData[1]);
    dlg.EdData2->setValue(opt().PassData[2]);
    dlg.EdData3->setValue(opt().PassData[3]);
    if (dlg.exec() != kModalOk)
        return;
    uint8_t *pass = opt().PassData;
    pass[0] = uint8_t(dlg.EdData0->value());
    pass[1] = uint8_t(dlg.EdData1->value());
    pass[2] = uint8_t(dlg.EdData2->value());
    pass[3] = uint8_t(dlg.EdData3->value());
    const QByteArray bytes = BinaryBlockBytes(pass[3], pass[2], pass[1], pass[0], opt().TagBlockSize);
    const uint8_t f = uint8_t(kOptionFlag | writeUid(opt()));
    run([=](TTComXDlg &c) { return c.ISO15693_WriteSingleBlock(kLightPasswordBlock, bytes, f); }, true, true);
}

void TagActions::MnSetRPClick()
{
    if (!confirm(QStringLiteral("RPビットを有効とする為に、Lockしますが宜しいですか？")))
        return;
    const uint8_t f = uint8_t(writeUid(opt()) | kOptionFlag);
    run([=](TTComXDlg &c) { return c.ISO15693_LockBlock(kLightPasswordBlock, f); }, true);
}

void TagActions::MnLightAFI1Click()
{
    if (!askAfi(QStringLiteral("AFI値の設定")))
        return;
    const uint8_t afi = mem_.InventoryAfi;
    TTComXDlg *c = comm();
    if (!c)
        return;
    WindowDisabledScope busy(host_.hostWindow());
    // Read-modify-write: the AFI is byte 0 of block 10 and the rest of the
    // block must stay as the tag holds it. Without an acknowledged read there
    // is nothing to keep, and the buffer would hold another read's bytes
    // (another block, another tag): writing them would destroy the block.
    c->ISO15693_ReadSingleBlock(kLightAfiBlock, 0x00);
    if (!c->WaitAck()) {
        log(QStringLiteral("AFI値の設定: ブロック10を読み込めなかったため、書き込みを中止しました"));
        return;
    }
    const int blockSize = qMax(0, opt().TagBlockSize);
    if (c->LastReadCount < blockSize) {
        log(QStringLiteral("AFI値の設定: ブロック10の読み込みデータが%1バイトしかないため、書き込みを中止しました")
                .arg(c->LastReadCount));
        return;
    }
    const QByteArray block = LightAfiBlock(afi, c->LastReadData.left(blockSize), blockSize);
    c->ISO15693_WriteSingleBlock(kLightAfiBlock, block, kOptionFlag);
    c->WaitAck();
}

void TagActions::WriteSingleBlockPwd1Click()
{
    TWritePwdDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("Write Single Block Pwd Command"));
    dlg.setPassword(opt().PassData);
    dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ（０－Ｂ）"));
    setNumber(dlg.IntEd1, 16, 0, 0x0B, st().LastBlockNo);
    dlg.STTitle3->setText(QStringLiteral("データ(HEX)"));
    dlg.setData(QByteArray(4, '\0'));
    if (dlg.exec() != kModalOk)
        return;
    const QByteArray pass = dlg.password();
    for (int i = 0; i < 4; ++i)
        opt().PassData[i] = uint8_t(pass.at(i));
    st().LastBlockNo = uint8_t(dlg.IntEd1->value());
    const uint8_t block = st().LastBlockNo;
    const QByteArray data = dlg.data();
    run([=](TTComXDlg &c) { return c.TI_WRSIBK_Psw(kTiPasswordFlags, c.CurrentUidBytes(), pass, block, data); },
        true);
}

void TagActions::MnKill1Click()
{
    if (!confirm(QStringLiteral("KILLコマンドを実行するとタグが使用できなくなりますが、コマンドを実行しますか？")))
        return;
    TWritePwdDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("KILL Command"));
    dlg.setPassword(opt().PassData);
    dlg.hideBlockAndDataRows();
    if (dlg.exec() != kModalOk)
        return;
    const QByteArray pass = dlg.password();
    for (int i = 0; i < 4; ++i)
        opt().PassData[i] = uint8_t(pass.at(i));
    run([=](TTComXDlg &c) { return c.TI_KillCommand(kTiPasswordFlags, c.CurrentUidBytes(), pass); }, true);
}

// ---------------------------------------------------------------- Philips

void TagActions::InventoryRead11Click(bool oneSlot)
{
    if (!askBlockCountAfi())
        return;
    const uint8_t block = st().LastBlockNo, count = st().MultiBlockCount, afi = mem_.InventoryAfi;
    const uint8_t f = VendorInventoryFlags(opt(), oneSlot, afi);
    run([=](TTComXDlg &c) { return c.SLI_InventoryRead(block, count, f, afi); }, false);
}

void TagActions::FastInventoryRead11Click(bool oneSlot)
{
    if (!askBlockCountAfi())
        return;
    const uint8_t block = st().LastBlockNo, count = st().MultiBlockCount, afi = mem_.InventoryAfi;
    const uint8_t f = VendorInventoryFlags(opt(), oneSlot, afi);
    run([=](TTComXDlg &c) { return c.SLI_FastInventoryRead(block, count, f, afi); }, false);
}

void TagActions::MnSetEAS1Click()
{
    const uint8_t f = writeUid(opt());
    run([=](TTComXDlg &c) { return c.SLI_SetEASCommand(f); }, true);
}

void TagActions::MnResetEAS1Click()
{
    const uint8_t f = writeUid(opt());
    run([=](TTComXDlg &c) { return c.SLI_ResetEASCommand(f); }, true);
}

void TagActions::MnLockEAS1Click()
{
    const uint8_t f = writeUid(opt());
    run([=](TTComXDlg &c) { return c.SLI_LockEASCommand(f); }, true);
}

void TagActions::MnEASAlarm1Click()
{
    const uint8_t f = readUid(opt());
    run([=](TTComXDlg &c) { return c.SLI_EASAlarmCommand(f); }, true);
}

// ---------------------------------------------------------------- Fujitsu

void TagActions::MnMB89EAS1Click()
{
    run([](TTComXDlg &c) { return c.MB89_EASCommand(0x00); }, true);
}

void TagActions::MnFujiEASONClick(bool on)
{
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    run([=](TTComXDlg &c) { return c.MB89_WriteEASCommand(on ? 1 : 0, f); }, true);
}

void TagActions::MnMB89RefreshClick()
{
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    run([=](TTComXDlg &c) { return c.MB89_RefreshCommand(f); }, true);
}

void TagActions::MnMB89ReadMulitiBlocksUnlimited1Click()
{
    if (!askFirstAndCount(0, kBlockCount, kValuesCaption))
        return;
    const uint8_t first = st().MultiFirstBlock, count = st().MultiBlockCount;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Read);
    run([=](TTComXDlg &c) { return c.MB89_RDMULIBLOCKSCommand(first, count, f); }, true);
}

// ---------------------------------------------------------------- ST

void TagActions::MnACTIVATEEAS1Click()
{
    const uint8_t f = writeUid(opt());
    run([=](TTComXDlg &c) { return c.LRI_ACTIVATEEAS(f); }, true);
}

void TagActions::MnDEACTIVATEEAS1Click()
{
    const uint8_t f = writeUid(opt());
    run([=](TTComXDlg &c) { return c.LRI_DEACTIVATEEAS(f); }, true);
}

void TagActions::POOLEAS1Click()
{
    run([](TTComXDlg &c) { return c.LRI_POOLEAS(0x00); }, true);
}

// ---------------------------------------------------------------- general commands

void TagActions::MnPowerDownClick()
{
    run([](TTComXDlg &c) { return c.POWERDOWN_CMD_N(); }, false);
}

void TagActions::MnGetErrStatusClick()
{
    run([](TTComXDlg &c) { return c.Get_ERROR_STATUS(); }, false);
}

void TagActions::ReadBytes1Click()
{
    if (!askFirstAndCount(1, QStringLiteral("データ数[1-255]"), QStringLiteral("読み取り範囲の入力")))
        return;
    const uint8_t first = st().MultiFirstBlock, count = st().MultiBlockCount;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Read);
    run([=](TTComXDlg &c) { return c.ISO15693_ReadBytes(first, count, f); }, true, true);
}

void TagActions::WriteBytes1Click()
{
    const bool binary = opt().fBinaryWrite != 0;
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    dlg.STTitle1->setText(kBlockNo);
    setNumber(dlg.IntEd1, 10, 0, 255, st().MultiFirstBlock);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    if (binary) {
        dlg.STTitle3->setText(QStringLiteral("データ（Hex）[１バイト２桁 例：00 01 02 03]"));
        dlg.EdString->clear();
    } else {
        dlg.STTitle3->setText(kTextPrompt);
        dlg.EdString->setText(st().LastDataText);
    }
    if (dlg.exec() != kModalOk)
        return;
    st().MultiFirstBlock = uint8_t(dlg.IntEd1->value());
    QByteArray bytes;
    if (binary) {
        HexTextToBytes(dlg.EdString->text().left(255), bytes);
        st().MultiBlockCount = uint8_t(bytes.size());
    } else {
        st().LastDataText = CutTextToBytes(dlg.EdString->text(), 255);
        bytes = EncodeCp932(st().LastDataText);
    }
    const uint8_t first = st().MultiFirstBlock;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    // An empty entry is sent as it is (count 0); only what one frame cannot
    // carry is refused.
    if (!bytes.isEmpty()) {
        const QString why = BlockWriteRefusal(int(bytes.size()), 4, f);
        if (!why.isEmpty()) {
            QMessageBox::warning(host_.hostWindow(), QStringLiteral("書き込みできません"), why);
            return;
        }
    }
    run([=](TTComXDlg &c) { return c.ISO15693_WriteBytes_A1(first, bytes, f); }, true, true);
}

void TagActions::MnLockBytes1Click()
{
    if (!askFirstAndCount(0, kBlockCount, kValuesCaption))
        return;
    const uint8_t first = st().MultiFirstBlock, count = st().MultiBlockCount;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Read, true);
    run([=](TTComXDlg &c) { return c.ISO15693_WriteBytes_F3(first, count, f); }, true, true);
}

void TagActions::MnGetUIDNumClick()
{
    run([](TTComXDlg &c) { return c.GETUIDNUMBER_CMD(); }, false);
}

void TagActions::GetUIDDataClick()
{
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("ＵＩＤデータの取得"));
    dlg.STTitle->setText(QStringLiteral("取得するUIDの番号を入力してください(１～)"));
    setNumber(dlg.IntEd, 10, 1, 255, 1);
    if (dlg.exec() != kModalOk)
        return;
    const uint8_t index = uint8_t(dlg.IntEd->value());
    run([=](TTComXDlg &c) { return c.GETUIDDATA_CMD(index); }, false);
}

void TagActions::MnQUIT_Cmd1Click(uint8_t mode)
{
    run([=](TTComXDlg &c) { return c.QUIT_command(mode); }, false);
}

void TagActions::MnCommRead1Click()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(kBlockNo, 255, block))
        return;
    st().LastBlockNo = block;
    const QByteArray raw = CommReadRequest(block);
    run([=](TTComXDlg &c) { return c.ISO15693_CommCmd(raw); }, false);
}

void TagActions::MnCommWrite1Click()
{
    if (!askBlockAndText(kValuesCaption, QStringLiteral("データ（%1文字）").arg(opt().TagBlockSize)))
        return;
    const QByteArray text = TextToBlockBytes(st().LastDataText, opt().TagBlockSize);
    const QByteArray raw = CommWriteRequest(st().LastBlockNo, (opt().WriteOptionFlag & 1) != 0, text.left(4));
    run([=](TTComXDlg &c) { return c.ISO15693_CommCmd(raw); }, false);
}

void TagActions::MnTransmit1Click()
{
    run([](TTComXDlg &c) { return c.ISO15693_CommCmd(CommTransmitRequest(c.CurrentUidBytes())); }, false);
}

// ---------------------------------------------------------------- data write

void TagActions::MnDataWriteClick()
{
    const bool scanner = opt().fBarCodeReader != 0;
    TInp3Data2Dlg dlg(scanner, host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("タグデータの書き込み"));
    hideNumber(dlg.STTitle1, dlg.IntEd1);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(kTextPrompt);
    // A scanner types into an empty field; by hand the last text is offered again.
    if (scanner)
        dlg.EdString->clear();
    else
        dlg.EdString->setText(opt().TagDataStr);
    if (dlg.exec() != kModalOk)
        return;
    opt().TagDataStr = dlg.EdString->text();
    QString note;
    const int n = DataWriteCount(opt(), int(EncodeCp932(opt().TagDataStr).size()), &note);
    if (!note.isEmpty())
        log(note);
    opt().TagDataNum = uint16_t(n);
    const QByteArray bytes = TextToBlockBytes(opt().TagDataStr, n);
    TTComXDlg *c = comm();
    if (!c)
        return;
    WindowDisabledScope busy(host_.hostWindow());
    c->DousaModeSet_J(bytes);
    const bool ok = c->WaitAck();
    c->Buzzer_Command(ok ? 0 : 1);
    log(ok ? QStringLiteral("書き込み成功！！") : QStringLiteral("書き込み失敗！！"));
}

// ---------------------------------------------------------------- EAS values

void TagActions::MnEASON1Click()
{
    const uint8_t afi = opt().EAS_ON_VALUE;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    run([=](TTComXDlg &c) { return c.ISO15693_WriteAFI(afi, f); }, false);
}

void TagActions::MnEASOFF1Click()
{
    const uint8_t afi = opt().EAS_OFF_VALUE;
    const uint8_t f = GroupFlags(opt(), FlagGroup::Write);
    run([=](TTComXDlg &c) { return c.ISO15693_WriteAFI(afi, f); }, false);
}

// ---------------------------------------------------------------- wiring

void TagActions::attach()
{
    const auto on = [this](const char *name, std::function<void()> handler) {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler] { guarded(handler); });
    };
    on("MnGetBlock", [this] { MnGetBlockClick(); });
    on("MnGetVersion", [this] { MnGetVersionClick(); });
    on("MnPutBlock", [this] { MnPutBlockClick(); });
    on("MnPutBlockLock", [this] { MnPutBlockLockClick(); });
    on("MnLockBlock2", [this] { MnLockBlock2Click(); });
    on("MnSID_Poll", [this] { MnSID_PollClick(); });
    on("MnQuiet", [this] { MnQuietClick(); });

    on("MnMydRead1", [this] { MnMydRead1Click(); });
    on("MnMydWrite1", [this] { MnMydWrite1Click(); });
    on("MnMydWriteByte1", [this] { MnMydWriteByte1Click(); });
    on("MnMydWriteReread1", [this] { MnMydWriteReread1Click(); });

    on("MnTIInventoryRead11", [this] { MnTIInventoryRead11Click(true); });
    on("MnTIInventoryRead161", [this] { MnTIInventoryRead11Click(false); });
    on("MnTIInventoryMultiRead11", [this] { MnTIInventoryMultiRead11Click(true); });
    on("MnTIInventoryMultiRead161", [this] { MnTIInventoryMultiRead11Click(false); });
    on("MnTIInventoryGetSystemInfo11", [this] { MnTIInventoryGetSystemInfo11Click(true); });
    on("MnTIInventoryGetSystemInfo161", [this] { MnTIInventoryGetSystemInfo11Click(false); });
    on("MnTIInventoryGetSecInfo11", [this] { MnTIInventoryGetSecInfo11Click(true); });
    on("MnTIInventoryGetSecInfo161", [this] { MnTIInventoryGetSecInfo11Click(false); });

    on("MnWrLightPass", [this] { MnWrLightPassClick(); });
    on("MnSetRP", [this] { MnSetRPClick(); });
    on("MnLightAFI1", [this] { MnLightAFI1Click(); });
    on("WriteSingleBlockPwd1", [this] { WriteSingleBlockPwd1Click(); });
    on("MnKill1", [this] { MnKill1Click(); });

    on("InventoryRead11", [this] { InventoryRead11Click(true); });
    on("InventoryRead161", [this] { InventoryRead11Click(false); });
    on("FastInventoryRead11", [this] { FastInventoryRead11Click(true); });
    on("FastInventoryRead161", [this] { FastInventoryRead11Click(false); });
    on("MnSetEAS1", [this] { MnSetEAS1Click(); });
    on("MnResetEAS1", [this] { MnResetEAS1Click(); });
    on("MnLockEAS1", [this] { MnLockEAS1Click(); });
    on("MnEASAlarm1", [this] { MnEASAlarm1Click(); });

    on("MnMB89EAS1", [this] { MnMB89EAS1Click(); });
    on("MnFujiEASON", [this] { MnFujiEASONClick(true); });
    on("MnFujiEASOFF", [this] { MnFujiEASONClick(false); });
    on("MnMB89Refresh", [this] { MnMB89RefreshClick(); });
    on("MnMB89ReadMulitiBlocksUnlimited1", [this] { MnMB89ReadMulitiBlocksUnlimited1Click(); });

    on("MnACTIVATEEAS1", [this] { MnACTIVATEEAS1Click(); });
    on("MnDEACTIVATEEAS1", [this] { MnDEACTIVATEEAS1Click(); });
    on("POOLEAS1", [this] { POOLEAS1Click(); });

    on("MnPowerDown", [this] { MnPowerDownClick(); });
    on("MnGetErrStatus", [this] { MnGetErrStatusClick(); });
    on("ReadBytes1", [this] { ReadBytes1Click(); });
    on("WriteBytes1", [this] { WriteBytes1Click(); });
    on("MnLockBytes1", [this] { MnLockBytes1Click(); });
    on("MnGetUIDNum", [this] { MnGetUIDNumClick(); });
    on("GetUIDData", [this] { GetUIDDataClick(); });
    on("MnQUIT_Cmd1", [this] { MnQUIT_Cmd1Click(0); });
    on("MnQUIT_Cmd2", [this] { MnQUIT_Cmd1Click(1); });
    on("MnQUIT_Cmd3", [this] { MnQUIT_Cmd1Click(2); });
    on("MnCommRead1", [this] { MnCommRead1Click(); });
    on("MnCommWrite1", [this] { MnCommWrite1Click(); });
    on("MnTransmit1", [this] { MnTransmit1Click(); });

    // The toolbar button TBtDataWrite forwards to this item. The item sits in
    // the menu "コマンド", which the menu profile hides, and Qt does not fire
    // the shortcut of an item in a hidden menu: Ctrl+W is the button's, so it
    // also follows the button's command-mode gating.
    on("MnDataWrite", [this] { MnDataWriteClick(); });
    if (QAction *button = host_.findAction(QStringLiteral("TBtDataWrite")); button && button->shortcut().isEmpty())
        button->setShortcut(QKeySequence(QStringLiteral("Ctrl+W")));

    on("MnEASON1", [this] { MnEASON1Click(); });
    on("MnEASOFF1", [this] { MnEASOFF1Click(); });
}

} // namespace kx9
