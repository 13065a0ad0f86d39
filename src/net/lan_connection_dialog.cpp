#include "net/lan_connection_dialog.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "link/options.h"
#include "net/net_widgets.h"
#include "net/tcp_link_values.h"
#include "net/wait_box.h"
#include "ui/int_edit.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx9 {


TSetTCPIPDlg::TSetTCPIPDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSetTCPIPDlg"));
    setWindowTitle(QStringLiteral("LAN接続の設定"));
    auto *lay = new QVBoxLayout(this);

    RadioGroup1 = new QGroupBox(QStringLiteral("動作モード"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    roles_ = RadioRow(RadioGroup1, new QHBoxLayout(RadioGroup1), {QStringLiteral("クライアント"), QStringLiteral("サーバー")});
    lay->addWidget(RadioGroup1);

    auto *server = new QGroupBox(QStringLiteral("サーバモード"), this);
    auto *sl = new QHBoxLayout(server);
    sl->addWidget(new QLabel(QStringLiteral("ポート番号"), server));
    EdTCPPort = NumberBox(server, QStringLiteral("EdTCPPort"), 65535, 70);
    sl->addWidget(EdTCPPort);
    sl->addStretch();
    lay->addWidget(server);

    auto *client = new QGroupBox(QStringLiteral("クライアントモード"), this);
    auto *cl = new QGridLayout(client);
    cl->addWidget(new QLabel(QStringLiteral("サーバのアドレス"), client), 0, 0);
    cl->addLayout(AddressRow(client, [](int i) { return QStringLiteral("EdTCPIP1_%1").arg(i + 1); }, EdTCPIP1), 0, 1);
    cl->addWidget(new QLabel(QStringLiteral("ポート番号"), client), 1, 0);
    EdTCPServPort = NumberBox(client, QStringLiteral("EdTCPServPort"), 65535, 70);
    cl->addWidget(EdTCPServPort, 1, 1, Qt::AlignLeft);
    lay->addWidget(client);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    OKBtn = new QPushButton(QStringLiteral("設定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    lay->addLayout(buttons);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(roles_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            applyRole();
    });
    roles_->button(1)->setChecked(true);
    applyRole();
}

void TSetTCPIPDlg::applyRole()
{
    const bool client = roles_->checkedId() == 0;
    for (IntEdit *e : EdTCPIP1)
        e->setEnabled(client);
    EdTCPServPort->setEnabled(client);
    EdTCPPort->setEnabled(!client);
}

void TSetTCPIPDlg::setAddressText(const QString &text)
{
    QString rest = text;
    for (int i = 0; i < 3; ++i) {
        const int dot = rest.indexOf(QLatin1Char('.'));
        const QString part = dot < 0 ? rest : rest.left(dot);
        rest = dot < 0 ? QString() : rest.mid(dot + 1);
        EdTCPIP1[i]->setValue(part.trimmed().toInt());
    }
    EdTCPIP1[3]->setValue(rest.trimmed().toInt());
}

QString TSetTCPIPDlg::addressText() const
{
    return AddressText(EdTCPIP1);
}

void TSetTCPIPDlg::showValues(const Values &v)
{
    roles_->button(v.serverMode ? 1 : 0)->setChecked(true);
    EdTCPPort->setValue(v.listenPort);
    EdTCPServPort->setValue(v.remotePort);
    setAddressText(v.remoteAddress);
    applyRole();
}

TSetTCPIPDlg::Values TSetTCPIPDlg::takeValues() const
{
    Values v;
    v.serverMode = roles_->checkedId() == 0 ? 0 : 1;
    v.listenPort = EdTCPPort->value();
    v.remotePort = EdTCPServPort->value();
    v.remoteAddress = addressText();
    return v;
}

void TSetTCPIPDlg::setCheckMode(bool on)
{
    if (on)
        roles_->button(0)->setChecked(true);
    RadioGroup1->setEnabled(!on);
    applyRole();
}

void TSetTCPIPDlg::setConfirmCaption(const QString &caption) { OKBtn->setText(caption); }

bool LanConnectionDialogAtStart(QWidget *parent, AppOptions &options)
{
    TSetTCPIPDlg dlg(parent);
    dlg.setConfirmCaption(QStringLiteral("接続"));
    dlg.showValues({options.fTCPServer, options.TCPPort, options.TCPServPort, options.TCPServAddr});
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const TSetTCPIPDlg::Values v = dlg.takeValues();
    options.fTCPServer = v.serverMode;
    options.TCPServPort = v.remotePort;
    options.TCPPort = v.listenPort;
    options.TCPServAddr = v.remoteAddress;
    return true;
}

namespace {
const char kTcpWaitText[] = "TCP/IP 接続中...";

void setStatusHint(ActionHost &host, const QString &text)
{
    // The first panel of the main window's status bar carries the hints.
    if (QWidget *w = host.hostWindow()) {
        if (auto *panel = w->findChild<QLabel *>(QStringLiteral("StatusPanel0")))
            panel->setText(text);
    }
}
} // namespace

bool WaitForLanConnection(ActionHost &host)
{
    QPointer<TTComXDlg> module = host.comm();
    if (!module)
        return false;
    WaitBox box(host.hostWindow(), QString::fromUtf8(kTcpWaitText), true);
    setStatusHint(host, QString::fromUtf8(kTcpWaitText));
    QObject::connect(module.data(), &CommModule::connectedChanged, &box, &WaitBox::finish);
    const bool up = box.waitFor([module] { return module && module->Connected(); });
    setStatusHint(host, QString());
    return up && module;
}

bool LanConnectionDialog(ActionHost &host, bool checkMode, TcpLinkValues *confirmed)
{
    QPointer<TTComXDlg> module = host.comm();
    if (!module)
        return false;
    TSetTCPIPDlg dlg(host.hostWindow());
    const TcpLinkValues now = TcpValuesOf(*module);
    dlg.showValues({now.serverMode, now.listenPort, now.remotePort, now.remoteAddress});
    dlg.setCheckMode(checkMode);
    if (dlg.exec() != QDialog::Accepted || !module)
        return false;
    const TSetTCPIPDlg::Values v = dlg.takeValues();
    const TcpLinkValues chosen{v.serverMode, v.listenPort, v.remotePort, v.remoteAddress};
    module->LinkClose();
    SetTcpValuesOf(*module, chosen);
    module->LinkReopenOnPort(0);
    if (!module || module->LinkMode() != 2)
        return false;
    if (!WaitForLanConnection(host)) {
        if (QWidget *w = host.hostWindow())
            w->close();
        return false;
    }
    if (confirmed)
        *confirmed = chosen;
    return true;
}

} // namespace kx9
