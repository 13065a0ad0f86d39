#pragma once
// TSetEEPROM2Dlg "Ｒ／ＷのEEPROM2の設定": the reader's second parameter area on
// six pages (antenna cascade, RF loop, memory switches 7 and 8, the other
// words, the inspection mode). Shown from the 20 bytes read and built back
// into 20 bytes; byte 0 has no control and is written back as read.
#include "config/param_dialogs.h"

namespace kx9 {

class TSetEEPROM2Dlg : public ParamDialogBase {
    Q_OBJECT
public:
    explicit TSetEEPROM2Dlg(const ParamDialogContext &ctx, QWidget *parent = nullptr);

    void ShowArea2(const ParamArea2 &asRead);
    ParamArea2 TakeArea2() const;

private:
    uint8_t byte0_ = 0;
};

} // namespace kx9
