#pragma once
// The ping sweep: ICMP echo to each host number of one /24 network in turn,
// listing which addresses answer, so that readers on a LAN can be found.
#include <QDialog>
#include <array>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace kx9 {

class IntEdit;
struct EchoReport;

class TPingDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPingDlg(QWidget *parent = nullptr);

    // "Search": one echo request to each host from EdSTART to EdEnd.
    void Search();
    bool searching() const { return searching_; }
    // "キャンセル" (and the window's close button): a running sweep ends after
    // its current address.
    void reject() override;

private:
    void setPrefix(const std::array<int, 3> &network);
    void colourSearch(bool on);
    void appendLine(const QString &line);

    std::array<IntEdit *, 3> EdTCPIP1{};
    IntEdit *EdSTART = nullptr;
    IntEdit *EdEnd = nullptr;
    IntEdit *EdTime = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QCheckBox *CBDetail = nullptr;
    QPushButton *BtSearch = nullptr;
    bool stop_ = false;
    bool replied_ = false;
    int status_ = 0;
    bool searching_ = false;
};

// The "PINGの実行..." action.
void PingDialog(QWidget *parent);

} // namespace kx9
