#include "net/ip_address_setup_dialog.h"

#include "net/net_widgets.h"
#include "ui/int_edit.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kx9 {


TSetIPAddr1Dlg::TSetIPAddr1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSetIPAddr1Dlg"));
    setWindowTitle(QStringLiteral("ＰＣ側のＴＣＰ／ＩＰの設定"));
    auto *lay = new QVBoxLayout(this);
    auto *heading = new QLabel(QStringLiteral("ＰＣのTCP/IPの設定"), this);
    heading->setObjectName(QStringLiteral("Label1"));
    lay->addWidget(heading);

    StringGrid1 = new QTableWidget(0, 2, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setHorizontalHeaderLabels({QStringLiteral("IP Address"), QStringLiteral("NET MASK")});
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    StringGrid1->setMinimumHeight(110);
    // The selected row: cyan background, black text, focused or not.
    QPalette pal = StringGrid1->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(g, QPalette::Highlight, Qt::cyan);
        pal.setColor(g, QPalette::HighlightedText, Qt::black);
    }
    StringGrid1->setPalette(pal);
    lay->addWidget(StringGrid1);

    auto *RGIPMode = new QGroupBox(QStringLiteral("TCP/IP動作モード（PC側）"), this);
    RGIPMode->setObjectName(QStringLiteral("RGIPMode"));
    auto *ml = new QHBoxLayout(RGIPMode);
    modes_ = RadioRow(RGIPMode, ml, {QStringLiteral("クライアント"), QStringLiteral("サーバー")});
    ml->addSpacing(16);
    ml->addWidget(new QLabel(QStringLiteral("ポート番号"), RGIPMode));
    Ed_SPortNum = NumberBox(RGIPMode, QStringLiteral("Ed_SPortNum"), 65535, 70);
    ml->addWidget(Ed_SPortNum);
    ml->addStretch();
    lay->addWidget(RGIPMode);

    auto *dest = new QGroupBox(QStringLiteral("接続先"), this);
    auto *dl = new QGridLayout(dest);
    dl->addWidget(new QLabel(QStringLiteral("IPアドレス"), dest), 0, 0);
    dl->addLayout(AddressRow(dest, [](int i) { return QStringLiteral("Ed_CIP%1").arg(i + 1); }, Ed_CIP), 0, 1);
    dl->addWidget(new QLabel(QStringLiteral("ポート番号"), dest), 1, 0);
    Ed_CPortNum = NumberBox(dest, QStringLiteral("Ed_CPortNum"), 65535, 70);
    dl->addWidget(Ed_CPortNum, 1, 1, Qt::AlignLeft);
    lay->addWidget(dest);

    auto *buttons = new QHBoxLayout;
    BtNetwork = new QPushButton(QStringLiteral("ネットワーク接続..."), this);
    BtNetwork->setObjectName(QStringLiteral("BtNetwork"));
    buttons->addWidget(BtNetwork);
    buttons->addStretch();
    auto *ok = new QPushButton(QStringLiteral("接続"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtNetwork, &QPushButton::clicked, this, [this] { OpenNetworkConnectionsPanel(this); });
    connect(modes_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            applyMode();
    });
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!filling_ && row >= 0)
            selectRow(row, true);
    });
    // A click on the row already selected copies its address too (the boxes
    // may show the configured address or the operator's edits).
    connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (!filling_ && row >= 0)
            selectRow(row, true);
    });
    modes_->button(1)->setChecked(true);
    applyMode();
}

int TSetIPAddr1Dlg::MatchingEntry(const QList<LocalAddress> &addresses, const std::array<uint8_t, 4> &address)
{
    int found = -1;
    for (int i = 0; i < addresses.size(); ++i) {
        const LocalAddress &e = addresses[i];
        if (e.mask == std::array<uint8_t, 4>{})
            continue;
        bool same = true;
        for (int b = 0; b < 3; ++b) {
            if (e.mask[b] == 255 && e.address[b] != address[b])
                same = false;
        }
        if (same)
            found = i;
    }
    return found;
}

void TSetIPAddr1Dlg::showAddress(const std::array<uint8_t, 4> &address)
{
    for (int i = 0; i < 4; ++i)
        Ed_CIP[i]->setValue(address[i]);
}

void TSetIPAddr1Dlg::selectRow(int row, bool copyAddress)
{
    selected_ = row;
    filling_ = true;
    StringGrid1->setCurrentCell(row, 0);
    StringGrid1->selectRow(row);
    filling_ = false;
    const LocalAddress &e = addresses_[row];
    if (copyAddress)
        showAddress(e.address);
    // A network byte fixed by the mask is not the operator's to change.
    for (int i = 0; i < 4; ++i)
        Ed_CIP[i]->setEnabled(e.mask[i] != 255);
}

void TSetIPAddr1Dlg::applyMode()
{
    const bool server = modes_->checkedId() == 1;
    Ed_SPortNum->setEnabled(server);
    Ed_CPortNum->setEnabled(!server);
}

void TSetIPAddr1Dlg::showValues(const QList<LocalAddress> &addresses, int TCPPort, int fTCPServer, int TCPServPort,
                                const QString &TCPServAddr)
{
    addresses_ = addresses;
    filling_ = true;
    StringGrid1->setRowCount(int(addresses.size()));
    for (int i = 0; i < addresses.size(); ++i) {
        StringGrid1->setItem(i, 0, new QTableWidgetItem(addresses[i].addressText()));
        StringGrid1->setItem(i, 1, new QTableWidgetItem(addresses[i].maskText()));
    }
    filling_ = false;

    // A configured address that is not dotted text compares as 0.0.0.0 and is shown as such.
    std::array<uint8_t, 4> configured{};
    DottedBytes(TCPServAddr, configured);
    const int match = MatchingEntry(addresses, configured);

    modes_->button(fTCPServer ? 1 : 0)->setChecked(true);
    Ed_SPortNum->setValue(TCPPort);
    Ed_CPortNum->setValue(TCPServPort);

    if (match >= 0) {
        selectRow(match, false);
        showAddress(configured);
    } else if (!addresses.isEmpty()) {
        selectRow(0, true);
    } else {
        // No address of our own to go by: show the configured one, every byte editable.
        selected_ = -1;
        showAddress(configured);
        for (IntEdit *e : Ed_CIP)
            e->setEnabled(true);
    }
    applyMode();
}

void TSetIPAddr1Dlg::takeValues(int &TCPPort, int &fTCPServer, int &TCPServPort, QString &TCPServAddr) const
{
    fTCPServer = modes_->checkedId() == 1 ? 1 : 0;
    TCPPort = Ed_SPortNum->value();
    TCPServPort = Ed_CPortNum->value();
    TCPServAddr = AddressText(Ed_CIP);
}

bool IpAddressSetupDialog(QWidget *parent, int &TCPPort, int &fTCPServer, int &TCPServPort, QString &TCPServAddr)
{
    TSetIPAddr1Dlg dlg(parent);
    dlg.showValues(LocalAddressList(), TCPPort, fTCPServer, TCPServPort, TCPServAddr);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    dlg.takeValues(TCPPort, fTCPServer, TCPServPort, TCPServAddr);
    return true;
}

void OpenNetworkConnectionsPanel(QWidget *parent)
{
    for (const char *tool : {"nm-connection-editor", "gnome-control-center", "systemsettings"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(tool));
        if (path.isEmpty())
            continue;
        QStringList args;
        if (QLatin1String(tool) == QLatin1String("gnome-control-center"))
            args << QStringLiteral("network");
        if (QProcess::startDetached(path, args))
            return;
    }
    QMessageBox::information(parent, QStringLiteral("ネットワーク接続"),
                             QStringLiteral("ネットワーク接続の設定画面が見つかりません。\n"
                                            "デスクトップのネットワーク設定、または ip addr / nmcli で確認してください。"));
}

} // namespace kx9
