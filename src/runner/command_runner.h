#pragma once
// The command runner "コマンドの実行": request flags composed bit by bit, one
// of twelve ISO 15693 commands run once or continuously until Cancel, every
// outcome counted and logged as "command OK" / "command NG" in the runner's
// own log, which also receives the communication module's log while the
// runner is open.
#include "runner/guage_dialog.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace kx9 {

class ActionHost;
class LogMemo;
class LogTarget;
class ChoiceGroup;
class TGuage1Dlg;
class TTComXDlg;

class TCoomandDlg1 : public QDialog {
    Q_OBJECT
public:
    // The twelve commands, in list order.
    static const QStringList &CommandNames();

    explicit TCoomandDlg1(ActionHost &host, QWidget *parent = nullptr);
    ~TCoomandDlg1() override;

    // ---- runner memory (starts anew with every dialog)
    uint8_t RunnerFlags = 0;
    uint8_t RunnerFirstBlock = 0;
    uint8_t RunnerBlockCount = 0;
    uint8_t RunnerBlockNo = 0;
    uint8_t RunnerAfiDsfid = 0;
    QString RunnerDataText = QStringLiteral("TEST");

    // RunnerFlags from the controls: bits 0-1 the UID combo, bits 2-7 the radio groups.
    uint8_t composeFlags() const;
    void showFlags(uint8_t flags);

    // The runner's own log line (cleared first at 1000 lines).
    void RunnerLog(const QString &text);
    LogMemo *log() const { return Memo1; }

    // Outcomes of the current (or last) run.
    int okCount() const { return ok_; }
    int ngCount() const { return ng_; }
    bool isRunning() const { return running_; }
    // The progress box of a continuous run (null outside one).
    TGuage1Dlg *progress() const { return guage_; }

    void OKBtnClick();
    void done(int r) override;

    QComboBox *CBUidFlag = nullptr;
    ChoiceGroup *RGSelect = nullptr, *RGAddress = nullptr, *RGOption = nullptr, *RGAFI = nullptr,
               *RGNBSlots = nullptr, *RBDummy1 = nullptr;
    QComboBox *CBCommand = nullptr;
    QCheckBox *CBfLoop = nullptr;
    LogMemo *Memo1 = nullptr;
    QLabel *STCount = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

signals:
    // After each "command OK" / "command NG" line.
    void outcomeLogged(bool ok);

protected:
    void showEvent(QShowEvent *event) override;

private:
    using Sender = std::function<bool(TTComXDlg &)>;
    void runCommand(int index, bool continuous);
    // Asks the command's parameters (true when there is something to send).
    bool prepare(int index, Sender &send);
    void runOnce(const Sender &send, bool stayQuiet);
    void runContinuously(const Sender &send, bool stayQuiet);
    bool passOnce(const Sender &send, bool stayQuiet);
    void countOutcome(bool ok);
    void pause(int ms);
    bool hostGone() const;
    TTComXDlg *comm() const;
    void redirectLog();
    void restoreLog();

    ActionHost &host_;
    QPointer<QWidget> window_;
    QPointer<TTComXDlg> redirected_;
    LogTarget *previousTarget_ = nullptr;
    QPointer<TGuage1Dlg> guage_;
    bool running_ = false;
    int closeRequest_ = -1;   // a close asked for during a run
    int ok_ = 0;
    int ng_ = 0;
};

} // namespace kx9
