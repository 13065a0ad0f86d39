#include "net/network_board_dialog.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "net/lan_connection_dialog.h"
#include "net/net_widgets.h"
#include "net/tcp_link_values.h"
#include "net/telnet_link.h"
#include "ui/int_edit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kx9 {

namespace {
const QString kSetOk = QStringLiteral("------------- 設定　OK! -----------------");
const QString kSetNg = QStringLiteral("///////////// 設定　NG! /////////////////");

QHBoxLayout *withUnit(QWidget *box, const QString &unit, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->addWidget(box);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit, parent));
    row->addStretch();
    return row;
}
} // namespace

TParaSet1Dlg::TParaSet1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TParaSet1Dlg"));
    setWindowTitle(QStringLiteral("ネットワークボードの設定"));
    auto *lay = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    int row = 0;

    // The MAC address is the module's own: shown, never edited.
    auto *mac = new QHBoxLayout;
    const char *macNames[] = {"EdMacAdr01", "EdMacAdr02", "EdMacAdr03", "EdMacAdr1", "EdMacAdr2", "EdMacAdr3"};
    for (int i = 0; i < 6; ++i) {
        EdMac[i] = NumberBox(this, QLatin1String(macNames[i]), 255, 36);
        EdMac[i]->setRadix(16);
        EdMac[i]->setReadOnly(true);
        EdMac[i]->setFocusPolicy(Qt::NoFocus);
        mac->addWidget(EdMac[i]);
        if (i < 5)
            mac->addWidget(new QLabel(QStringLiteral("-"), this));
    }
    mac->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("MACアドレス"), this), row, 0);
    grid->addLayout(mac, row++, 1);

    grid->addWidget(new QLabel(QStringLiteral("TCP/IP"), this), row, 0);
    grid->addLayout(AddressRow(this, [](int i) { return QStringLiteral("EdTCPIP1_%1").arg(i + 1); }, EdTCPIP1), row++, 1);
    EdPort1 = NumberBox(this, QStringLiteral("EdPort1"), 65535, 70);
    grid->addWidget(new QLabel(QStringLiteral("PORT"), this), row, 0);
    grid->addLayout(withUnit(EdPort1, QString(), this), row++, 1);

    grid->addWidget(new QLabel(QStringLiteral("TCP/IP（接続先）"), this), row, 0);
    grid->addLayout(AddressRow(this, [](int i) { return QStringLiteral("EdTCPIP2_%1").arg(i + 1); }, EdTCPIP2), row++, 1);
    EdPort2 = NumberBox(this, QStringLiteral("EdPort2"), 65535, 70);
    grid->addWidget(new QLabel(QStringLiteral("PORT（接続先）"), this), row, 0);
    grid->addLayout(withUnit(EdPort2, QString(), this), row++, 1);

    Edmask = NumberBox(this, QStringLiteral("Edmask"), 32, 44);
    grid->addWidget(new QLabel(QStringLiteral("マスク長"), this), row, 0);
    grid->addLayout(withUnit(Edmask, QStringLiteral("(マスク有効桁数)"), this), row++, 1);

    CBAutoConnect = new QCheckBox(QStringLiteral("自動接続モード使用"), this);
    CBAutoConnect->setObjectName(QStringLiteral("CBAutoConnect"));
    grid->addWidget(CBAutoConnect, row++, 1);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({QStringLiteral("9600bps"), QStringLiteral("19.2kbps"), QStringLiteral("38.4kbps")});
    grid->addWidget(new QLabel(QStringLiteral("通信スピード"), this), row, 0);
    grid->addLayout(withUnit(ComboBox1, QString(), this), row++, 1);

    EdTxTiming = NumberBox(this, QStringLiteral("EdTxTiming"), 65535, 70);
    grid->addWidget(new QLabel(QStringLiteral("送信タイミング"), this), row, 0);
    grid->addLayout(withUnit(EdTxTiming, QStringLiteral("ms"), this), row++, 1);

    EdChkTimer = NumberBox(this, QStringLiteral("EdChkTimer"), 65535, 70);
    grid->addWidget(new QLabel(QStringLiteral("無通信監視タイマー"), this), row, 0);
    grid->addLayout(withUnit(EdChkTimer, QStringLiteral("min"), this), row++, 1);

    auto *RGKeep = new QGroupBox(QStringLiteral("キープ・アライブ"), this);
    RGKeep->setObjectName(QStringLiteral("RGKeep"));
    keep_ = RadioRow(RGKeep, new QHBoxLayout(RGKeep), {QStringLiteral("OFF"), QStringLiteral("ON")});
    keep_->button(0)->setChecked(true);
    grid->addWidget(RGKeep, row++, 0, 1, 2);
    lay->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    // The factory settings are not the tool's to restore.
    auto *factory = new QPushButton(QStringLiteral("出荷時設定"), this);
    factory->setObjectName(QStringLiteral("BtFactory"));
    factory->setVisible(false);
    buttons->addWidget(factory);
    buttons->addStretch();
    auto *ok = new QPushButton(QStringLiteral("設定"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &TParaSet1Dlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    showSettings(LanModuleSettings{});
}

void TParaSet1Dlg::showSettings(const LanModuleSettings &s)
{
    for (int i = 0; i < 6; ++i)
        EdMac[i]->setValue(s.mac[i]);
    for (int i = 0; i < 4; ++i) {
        EdTCPIP1[i]->setValue(s.ownAddress[i]);
        EdTCPIP2[i]->setValue(s.destAddress[i]);
    }
    EdPort1->setValue(s.ownPort);
    EdPort2->setValue(s.destPort);
    Edmask->setValue(s.mask);
    CBAutoConnect->setChecked(s.autoConnect);
    ComboBox1->setCurrentIndex(std::clamp(s.speedIndex, 0, 2));
    EdTxTiming->setValue(s.txTiming);
    keep_->button(s.keepAlive == 1 ? 1 : 0)->setChecked(true);
    EdChkTimer->setValue(s.chkTimer);
}

LanModuleSettings TParaSet1Dlg::takeSettings() const
{
    LanModuleSettings s;
    for (int i = 0; i < 6; ++i)
        s.mac[i] = EdMac[i]->value();
    for (int i = 0; i < 4; ++i) {
        s.ownAddress[i] = EdTCPIP1[i]->value();
        s.destAddress[i] = EdTCPIP2[i]->value();
    }
    s.ownPort = EdPort1->value();
    s.destPort = EdPort2->value();
    s.mask = Edmask->value();
    s.autoConnect = CBAutoConnect->isChecked();
    s.speedIndex = std::max(ComboBox1->currentIndex(), 0);
    s.txTiming = EdTxTiming->value();
    s.keepAlive = keep_->checkedId() == 1 ? 1 : 0;
    s.chkTimer = EdChkTimer->value();
    return s;
}

void TParaSet1Dlg::accept()
{
    writeKeys_ = kWritableLanKeys;
    if (!unread_) {
        QDialog::accept();
        return;
    }
    // The boxes of settings that were never read hold values nobody saw on
    // this module; storing them in it needs the operator's word.
    QStringList names;
    for (int k = int(LanKey::LIp); k <= int(LanKey::Timr); ++k) {
        if (unread_ & Bit(LanKey(k)))
            names << QStringLiteral("  ") + LanKeyName(LanKey(k));
    }
    const bool someRead = (kWritableLanKeys & ~unread_) != 0;
    QString text = QStringLiteral("次の設定値はネットワークボードから読み込めませんでした。\n%1\n\n").arg(names.join(QLatin1Char('\n')));
    text += QStringLiteral("「はい」: 表示中の値をすべて書き込み、ボードに保存します。\n");
    if (someRead)
        text += QStringLiteral("「いいえ」: 読み込めた設定値だけを書き込み、ボードに保存します。\n");
    text += QStringLiteral("「キャンセル」: 何も書き込まずに設定画面へ戻ります。");
    QMessageBox box(QMessageBox::Warning, windowTitle(), text,
                    QMessageBox::Yes | (someRead ? QMessageBox::No : QMessageBox::NoButton) | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        QDialog::accept();
        break;
    case QMessageBox::No:
        writeKeys_ = kWritableLanKeys & ~unread_;
        QDialog::accept();
        break;
    default:
        break;
    }
}

void NetworkBoardSettings(ActionHost &host, LanModuleSettings &kept)
{
    const AppLogFn appLog = [&host](const QString &line) { host.AppLog(line); };
    kept.autoConnect = true;
    TcpLinkValues confirmed;
    if (!LanConnectionDialog(host, true, &confirmed))
        return;
    QPointer<TTComXDlg> module = host.comm();
    if (!module)
        return;
    // The module's data connection must be free while its console is used.
    if (module->LinkMode() == 2 && module->Connected())
        module->LinkClose();
    {
        // The console of the module whose address the operator just confirmed.
        TTelNetCont1Dlg link;
        link.TelnetOpen(module->logTarget(), module->LogRx(), confirmed.remoteAddress);
        TParaSet1Dlg dlg(host.hostWindow());
        LanModuleWake(link);
        LanModuleSettings shown = kept;
        const LanKeys read = LanModuleRead(link, shown, appLog);
        if (read & Bit(LanKey::LIp))
            kept.ownAddress = shown.ownAddress;
        if (read & Bit(LanKey::LPt))
            kept.ownPort = shown.ownPort;
        dlg.showSettings(shown);
        dlg.setUnread(~read);
        if (dlg.exec() == QDialog::Accepted) {
            if (link.isConnected()) {
                kept = dlg.takeSettings();
                appLog(LanModuleWrite(link, kept, appLog, dlg.writeKeys()) ? kSetOk : kSetNg);
            } else {
                appLog(QStringLiteral("接続が切断されました"));
                appLog(kSetNg);
            }
        }
    }
    if (module)
        module->LinkReopenOnPort(0);
}

} // namespace kx9
