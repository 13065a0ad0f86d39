#pragma once
// The two dialogs that edit the whole parameter record: the full dialog
// TAllSetRom1Dlg ("R/WのEEPROMの設定", both areas, settings files and the
// comparison with a file) and the reduced dialog TSetRom1Dlg ("ダイアログ",
// the area-1 words it reads). Every control carries the objectName the
// record's field tables use, so scripts and tests reach it by that name.
#include "config/param_block.h"
#include "config/settings_file.h"

#include <QDialog>
#include <QHash>
#include <QPair>
#include <functional>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kx9 {

struct AppOptions;
class IntEdit;
class ParamRadioGroup;

// What a dialog needs from the main window while it is open.
struct ParamDialogContext {
    AppOptions *options = nullptr;        // fVER121, fP15, SysMode, OkColor, NgColor (read when used)
    uint8_t *area2Byte0 = nullptr;        // the remembered area-2 byte 0
    // "&Check": reads the reader's record (and logs the outcome); true on success.
    std::function<bool(ReaderParamBlock &)> readReader;
    // Folder the file dialogs open in (the executable's folder when empty).
    QString startFolder;
};

class ParamDialogBase : public QDialog {
    Q_OBJECT
public:
    // Values of every named control: number boxes their number, radio groups
    // and lists their item index (-1 for none).
    ParamValues values() const;
    // Sets the controls named in `v`. A number outside a box's range widens
    // the box to hold it, so a value the dialog did not touch is written back
    // as it was read.
    void setValues(const ParamValues &v);
    QWidget *control(const QString &name) const { return controls_.value(name); }
    QStringList controlNames() const { return controls_.keys(); }

    void reject() override;   // Cancel, Escape and closing end with 2

    QTabWidget *PageControl1 = nullptr;
    QPushButton *BtDefault = nullptr;
    QPushButton *BtOK = nullptr;       // "書き込み(&O)"
    QPushButton *BtCancel = nullptr;   // "キャンセル(&C)"

protected:
    ParamDialogBase(const ParamDialogContext &ctx, QWidget *parent);

    QWidget *addPage(const QString &title);
    IntEdit *addNumber(QGridLayout *grid, int row, const QString &name, const QString &caption, int lo, int hi,
                       int radix = 10, const QString &hint = QString());
    ParamRadioGroup *addGroup(const QString &name, const QString &title, const QStringList &items, int columns = 0);
    QComboBox *addList(const QString &name, const QStringList &items);
    void addButtons(const QList<QPushButton *> &before);

    // Pages shared by both dialogs; the reduced one names memory switch 5 bit 6 otherwise.
    void buildCodesPage(bool reduced);
    void buildSwitch1Page();
    void buildSwitch2Page();
    void buildSwitch3Page();
    void buildPortsPage();
    void buildSwitch5Page(bool reduced);
    void buildSwitch6Page();

    ParamDialogContext ctx_;
    QHash<QString, QWidget *> controls_;
    QHash<QString, QPair<int, int>> ranges_;   // a number box's own range
};

class TAllSetRom1Dlg : public ParamDialogBase {
    Q_OBJECT
public:
    explicit TAllSetRom1Dlg(const ParamDialogContext &ctx, QWidget *parent = nullptr);

    // Sets every control of the area; refills the speed list first. Colours stay.
    void ShowParamArea1(const ParamArea1 &area);
    // Sets every control of area 2 and remembers its byte 0.
    void ShowParamArea2(const ParamArea2 &area);
    // The area as the controls hold it (byte 4 through the parity, byte 8
    // bits 0-1 from SysMode, byte 30's bits without a control as last shown).
    ParamArea1 TakeParamArea1() const;
    ParamArea2 TakeParamArea2() const;
    // The pages a reader that reads area 1 in halves has no use for.
    void hideAreaTwoPages();

    // Buttons.
    void BtDefaultClick();
    void BtLoadClick();
    void BtSaveClick();
    void BtCheck1Click();

    // The settings file last loaded (empty name, zero data when none).
    const ReaderParamBlock &fileData() const { return fileData_; }
    QString fileName() const { return fileName_; }
    // Paints the controls after a comparison.
    void showCheck(const SettingsCheck &check);

    QLineEdit *EdFName = nullptr;
    QPushButton *BtLoad = nullptr;
    QPushButton *BtSave = nullptr;
    QPushButton *BtCheck1 = nullptr;

private:
    QString chooseFile(bool save);
    void message(const QString &text);
    QComboBox *speedList() const;

    ParamArea1 shown1_ = DefaultParamArea1();   // the area last shown: byte 30's free bits come from it
    QString fileName_;
    ReaderParamBlock fileData_;
};

class TSetRom1Dlg : public ParamDialogBase {
    Q_OBJECT
public:
    explicit TSetRom1Dlg(const ParamDialogContext &ctx, QWidget *parent = nullptr);

    // The words read go to the fields the dialog has; they are also the base
    // that every byte and bit without a field is written back from.
    void ShowParamArea1(const ParamArea1 &asRead);
    ParamArea1 TakeParamArea1() const;
    // "デフォルト(&I)": the fields show the default area 1. Bits without a
    // field stay as read, and nothing is sent until "書き込み(&O)".
    void BtDefaultClick();

private:
    ParamArea1 read_{};
};

} // namespace kx9
