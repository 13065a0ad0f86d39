#pragma once
// The LAN connection dialog: the tool's TCP role, the port it listens on and
// the reader address and port it connects to.
#include <QDialog>
#include <QString>
#include <array>

class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace kx9 {

class ActionHost;
class IntEdit;
struct AppOptions;
struct TcpLinkValues;

class TSetTCPIPDlg : public QDialog {
    Q_OBJECT
public:
    struct Values {
        int serverMode = 1;        // 0 client, 1 server
        int listenPort = 3335;
        int remotePort = 10777;
        QString remoteAddress;
    };

    explicit TSetTCPIPDlg(QWidget *parent = nullptr);

    void showValues(const Values &values);
    Values takeValues() const;
    // Check mode: the role is fixed to client.
    void setCheckMode(bool on);
    // "設定" normally, "接続" at start-up.
    void setConfirmCaption(const QString &caption);

    // The four address boxes joined with ".".
    QString addressText() const;
    // The text up to the first three dots goes into the first three boxes, the rest into the fourth.
    void setAddressText(const QString &text);

private:
    void applyRole();

    QGroupBox *RadioGroup1 = nullptr;
    QButtonGroup *roles_ = nullptr;
    IntEdit *EdTCPPort = nullptr;
    std::array<IntEdit *, 4> EdTCPIP1{};
    IntEdit *EdTCPServPort = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
};

// At start-up (no communication module yet): filled from and stored back into
// the options; true when the operator pressed "接続".
bool LanConnectionDialogAtStart(QWidget *parent, AppOptions &options);

// The same dialog from the menu (normal mode) or before a LAN module
// operation (check mode: the tool's role fixed to client), filled from the
// communication module. On "設定" the module takes the values and reconnects;
// true once the connection is up (`confirmed` then holds the values). Cancel
// in the connection wait closes the main window and so ends the tool.
bool LanConnectionDialog(ActionHost &host, bool checkMode, TcpLinkValues *confirmed = nullptr);

// The wait box "TCP/IP 接続中..." (the status bar says so too) until the
// module's TCP/IP connection is up: true, or false when the operator cancels.
bool WaitForLanConnection(ActionHost &host);

} // namespace kx9
