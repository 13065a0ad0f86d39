#pragma once
// The progress dialog shown without blocking while a loop runs: the loop shows
// it, keeps working, and looks at running() on every pass; Cancel (or closing
// the box) clears the flag.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QFrame;

namespace kx9 {

class TGuage1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TGuage1Dlg(QWidget *parent = nullptr);

    // Modeless, in front of its parent; sets the running flag again.
    void showInFront();
    bool running() const { return running_; }

    void setLabel(const QString &text);
    QString label() const;
    void setPosition(int percent);
    int position() const;

    QLabel *Label1 = nullptr;
    QFrame *Panel2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *Button1 = nullptr;

signals:
    void cancelled();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void cancel();
    bool running_ = true;
};

} // namespace kx9
