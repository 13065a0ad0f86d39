#pragma once
// The small "please wait" box shown while a connection comes up or a scan runs.
#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace kx9 {

class WaitBox : public QDialog {
    Q_OBJECT
public:
    explicit WaitBox(QWidget *parent = nullptr, const QString &label = QString(), bool withCancel = true);

    void setLabel(const QString &text);
    QString label() const;
    void setCancelVisible(bool visible);
    bool cancelled() const { return cancelled_; }

    // Shows the box modally until `done` holds or the operator cancels. `done`
    // is checked at once (a condition that already holds never shows the box),
    // whenever finish() is called and every 50 ms. Returns false on Cancel.
    bool waitFor(const std::function<bool()> &done);
    // Re-checks the condition now (connect a "something changed" signal here).
    void finish();

private:
    QLabel *label_ = nullptr;
    QPushButton *cancel_ = nullptr;
    std::function<bool()> done_;
    bool cancelled_ = false;
};

} // namespace kx9
