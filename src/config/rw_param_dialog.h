#pragma once
// TParamSet3Dlg "R/Wのパラメータ設定": the reader parameters an operator changes
// most, on one panel: the R/W ID, retry count, block size, AFI, the RDLOOP
// start block and length (area 2, readers with ROM 1.21 or later), the
// anticollision processing, a handful of memory-switch bits and the choice of
// a tag family. Filled from the words read and built back into them, every
// bit without a control left as read.
#include "config/mode_logic.h"
#include "config/param_block.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace kx9 {

class ClickPanel;
class IntEdit;
class ParamRadioGroup;

class TParamSet3Dlg : public QDialog {
    Q_OBJECT
public:
    // `rom121`: the reader has ROM 1.21 or later (area 2 and the anticollision bits).
    explicit TParamSet3Dlg(bool rom121, QWidget *parent = nullptr);

    bool rom121() const { return rom121_; }

    // Fills the controls in their order on the panel; the tag family choice
    // is evaluated after the block size, and the family tick starts unticked.
    void ShowParams(const ParamArea1 &area1, const ParamArea2 &area2);
    // Puts the controls back into the bytes read: disabled boxes are taken
    // too; area-2 bytes 6-7 and the two anticollision bits only with ROM 1.21.
    void TakeParams(ParamArea1 &area1, ParamArea2 &area2) const;

    // The family tick and the family it names.
    bool selectTag() const;
    TagFamily family() const;

    // Dialog handlers.
    void CBSelTag1Click();
    void RGTagSelClick();

    void reject() override;   // キャンセル and closing end with 2

    ClickPanel *Panel1 = nullptr;
    IntEdit *EdRWID = nullptr, *EdRetryNum = nullptr, *EdBlockSize = nullptr, *EdAFI = nullptr;
    IntEdit *EdRdStAddr = nullptr, *EdDataLen = nullptr;
    ParamRadioGroup *RGAntic = nullptr, *RGInvAFI = nullptr, *RGInvTrg = nullptr, *RGBuzType = nullptr;
    ParamRadioGroup *RGIOPORT3 = nullptr, *RGBRCmd = nullptr, *RGUseUID1 = nullptr, *RGTagSel = nullptr;
    QCheckBox *CBSelTag1 = nullptr;
    QPushButton *BtOK = nullptr, *BtCancel = nullptr;

signals:
    // A click on the panel while Ctrl is held (the settings export); the dialog stays open.
    void panelCtrlClicked();

private:
    bool rom121_;
};

} // namespace kx9
