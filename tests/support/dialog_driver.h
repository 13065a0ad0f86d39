#pragma once
// Drives modal dialogs the way an operator would: a queue of answers, each one
// waiting for the next modal dialog to open, filling its widgets by objectName
// and pressing one of its real buttons.
//
//   DialogDriver driver;
//   driver.expect("TSetTCPIPDlg").setIndex("RadioGroup1", 1).setValue("EdTCPPort", port).press("接続");
//   driver.expectMessage("がオープン出来ません").pressStandard(QDialogButtonBox::Ok);
//   window.startUp();                        // runs the dialogs modally
//   QVERIFY2(driver.ok(), qPrintable(driver.report()));
//
// The driver polls for the dialog in front (the modal one, else a dialog shown
// without blocking) with a QTimer, so it works inside any nested event loop
// (QDialog::exec, QMessageBox, the reply waits). A dialog that closes and is
// shown again is a new dialog to answer.
// It never hangs a test: a dialog that opens with no answer queued is closed
// (rejected) after a grace period, and an answer that no dialog takes within
// its timeout is dropped; both are recorded as failures.
#include <QDialogButtonBox>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QTimer;
class QWidget;

namespace kx9test {

class DialogDriver;

// One answer: the steps done on one dialog, in the order they were added.
class DialogAnswer {
public:
    // ---- filling widgets (found by objectName anywhere inside the dialog)
    // Line edit (typed over its whole text), plain/rich text edit, editable
    // combo box, spin box (text read as a number) or any widget with a "text"
    // property.
    DialogAnswer &setText(const QString &widget, const QString &text);
    // Combo box item or list widget row by index; on a group box the index-th
    // radio button inside it is clicked (a radio group).
    DialogAnswer &setIndex(const QString &widget, int index);
    // Combo box item or list widget row by its text.
    DialogAnswer &setItem(const QString &widget, const QString &text);
    // Check box, radio button or any checkable button, clicked if its state differs.
    DialogAnswer &setChecked(const QString &widget, bool checked = true);
    // Spin box, number box or any widget with a "value" property.
    DialogAnswer &setValue(const QString &widget, const QVariant &value);
    // Clicks (or double-clicks) a widget, or the toolbar button of an action,
    // with modifier keys held.
    DialogAnswer &click(const QString &widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool doubleClick = false);
    // Each control must show this value, as the script's control dump writes it.
    DialogAnswer &expectShown(const QString &widget, const QString &value);
    // Arbitrary step on the dialog (read fields into the test, click a grid row...).
    DialogAnswer &then(std::function<void(QWidget *dialog)> step);

    // ---- the final press (the answer ends with it)
    // Button by objectName or by caption (mnemonic '&' ignored).
    DialogAnswer &press(const QString &buttonNameOrCaption);
    // A standard button of a QMessageBox or of a QDialogButtonBox in the dialog.
    DialogAnswer &pressStandard(QDialogButtonBox::StandardButton button);
    // The dialog's OK (standard Ok, or a button captioned "OK"/"ＯＫ").
    DialogAnswer &pressOk();
    // The dialog's Cancel (standard Cancel, or "キャンセル"/"ｷｬﾝｾﾙ"/"Cancel").
    DialogAnswer &pressCancel();
    // A file dialog: the name filter (index or text, empty keeps it), then the path.
    DialogAnswer &chooseFile(const QString &path, const QString &filter = QString());

    // Also take a dialog that this driver already answered and that is still
    // open (a dialog that stays open after one of its buttons).
    DialogAnswer &again();
    // How long this answer may wait for its dialog (default: the driver's).
    DialogAnswer &within(int ms);

private:
    friend class DialogDriver;
    struct Step {
        QString description;
        std::function<QString(QWidget *dialog)> run;   // returns an error text or empty
        bool isPress = false;
    };
    QString match_;
    bool messageMatch_ = false;
    bool again_ = false;
    int timeoutMs_ = -1;
    QList<Step> steps_;
};

class DialogDriver : public QObject {
    Q_OBJECT
public:
    explicit DialogDriver(QObject *parent = nullptr);
    ~DialogDriver() override;

    // The next modal dialog; `match` (optional) must equal its class name or
    // its objectName, or the window title.
    DialogAnswer &expect(const QString &match = QString());
    // The next modal QMessageBox; `textContains` (optional) must be part of its text.
    DialogAnswer &expectMessage(const QString &textContains = QString());
    // Dialogs matching this (class name, objectName or title) are left alone
    // while they are open: boxes that close by themselves (wait boxes).
    void tolerate(const QString &match);

    void setPollInterval(int ms);
    void setAnswerTimeout(int ms) { answerTimeoutMs_ = ms; }
    // How long an unexpected dialog may stay open before it is closed as a failure.
    void setUnexpectedTimeout(int ms) { unexpectedTimeoutMs_ = ms; }

    int pendingAnswers() const { return int(queue_.size()); }
    // Processes events until every queued answer has been given (true) or ms pass.
    bool waitAllAnswered(int ms = 10000);

    bool ok() const { return failures_.isEmpty(); }
    QStringList failures() const { return failures_; }
    // Failures, and what is still queued, as one text for QVERIFY2.
    QString report() const;
    // Titles (or class names) of the dialogs answered, in order.
    QStringList answered() const { return answeredLog_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();
    void setLastAnswered(QWidget *dialog);
    void fail(const QString &text);
    bool matches(const DialogAnswer &answer, QWidget *dialog) const;
    void apply(std::shared_ptr<DialogAnswer> answer, QPointer<QWidget> dialog);

    QTimer *timer_ = nullptr;
    QList<std::shared_ptr<DialogAnswer>> queue_;
    qint64 headSince_ = 0;
    QStringList tolerated_;
    QPointer<QWidget> lastAnswered_;
    QPointer<QWidget> unexpected_;
    qint64 unexpectedSince_ = 0;
    bool applying_ = false;
    int answerTimeoutMs_ = 10000;
    int unexpectedTimeoutMs_ = 3000;
    QStringList failures_;
    QStringList answeredLog_;
};

// Describes a dialog for failure texts: class, objectName and title.
QString describeDialog(const QWidget *dialog);

} // namespace kx9test
