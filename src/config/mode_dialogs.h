#pragma once
// The dialogs of the reader's modes: the operating mode with its flags and
// polling time (TDousaMode1Dlg), the S6700 control byte (TModeSet2Dlg) and the
// EAS values (TSetEAS1Dlg). Each shows bytes through Show… and hands them back
// through Take…; every control carries its objectName for scripts and tests.
// exec() gives kModalOk (1) for the confirming button, kModalCancel (2) else.
#include <QDialog>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace kx9 {

class IntEdit;
class ParamRadioGroup;

class TDousaMode1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TDousaMode1Dlg(QWidget *parent = nullptr);

    // The list shows `code` (a code it does not have as "コマンドモード"), the
    // radio groups flag bits 2-5, the speed list (refilled, with "38.4kbps"
    // only when `ver121`) bits 6-7, the box the polling time.
    void Show(uint16_t pollingTime, uint8_t code, uint8_t flags, bool ver121);
    uint8_t TakeCode() const;
    // Bits 0-1 as shown, bits 2-7 from the controls.
    uint8_t TakeFlags() const;
    uint16_t TakePollingTime() const;
    bool storeInEeprom() const;

    void reject() override;

    IntEdit *EdPolTime = nullptr;
    QLabel *LbPolTime = nullptr;       // "ポーリング時間："
    QLabel *LbPolTimeUnit = nullptr;   // "× ２００ｍｓ"
    QComboBox *ComboBox1 = nullptr;
    ParamRadioGroup *GbBuzzer = nullptr;
    ParamRadioGroup *RGAntiCol = nullptr;
    ParamRadioGroup *GbReadMode = nullptr;
    ParamRadioGroup *RGTxData = nullptr;
    QComboBox *CBSpeed = nullptr;
    QCheckBox *CBWriteEEPROM = nullptr;
    QPushButton *BtOK = nullptr;
    QPushButton *BtCancel = nullptr;

private:
    // The polling time is asked for only in the polling mode.
    void updatePollingTime();

    uint8_t shownFlags_ = 0;
};

class TModeSet2Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TModeSet2Dlg(QWidget *parent = nullptr);

    void Show(uint8_t s6700Conf, bool storeInEeprom);
    // The byte "設定" writes: ISO15693(1/4) or (1/256), the two groups, bit 6, parity.
    uint8_t TakeS6700() const;
    bool storeInEeprom() const;

    void reject() override;

    ParamRadioGroup *RGTag1 = nullptr;
    ParamRadioGroup *RGModul = nullptr;
    ParamRadioGroup *RGAmFm = nullptr;
    QCheckBox *CBWriteEEPROM = nullptr;
    QPushButton *BtOK = nullptr;       // "設定"
    QPushButton *BtCancel = nullptr;
};

class TSetEAS1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TSetEAS1Dlg(QWidget *parent = nullptr);

    void Show(uint8_t onValue, uint8_t offValue);
    uint8_t TakeOnValue() const;
    uint8_t TakeOffValue() const;

    void reject() override;

    IntEdit *IntEdit1 = nullptr;   // "ＥＡＳ　有効"
    IntEdit *IntEdit2 = nullptr;   // "ＥＡＳ　無効"
    QPushButton *BtOK = nullptr;   // "設定"
    QPushButton *BtCancel = nullptr;
};

} // namespace kx9
