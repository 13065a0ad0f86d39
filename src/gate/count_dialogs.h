#pragma once
// The people-counter dialogs: the live count dialogs of the W20 and the W30
// (polling, pushed reports, the count log, a chart of the counts over the
// time the dialog is open), the counter value editor and the counting-mode
// memory switches.
#include "gate/gate_bits.h"
#include "gate/gate_dialogs.h"

#include <QElapsedTimer>
#include <QList>
#include <functional>

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace kx9 {

class IntEdit;

namespace gate {

// TGateCountDlg (W20) and TGateCount2Dlg (W30) share this.
class GateCountDialog : public GateDialog {
    Q_OBJECT
public:
    // One poll: fills the values and returns true, or false for a failed poll.
    using Poller = std::function<bool(CountValues &values)>;

    Model model() const { return model_; }
    // Creates the log file with its header when it is missing; says so in a
    // message box when it cannot. The dialog is usable either way.
    bool CreateLogIfMissing();
    const CountLog &log() const { return log_; }

    // A count report (type 10 or 11) for this gate: `count` as the receiver
    // handed it over, `bytes` the count bytes. Too short a report is ignored.
    // A W30 report that holds fewer than three whole records updates the
    // records it holds whole; the others keep their values. True when shown.
    bool ShowReport(int count, const QByteArray &bytes);
    // One polling tick, as the timer runs it.
    void PollTick();
    void OKBtnClick();                // "保存(&S)"

    const CountValues &values() const { return values_; }
    bool pollBusy() const { return busy_; }
    QTimer *pollTimer() const { return timer_; }
    bool manualMode() const;
    QChart *chart() const { return chart_; }
    // The chart's series, in the order of the log's value columns.
    const QList<QLineSeries *> &series() const { return series_; }

    IntEdit *IntEdit1 = nullptr;
    RadioGroup *RadioGroup1 = nullptr;

protected:
    GateCountDialog(Model model, const char *name, const QString &caption, const QString &logPath, Poller poll,
                    QWidget *parent);

private:
    void setValues(const CountValues &v);
    void applyTimer();
    void addChartPoint();

    Model model_;
    CountLog log_;
    Poller poll_;
    CountValues values_;
    bool busy_ = false;
    QTimer *timer_ = nullptr;
    QList<QLabel *> fields_;          // in log order
    QChartView *chartView_ = nullptr;
    QChart *chart_ = nullptr;
    QValueAxis *axisX_ = nullptr, *axisY_ = nullptr;
    QList<QLineSeries *> series_;
    QElapsedTimer since_;
    double maxY_ = 0;
};

class TGateCountDlg : public GateCountDialog {
    Q_OBJECT
public:
    TGateCountDlg(const QString &logPath, Poller poll, QWidget *parent = nullptr);
};

class TGateCount2Dlg : public GateCountDialog {
    Q_OBJECT
public:
    TGateCount2Dlg(const QString &logPath, Poller poll, QWidget *parent = nullptr);
};

// Counter values of either gate; only the page of `model` is shown.
class TMCountValue : public GateDialog {
    Q_OBJECT
public:
    explicit TMCountValue(Model model, QWidget *parent = nullptr);
    void ShowValues(const CountValues &v);
    CountValues TakeValues() const;
    QTabWidget *PageControl1 = nullptr;

private:
    Model model_;
    QList<CountEdit *> people_;      // sensors 1..6 (W20: the first two)
    QList<IntEdit *> alarms_;
    QList<CountEdit *> w20People_;
    QList<IntEdit *> w20Alarms_;
};

// The three counting-mode words.
class TMCountSetDlg : public GateDialog {
    Q_OBJECT
public:
    explicit TMCountSetDlg(bool w30, QWidget *parent = nullptr);
    void ShowWords(const QList<uint16_t> &words);
    QList<uint16_t> TakeWords(const QList<uint16_t> &read) const;
    QTabWidget *PageControl1 = nullptr;

private:
    BitControls bits_;
};

} // namespace gate
} // namespace kx9
