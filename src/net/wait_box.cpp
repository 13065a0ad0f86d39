#include "net/wait_box.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kx9 {

WaitBox::WaitBox(QWidget *parent, const QString &label, bool withCancel) : QDialog(parent)
{
    setObjectName(QStringLiteral("WaitBox"));
    setWindowTitle(QStringLiteral("しばらくお待ちください"));
    setModal(true);
    // Closes by itself when the wait is over; operator scripts leave it alone.
    setProperty("kx9SelfClosing", true);
    auto *lay = new QVBoxLayout(this);
    label_ = new QLabel(label, this);
    label_->setObjectName(QStringLiteral("LbMessage"));
    label_->setMinimumWidth(240);
    label_->setAlignment(Qt::AlignCenter);
    lay->addWidget(label_);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("BtCancel"));
    cancel_->setVisible(withCancel);
    // Never the default: a second Enter meant for the dialog before this box
    // must not cancel the wait (and, at start-up, end the tool).
    cancel_->setAutoDefault(false);
    cancel_->setDefault(false);
    lay->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        reject();
    });
}

void WaitBox::setLabel(const QString &text) { label_->setText(text); }
QString WaitBox::label() const { return label_->text(); }
void WaitBox::setCancelVisible(bool visible) { cancel_->setVisible(visible); }

void WaitBox::finish()
{
    if (isVisible() && done_ && done_())
        accept();
}

bool WaitBox::waitFor(const std::function<bool()> &done)
{
    cancelled_ = false;
    if (done())
        return true;
    done_ = done;
    QTimer poll;
    poll.setInterval(50);
    connect(&poll, &QTimer::timeout, this, &WaitBox::finish);
    poll.start();
    const int r = exec();
    poll.stop();
    done_ = nullptr;
    // Closing the box with the window button counts as Cancel.
    if (r != QDialog::Accepted)
        cancelled_ = true;
    return !cancelled_;
}

} // namespace kx9
