#pragma once
// Connection setup on a serial link: the opening dialog at start-up, the
// reader scan over ports and bit rates, the connection panel's port and
// speed, the port and parameter dialogs, the reader speed change and the
// port check. Every probe is the ROM version query and its ACK wait.
#include <QDialog>
#include <QList>
#include <QObject>

#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;

namespace kx9 {

class TKX9AppForm;
struct ComPortEntry;

// Speed codes of the option file and the panel: 1 = 9600, 0 = 19200, 2 = 38400.
int SpeedCodeToBps(int code);
int BpsToSpeedCode(int bps);
int SpeedCodeToListIndex(int code);   // "9600bps", "19.2kbps", "38.4kbps"
int ListIndexToSpeedCode(int index);
// The reader's mode flags with the speed bits (7 and 6) set for `bps`.
uint8_t ModeFlagsForSpeed(uint8_t flags, int bps);

// "シリアルポートのオープン": the port list, the speed, Auto Check.
class TOpenCom1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TOpenCom1Dlg(QWidget *parent = nullptr);
    // The list and its preselection: the first entry containing "COM" + port,
    // else the first entry.
    void Show(const QList<ComPortEntry> &ports, int comPort, int speedCode);
    int selectedRow() const;
    int speedCode() const;
    bool autoCheck() const;

    QListWidget *LBComPort = nullptr;
    QLabel *STComPort = nullptr;
    QGroupBox *RGComSpeed = nullptr;
    QCheckBox *CBAutoCheck = nullptr;

private:
    QButtonGroup *speeds_ = nullptr;
};

// "COMポートの設定": COM1 to COM10.
class TPortSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPortSetDlg(QWidget *parent = nullptr);
    void Show(int port);
    int port() const;   // 0 when none is chosen

    QGroupBox *RGSetPort = nullptr;

private:
    QButtonGroup *ports_ = nullptr;
};

// Opens the desktop's hardware viewer if one is installed, else says where
// serial devices are found.
void ShowSerialDevices(QWidget *parent);

class SerialSetup : public QObject {
    Q_OBJECT
public:
    explicit SerialSetup(TKX9AppForm &window);

    // Start-up with UseUSB 0; false when the operator cancelled.
    bool OpenSerialAtStart();
    void ScanReaderPorts(const QList<ComPortEntry> &ports);
    void FillSerialPanel(int port, int speedCode);
    void ReconnectFromPanel();
    void ChangePort();
    void ChangeSerialParams();
    // The reader's own speed: mode flags stored, restart, reopen at `bps`.
    // True when the reader took the new speed (or its mode could not be read).
    bool ChangeReaderSpeed(int bps);
    void CheckPorts();

private:
    bool probe();
    QString probeResult();
    QList<ComPortEntry> ports() const;

    TKX9AppForm &w_;
};

} // namespace kx9
