#pragma once
// The password dialog of the TI Light items: the four password bytes, and for
// the protected block write also the block number and the four data bytes.
// The actions hide the rows they do not need. In both four-byte rows byte 0
// is the right-hand field.
#include "ui/input_dialogs.h"

#include <QByteArray>

class QLabel;

namespace kx9 {

class IntEdit;

class TWritePwdDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TWritePwdDlg(QWidget *parent = nullptr);

    // Password row.
    QLabel *LbPassword = nullptr;
    IntEdit *EdData3 = nullptr, *EdData2 = nullptr, *EdData1 = nullptr, *EdData0 = nullptr;
    // Block row.
    QLabel *STTitle1 = nullptr;
    IntEdit *IntEd1 = nullptr;
    // Data row.
    QLabel *STTitle3 = nullptr;
    IntEdit *EdWrdata3 = nullptr, *EdWrdata2 = nullptr, *EdWrdata1 = nullptr, *EdWrdata0 = nullptr;
    QLabel *Label1 = nullptr, *Label5 = nullptr;

    // Password fields from / to four bytes, byte 0 first.
    void setPassword(const uint8_t (&bytes)[4]);
    QByteArray password() const;
    // Data fields to four bytes, byte 0 (EdWrdata0) first.
    void setData(const QByteArray &bytes4);
    QByteArray data() const;
    // The block row and the data row out of sight (the kill command needs only the password).
    void hideBlockAndDataRows();
};

} // namespace kx9
