#pragma once
// The dialogs of the reader loop commands, the raw command sender and the tag
// test parameters. Controls are public: the actions fill them from their
// memory and read them back after OK (kModalOk).
#include "ui/input_dialogs.h"

#include <QList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace kx9 {

class IntEdit;
class ChoiceGroup;

// "Read Loop コマンド": block read loop 0xF2.
class TRFLoopDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TRFLoopDlg(QWidget *parent = nullptr);
    IntEdit *EdBlockNum = nullptr, *EdLen = nullptr, *EdAFI = nullptr;
    QLabel *LbAFI = nullptr;
    QCheckBox *CBUseAFI = nullptr;
    QList<ChoiceGroup *> RGMemSW;   // RGMemSW0 .. RGMemSW7: bits 0-7 of the loop mode
};

// "Inventory16Slotsコマンド": 16-slot inventory loop 0xF1.
class TInv16SDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TInv16SDlg(QWidget *parent = nullptr);
    IntEdit *EdAFI = nullptr;
    QCheckBox *CBUseAFI = nullptr;
    QList<ChoiceGroup *> RGMemSW;
    QWidget *MaskPanel = nullptr;  // mask length and bytes (the action hides them)
    IntEdit *EdMasklen = nullptr;
    QList<IntEdit *> IntEdit1to8;  // IntEdit1 .. IntEdit8, upper byte first
};

// "RDLoopPolコマンド": polled block read loop 0xF4.
class TRDLoopPol1Dlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TRDLoopPol1Dlg(QWidget *parent = nullptr);
    IntEdit *EdBlockNum = nullptr, *EdLen = nullptr, *EdAFI = nullptr, *EdTime = nullptr;
    QCheckBox *CBUseAFI = nullptr;
    QList<ChoiceGroup *> RGMemSW;   // the parameter byte
};

// "コマンド発行": a frame typed in hexadecimal.
class TCmdOutpDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TCmdOutpDlg(QWidget *parent = nullptr);
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
};

// "検査パラメータの設定": the reader's tag test parameters.
class TKensaParaDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TKensaParaDlg(QWidget *parent = nullptr);
    IntEdit *EdAFIValue = nullptr, *EdOUTPTime = nullptr, *EdInputChkTime = nullptr, *EdRdStAddr = nullptr,
            *EdDataLen = nullptr;
    ChoiceGroup *RGCheckMode = nullptr, *RGWriteData = nullptr;
};

// The read-loop page of the second-EEPROM dialog, on its own: start block and
// length of the RDLoop mode (second-EEPROM word 4).
class TRDLoopParamDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TRDLoopParamDlg(QWidget *parent = nullptr);
    QTabWidget *PageControl1 = nullptr;
    IntEdit *EdRdStAddr = nullptr, *EdDataLen = nullptr;
};

} // namespace kx9
