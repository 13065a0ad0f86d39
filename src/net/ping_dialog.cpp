#include "net/ping_dialog.h"

#include "link/tick_timer.h"
#include "net/icmp_echo.h"
#include "net/lan_presets.h"
#include "net/net_widgets.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kx9 {

namespace {
const QString kCaption = QStringLiteral("Pingの実行");
constexpr uint32_t kReportWaitMs = 2000;
} // namespace

TPingDlg::TPingDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TPingDlg"));
    setWindowTitle(kCaption);
    auto *lay = new QVBoxLayout(this);
    auto *grid = new QGridLayout;

    auto *prefix = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        EdTCPIP1[i] = NumberBox(this, QStringLiteral("EdTCPIP1_%1").arg(i + 1), 255, 44);
        prefix->addWidget(EdTCPIP1[i]);
        prefix->addWidget(new QLabel(QStringLiteral("."), this));
    }
    EdSTART = NumberBox(this, QStringLiteral("EdSTART"), 255, 44);
    EdSTART->setRange(1, 255);
    EdSTART->setValue(1);
    prefix->addWidget(EdSTART);
    prefix->addWidget(new QLabel(QStringLiteral("～"), this));
    EdEnd = NumberBox(this, QStringLiteral("EdEnd"), 255, 44);
    EdEnd->setRange(1, 255);
    EdEnd->setValue(255);
    prefix->addWidget(EdEnd);
    prefix->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("IP Address"), this), 0, 0);
    grid->addLayout(prefix, 0, 1);

    EdTime = NumberBox(this, QStringLiteral("EdTime"), 1000000, 80);
    EdTime->setValue(200);
    auto *time = new QHBoxLayout;
    time->addWidget(EdTime);
    time->addWidget(new QLabel(QStringLiteral("ms"), this));
    time->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("Wait Time"), this), 1, 0);
    grid->addLayout(time, 1, 1);
    lay->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    BtSearch = new QPushButton(QStringLiteral("Search"), this);
    BtSearch->setObjectName(QStringLiteral("BtSearch"));
    BtSearch->setDefault(true);
    auto *d1 = new QPushButton(QStringLiteral("Default1(Board)"), this);
    d1->setObjectName(QStringLiteral("BtDefault1"));
    d1->setAutoDefault(false);
    auto *d2 = new QPushButton(QStringLiteral("Default2(Reset)"), this);
    d2->setObjectName(QStringLiteral("BtDefault2"));
    d2->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    cancel->setAutoDefault(false);
    buttons->addWidget(BtSearch);
    buttons->addWidget(d1);
    buttons->addWidget(d2);
    buttons->addStretch();
    buttons->addWidget(cancel);
    lay->addLayout(buttons);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setMinimumSize(320, 200);
    lay->addWidget(Memo1);

    CBDetail = new QCheckBox(QStringLiteral("詳細メッセージ"), this);
    CBDetail->setObjectName(QStringLiteral("CBDetail"));
    CBDetail->setVisible(false);
    lay->addWidget(CBDetail);

    connect(BtSearch, &QPushButton::clicked, this, &TPingDlg::Search);
    connect(d1, &QPushButton::clicked, this, [this] { setPrefix(kBoardNetwork); });
    connect(d2, &QPushButton::clicked, this, [this] { setPrefix(kBoardResetNetwork); });
    connect(cancel, &QPushButton::clicked, this, &TPingDlg::reject);
    setPrefix(kBoardNetwork);
}

void TPingDlg::setPrefix(const std::array<int, 3> &network)
{
    for (int i = 0; i < 3; ++i)
        EdTCPIP1[i]->setValue(network[i]);
}

void TPingDlg::colourSearch(bool on)
{
    // Searching: the host box and the list turn yellow; afterwards both take
    // the system's button face.
    for (QWidget *w : {static_cast<QWidget *>(EdSTART), static_cast<QWidget *>(Memo1)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, on ? QColor(Qt::yellow) : palette().color(QPalette::Button));
        w->setPalette(p);
    }
}

void TPingDlg::appendLine(const QString &line) { Memo1->appendPlainText(line); }

void TPingDlg::reject()
{
    stop_ = true;
    QDialog::reject();
}

void TPingDlg::Search()
{
    if (searching_)
        return;
    const int first = EdSTART->value();
    const int last = EdEnd->value();
    setWindowTitle(QStringLiteral("検索中..."));
    colourSearch(true);
    const QString prefix = QStringLiteral("%1.%2.%3.").arg(EdTCPIP1[0]->value()).arg(EdTCPIP1[1]->value()).arg(EdTCPIP1[2]->value());
    uint8_t host[4] = {uint8_t(EdTCPIP1[0]->value()), uint8_t(EdTCPIP1[1]->value()), uint8_t(EdTCPIP1[2]->value()), 0};
    stop_ = false;
    const int timeout = EdTime->value();

    QPointer<TPingDlg> self(this);
    std::unique_ptr<IcmpEcho> icmp;
    if (first <= last) {
        QString why;
        icmp = OpenIcmpEcho(&why);
        // Without a way to send, every host would read "No Find": say why instead.
        if (!icmp)
            QMessageBox::warning(this, kCaption, why);
    }
    searching_ = true;
    for (int i = first; icmp && self && i <= last; ++i) {
        replied_ = false;
        EdSTART->setValue(i);
        host[3] = uint8_t(i);
        const QString address = prefix + QString::number(i);
        icmp->echo(host, timeout, [this, self](const EchoReport &r) {
            if (!self)
                return;
            status_ = int(r.status);
            replied_ = true;
        });
        QCoreApplication::processEvents();
        if (!self)
            return;
        const uint32_t start = TickTimer::instance().Now();
        while (self && !replied_ && uint32_t(TickTimer::instance().Now() - start) < kReportWaitMs) {
            QEventLoop idle;
            QTimer::singleShot(10, &idle, &QEventLoop::quit);
            idle.exec();
            QCoreApplication::processEvents();
        }
        if (!self)
            return;
        if (!replied_)
            appendLine(QStringLiteral("レスポンス待ち　タイムオーバー"));
        else if (status_ == int(EchoReport::Status::EchoReply))
            appendLine(QStringLiteral("  Find") + QStringLiteral(" : ") + address);
        else
            appendLine(QStringLiteral("  No Find") + QStringLiteral(" : ") + address);
        if (stop_)
            break;
    }
    if (!self)
        return;
    searching_ = false;
    setWindowTitle(QStringLiteral("Pingの実行..."));
    colourSearch(false);
}

void PingDialog(QWidget *parent)
{
    TPingDlg dlg(parent);
    dlg.exec();
}

} // namespace kx9
