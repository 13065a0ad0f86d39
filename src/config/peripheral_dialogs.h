#pragma once
// The two small forms of the peripheral commands: TLEDContDlg "LED制御"
// (which LED, how, for how long) and TRYSelDlg "アンテナの選択" (one of the
// eight antennas behind the relay board).
#include <QDialog>

class QComboBox;
class QPushButton;

namespace kx9 {

class IntEdit;
class ParamRadioGroup;

class TLEDContDlg : public QDialog {
    Q_OBJECT
public:
    explicit TLEDContDlg(QWidget *parent = nullptr);
    void reject() override;

    // 0 green, 1 red.
    int led() const;
    // 0 on for the given time, 1 blink, 2 steady on/off.
    int controlMode() const;
    // The time box's value (units of 50 ms; 1 on / 0 off for the steady mode).
    int time() const;

    ParamRadioGroup *RadioGroup1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    IntEdit *EdTime = nullptr;
    QPushButton *OKBtn = nullptr, *CancelBtn = nullptr;
};

class TRYSelDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRYSelDlg(QWidget *parent = nullptr);
    void reject() override;

    // "アンテナ１" is 0.
    int antenna() const;
    void setAntenna(int index);

    ParamRadioGroup *RadioGroup1 = nullptr;
    QPushButton *OKBtn = nullptr, *CancelBtn = nullptr;
};

} // namespace kx9
