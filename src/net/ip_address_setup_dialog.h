#pragma once
// The PC-side TCP/IP setup at start-up: pick the reader's address in terms of
// the PC's own networks; only the host part of the address can be edited.
#include "net/local_addresses.h"

#include <QDialog>
#include <QList>
#include <array>

class QButtonGroup;
class QTableWidget;
class QPushButton;

namespace kx9 {

class IntEdit;

class TSetIPAddr1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TSetIPAddr1Dlg(QWidget *parent = nullptr);

    // Fills the grid, preselects the network of `serverAddress` and the boxes.
    void showValues(const QList<LocalAddress> &addresses, int TCPPort, int fTCPServer, int TCPServPort,
                    const QString &TCPServAddr);
    void takeValues(int &TCPPort, int &fTCPServer, int &TCPServPort, QString &TCPServAddr) const;

    // Row of the selected entry (-1 when the list is empty).
    int selectedRow() const { return selected_; }
    // The last entry whose network (the mask bytes that are 255, of the first
    // three) contains `address`; -1 if none.
    static int MatchingEntry(const QList<LocalAddress> &addresses, const std::array<uint8_t, 4> &address);

private:
    void selectRow(int row, bool copyAddress);
    void showAddress(const std::array<uint8_t, 4> &address);
    void applyMode();

    QList<LocalAddress> addresses_;
    int selected_ = -1;
    bool filling_ = false;
    QTableWidget *StringGrid1 = nullptr;
    QButtonGroup *modes_ = nullptr;
    std::array<IntEdit *, 4> Ed_CIP{};
    IntEdit *Ed_CPortNum = nullptr;
    IntEdit *Ed_SPortNum = nullptr;
    QPushButton *BtNetwork = nullptr;
};

// Confirmed ("接続") or not; the four values change only on confirmation.
bool IpAddressSetupDialog(QWidget *parent, int &TCPPort, int &fTCPServer, int &TCPServPort, QString &TCPServAddr);

// Opens the desktop's network connection settings if one is installed,
// otherwise tells the operator where to look.
void OpenNetworkConnectionsPanel(QWidget *parent);

} // namespace kx9
