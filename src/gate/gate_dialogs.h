#pragma once
// The dialogs of the gate commands: operating mode, memory switches, display
// and output state, sensor states, raw EEPROM access, melody and lamp control.
// Each maps bytes to its controls (`Show...`) and back (`Take...`, given the
// bytes read, whose bits without a control are kept).
#include "gate/gate_widgets.h"
#include "ui/input_dialogs.h"

#include <QByteArray>
#include <QList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kx9 {

class IntEdit;

namespace gate {

// OK and Cancel of the gate dialogs with their own captions; exec() gives 1 and 2.
class GateDialog : public InputDialogBase {
    Q_OBJECT
public:
    GateDialog(const char *name, const QString &caption, const QString &okText, const QString &cancelText,
               QWidget *parent);

protected:
    QWidget *buttons() { return buttonRow(); }
};

class TGDousaModeDlg : public GateDialog {
    Q_OBJECT
public:
    explicit TGDousaModeDlg(QWidget *parent = nullptr);
    void ShowMode(uint8_t mode);
    uint8_t TakeMode(uint8_t read) const;    // bit 7 and unselected groups as read

    RadioGroup *RG_bit01, *RG_bit2, *RG_bit3, *RG_bit4, *RG_bit5, *RG_bit6;

private:
    BitControls bits_;
};

// Memory switches 1 to 7; word i of the lists is memory switch i + 1.
class TGEEPROMDlg : public GateDialog {
    Q_OBJECT
public:
    static constexpr int kWords = 7;
    explicit TGEEPROMDlg(bool w30, QWidget *parent = nullptr);
    void ShowWords(const QList<uint16_t> &words);
    QList<uint16_t> TakeWords(const QList<uint16_t> &read) const;
    QTabWidget *PageControl1 = nullptr;
    // The three voice lists, filled again every time the dialog is made.
    QComboBox *EEP3_Lbit4567 = nullptr, *EEP3_Hbit0123 = nullptr, *EEP3_Hbit4567 = nullptr;

private:
    BitControls bits_;
};

// The voice lists of the memory switches: A for in and out, B for errors.
QStringList VoiceListA(bool w30);
QStringList VoiceListB(bool w30);

class TGDispOutStateDlg : public GateDialog {
    Q_OBJECT
public:
    explicit TGDispOutStateDlg(bool w30, QWidget *parent = nullptr);
    // Two bytes (W20) or three (W30).
    void ShowState(const QByteArray &state);
    QByteArray TakeState(const QByteArray &read) const;
    QTabWidget *PageControl1 = nullptr;
    RadioGroup *DOS1_bit7 = nullptr;

private:
    bool w30_;
    BitControls bits_;
};

class TSensorStateDlg : public GateDialog {
    Q_OBJECT
public:
    explicit TSensorStateDlg(bool w30, QWidget *parent = nullptr);
    void ShowSensors(const QByteArray &sw2, uint8_t io, uint8_t person);
    QTabWidget *PageControl1 = nullptr;
    QLabel *ST_DIPSW = nullptr;

private:
    BitControls bits_;
};

// Raw EEPROM words: the dialog runs its button's command itself.
class TEEPROM_RWDlg : public GateDialog {
    Q_OBJECT
public:
    TEEPROM_RWDlg(bool write, QWidget *parent);
    IntEdit *IntEd1 = nullptr;       // StartBlockNo
    IntEdit *IntEd2 = nullptr;       // word count
    QLineEdit *EdString = nullptr;
    QPushButton *actionButton = nullptr;
};

class TEEPROM_ReadDlg : public TEEPROM_RWDlg {
    Q_OBJECT
public:
    // `read` gets start and count and returns the bytes, false on failure.
    using Reader = std::function<bool(uint8_t start, uint8_t count, QByteArray &bytes)>;
    TEEPROM_ReadDlg(Reader read, QWidget *parent = nullptr);
    void Bt_EEPROM_ReadClick();

private:
    Reader read_;
};

class TEEPROM_WriteDlg : public TEEPROM_RWDlg {
    Q_OBJECT
public:
    using Writer = std::function<bool(uint8_t start, uint8_t count, const QByteArray &bytes)>;
    TEEPROM_WriteDlg(Writer write, QWidget *parent = nullptr);
    void Bt_EEPROM_WriteClick();
    // The count words all set to the text's hexadecimal value (0 when it is
    // not one; only its low 16 bits), L then H.
    static QByteArray WriteBytes(const QString &text, int count);

private:
    Writer write_;
};

class TGBuzLedDlg : public GateDialog {
    Q_OBJECT
public:
    explicit TGBuzLedDlg(QWidget *parent = nullptr);
    // The 7 data bytes of the melody and lamp command.
    QByteArray TakeCommand() const;
    QComboBox *CB_CmdMode = nullptr, *CBLanpMode = nullptr;
    QCheckBox *CBOnryou = nullptr, *CBUseTime = nullptr;
    IntEdit *EdOto = nullptr, *EdOnryou = nullptr, *EdTime = nullptr;
};

} // namespace gate
} // namespace kx9
