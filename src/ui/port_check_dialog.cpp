#include "ui/port_check_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx9 {

TPortCheck1::TPortCheck1(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TPortCheck1"));
    setWindowTitle(QStringLiteral("ポートのチェック"));
    auto *layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("ポートが開けません！！"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);
    LbReason = new QLabel(this);
    LbReason->setObjectName(QStringLiteral("LbReason"));
    LbReason->setWordWrap(true);
    LbReason->hide();
    layout->addWidget(LbReason);

    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const QString &caption, UsbPortCheckChoice choice) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, choice] {
            choice_ = choice;
            // Accepted for a way on, rejected for the end of the tool.
            if (choice == UsbPortCheckChoice::Cancel)
                reject();
            else
                accept();
        });
        buttons->addWidget(b);
        return b;
    };
    BtRetry = button("BtRetry", QStringLiteral("再試行"), UsbPortCheckChoice::Retry);
    BtComPort = button("BtComPort", QStringLiteral("ＣＯＭポート"), UsbPortCheckChoice::ComPort);
    BtCancel = button("BtCancel", QStringLiteral("キャンセル"), UsbPortCheckChoice::Cancel);
    // Enter retries; Escape and the window's close box end the tool, as キャンセル does.
    BtRetry->setDefault(true);
    layout->addLayout(buttons);
}

void TPortCheck1::Show(const QString &reason)
{
    choice_ = UsbPortCheckChoice::Cancel;
    LbReason->setText(reason);
    LbReason->setVisible(!reason.isEmpty());
    adjustSize();
}

UsbPortCheckChoice RunPortCheck(QWidget *parent, const QString &reason)
{
    TPortCheck1 dlg(parent);
    dlg.Show(reason);
    dlg.exec();
    return dlg.choice();
}

void SetUpUsbLink(CommModule &module, QWidget *parent, std::function<void(const QString &)> appLog)
{
    module.SetAppLog(std::move(appLog));
    QPointer<QWidget> owner(parent);
    module.SetUsbPortCheck([owner](const QString &reason) { return RunPortCheck(owner, reason); });
}

} // namespace kx9
