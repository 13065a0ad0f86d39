#pragma once
// The tag memory viewer "タグのデータ": identifies the one tag in the field by
// its maker byte, reads its whole memory with the plan that suits the chip
// and shows it block by block with the security status. Beyond reading, the
// dump can be saved (CSV or a plain hex dump), and read a second time and
// compared, so the operator can trust it before using it.
#include "runner/tag_data.h"

#include "runner/guage_dialog.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kx9 {

class ActionHost;
class TGuage1Dlg;
class TTComXDlg;

class TDispTagDataDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char *kSection = "DispTagData";
    static constexpr const char *kDispDirKey = "dispdir";

    explicit TDispTagDataDlg(ActionHost &host, QWidget *parent = nullptr);
    ~TDispTagDataDlg() override;

    // ---- viewer state
    QByteArray ViewUid = QByteArray(8, '\0');
    uint8_t ViewDsfid = 0;
    uint8_t ViewAfi = 0;
    int ViewBlockCount = 0;
    int ViewBlockSize = 0;
    uint8_t ViewMaker = 0;
    uint8_t ViewChipCode = 0;
    int DispDir = 1;            // non-zero: last byte first

    // The dump shown (and, after a comparison, the first of the two reads).
    const TagDump &dump() const { return dump_; }
    const TagDump &firstRead() const { return first_; }
    QList<int> differences() const { return diff_; }
    bool isReading() const { return reading_; }
    TGuage1Dlg *progress() const { return guage_; }

    // Reads the tag again and marks the rows that differ from the read before.
    void BtCompareClick();
    // Asks for a file and writes the dump (CSV or hex dump by the chosen filter).
    void BtSaveClick();
    // Writes the dump to `path`: hex dump when `hexDump`, else CSV. False (and
    // a message box) when it cannot be written.
    bool SaveDump(const QString &path, bool hexDump);

    void done(int r) override;

    QLineEdit *EdDSFID = nullptr, *EdAFI = nullptr, *EdUID = nullptr, *EdBlockNum = nullptr,
              *EdBlockSize = nullptr, *EdManufacturer = nullptr;
    QTableWidget *StringGrid1 = nullptr;
    QLabel *LbCompare = nullptr;
    QPushButton *BtSave = nullptr, *BtCompare = nullptr, *OKBtn = nullptr, *CancelBtn = nullptr;

signals:
    // A read (the first or the comparison) has ended, whatever its outcome.
    void readFinished();

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class Step { Ok, Failed, Stop };
    using Sender = std::function<bool(TTComXDlg &)>;

    void readTag();
    // The whole read (identification, geometry, plan) into dump_.
    void readInto();
    Step identify();
    Step geometry(TagPlanChoice &choice);
    Step runPlan(const TagPlanChoice &choice);
    Step singleBlocks(bool withSecurity, bool progress, int firstBlock, int lastBlock);
    Step readBlock(int block, bool withSecurity);
    Step tiBlocks();
    Step chunks();
    // Sends, waits, and says whether to go on: Stop when the read was
    // cancelled, the viewer asked to close or the main window has gone.
    Step ask(const Sender &send);
    bool stopRequested() const;
    bool hostGone() const;
    TTComXDlg *comm() const;

    void resetGrid(int rows);
    void showHeader();
    void showRow(int block);
    void showGeometry();
    void markDifferences();
    void saveDispDir();

    ActionHost &host_;
    QPointer<QWidget> window_;
    QString iniPath_;
    QPointer<TGuage1Dlg> guage_;
    TagDump dump_;
    TagDump first_;
    QList<int> diff_;
    bool started_ = false;
    bool reading_ = false;
    bool abort_ = false;
    int closeRequest_ = -1;
};

} // namespace kx9
