#pragma once
// TSetAnt1Rom1Dlg "ダイアログ": the antenna switching and I/O port words of
// the reader's parameter record on two pages ("Ｉ／Ｏポートの設定" and
// "メモリースイッチ"), in three uses that differ in the words they read and
// write, the page they show and the controls they hide or disable.
#include "config/param_block.h"

#include <QDialog>
#include <QVector>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace kx9 {

class IntEdit;
class ParamRadioGroup;

enum class AntennaUse {
    KX9P80C,       // "KX9-P80C...": words 4 and 20, memory switches only
    SwitchBoard,   // "切替基板使用...": words 16, 17 and 20, both pages
    IoPorts,       // "I/Oポートの設定...": words 16 and 17, the port page only
};

// Area-1 words the use reads and writes, in that order.
QVector<int> AntennaUseWords(AntennaUse use);

class TSetAnt1Rom1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TSetAnt1Rom1Dlg(AntennaUse use, QWidget *parent = nullptr);

    AntennaUse use() const { return use_; }

    // Fills the controls of the words the use has read, hidden and disabled
    // ones included, so their bits go back unchanged.
    void ShowWords(const ParamArea1 &asRead);
    // The words of the use rebuilt from the controls; every bit without a
    // control (byte 6 bits 2-7, byte 30 bits 3, 4, 5, 7, bytes 7 and 38) as read.
    void TakeWords(ParamArea1 &area) const;

    void reject() override;   // キャンセル(&C) and closing end with 2

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabPorts = nullptr;      // "Ｉ／Ｏポートの設定"
    QWidget *TabSwitches = nullptr;   // "メモリースイッチ"
    QComboBox *CBMode2 = nullptr;
    QLabel *Label43 = nullptr;
    ParamRadioGroup *RGPORTIO[8] = {};
    ParamRadioGroup *RGPORTDefault[8] = {};
    ParamRadioGroup *RGPORTSEL1 = nullptr, *RGPORTSEL2 = nullptr, *RGPORTSEL3 = nullptr, *RGPORTSEL7 = nullptr;
    ParamRadioGroup *RGMemSW60 = nullptr, *RGMemSW64 = nullptr, *RGMemSW65 = nullptr, *RGMemSW66 = nullptr,
                    *RGMemSW67 = nullptr;
    IntEdit *EdSelAntena = nullptr;
    QLabel *LbMemSW60 = nullptr, *LbSelAntena = nullptr, *LbMemSW64 = nullptr, *LbMemSW65 = nullptr,
           *LbMemSW66 = nullptr, *LbMemSW67 = nullptr;
    QPushButton *BtSetCascade = nullptr;
    QPushButton *BtOK = nullptr, *BtCancel = nullptr;

signals:
    // "カスケード接続の設定...": the cascade editor runs while this dialog stays open.
    void cascadeRequested();

private:
    void RGMemSW65Click();

    AntennaUse use_;
};

} // namespace kx9
