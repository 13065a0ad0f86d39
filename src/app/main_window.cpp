#include "app/main_window.h"

#include "actions/actions.h"
#include "app/about_box.h"
#include "app/log_pane.h"
#include "app/serial_setup.h"
#include "app/tag_grid.h"
#include "capture/capture_actions.h"
#include "commands/ttcomxdlg.h"
#include "config/config_actions.h"
#include "config/settings_actions.h"
#include "gate/gate_actions.h"
#include "link/ini_file.h"
#include "link/tag_list.h"
#include "net/ip_address_setup_dialog.h"
#include "net/lan_connection_dialog.h"
#include "net/lan_speed.h"
#include "net/net_actions.h"
#include "net/wait_box.h"
#include "runner/runner_actions.h"
#include "ui/port_check_dialog.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace kx9 {

namespace {

const char kCaption[] = "ＫＸ９シリーズ　デモプログラム";
const char kTcpWaitText[] = "TCP/IP 接続中...";

} // namespace

// ------------------------------------------------------------------ creation

TKX9AppForm::TKX9AppForm(const QString &iniPath, QWidget *parent) : QMainWindow(parent), iniPath_(iniPath)
{
    setObjectName(QStringLiteral("TKX9AppForm"));
    setAttribute(Qt::WA_QuitOnClose, true);

    // Run-time values start at zero (MainState's own initialisers); logging on.
    LoadAppOptions(iniPath_, options_);

    buildMenus();
    buildToolBar();
    buildPages();
    buildPopupMenu();
    buildStatusBar();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (comm_)
            comm_->DrainReceiver();
    });

    ApplyFeatureSwitches();
    StringGrid1->setHeadings(options_);
    // The configured first page from the start; start-up selects it again and focuses it.
    PageControl1->setCurrentIndex(options_.fDufaultTab == 0 ? 0 : 1);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TKX9AppForm::onIdle);
    ApplyMenuProfile();

    serial_ = new SerialSetup(*this);
    connectOwnItems();
    AttachActions(*this);
    AttachNetActions(*this);
    AttachConfigActions(*this);
    AttachSettingsActions(*this);
    AttachGateActions(*this);
    AttachCaptureActions(*this);
    AttachRunnerActions(*this);

    resize(kDesignWidth, kDesignHeight);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(kDesignWidth / 2, kDesignHeight / 2));
    }
}

TKX9AppForm::~TKX9AppForm()
{
    if (comm_)
        delete comm_.data();
}

void TKX9AppForm::buildToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFixedHeight(30);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const char *name, const QString &text, const QString &hint) {
        QAction *a = ToolBar1->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setToolTip(hint);
        a->setStatusTip(hint);
        return a;
    };
    // These three run the action of their menu item.
    const struct {
        const char *name, *text, *hint, *item;
    } forwards[] = {
        {"TBtModeSet", "Ｔ", "タグの動作モードの設定", "MnSetMode2"},
        {"TBtSetConf", "Ｍ", "動作モードの設定", "MnSetDousa"},
        {"TBtDataWrite", "Ｗ", "タグへのデータの書き込み", "MnDataWrite"},
    };
    for (const auto &f : forwards) {
        if (f.item == QLatin1String("MnDataWrite"))
            ToolBar1->addSeparator();
        QAction *b = button(f.name, QString::fromUtf8(f.text), QString::fromUtf8(f.hint));
        const QString item = QLatin1String(f.item);
        connect(b, &QAction::triggered, this, [this, item] {
            if (QAction *a = findAction(item))
                a->trigger();
        });
    }
    QAction *tb2 = button("ToolButton2", QStringLiteral("  "), QString());
    tb2->setVisible(false);
    ToolBar1->addSeparator();

    modeButtons_ = new QActionGroup(this);
    modeButtons_->setExclusive(true);
    const struct {
        const char *name, *text, *hint;
    } modes[] = {
        {"TBtSetCmdMode", "Ｃ", "コマンドモードへ"},
        {"TBtSetATRMD", "Ａ", "オートスキャンモードへ"},
        {"TBtSetTest1Mode", "Ｉ", "連続インベントリモードへ"},
    };
    for (const auto &m : modes) {
        QAction *b = button(m.name, QString::fromUtf8(m.text), QString::fromUtf8(m.hint));
        b->setCheckable(true);
        modeButtons_->addAction(b);
    }
    ToolBar1->addSeparator();
    ToolBar1->addSeparator();
    // The toolbar gesture needs the double clicks on the bar and its buttons.
    // Small square buttons as designed, so the connection panel fits beside them.
    ToolBar1->installEventFilter(this);
    for (QToolButton *tb : ToolBar1->findChildren<QToolButton *>()) {
        tb->installEventFilter(this);
        if (tb->defaultAction())
            tb->setFixedSize(26, 24);
    }

    auto *spacer = new QWidget(ToolBar1);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar1->addWidget(spacer);
    auto *Panel1 = new QWidget(ToolBar1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(411);
    buildConnectionPanel(Panel1);
    ToolBar1->addWidget(Panel1);
}

void TKX9AppForm::buildConnectionPanel(QWidget *parent)
{
    auto *lay = new QHBoxLayout(parent);
    lay->setContentsMargins(0, 0, 0, 0);
    Notebook1 = new QStackedWidget(parent);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    lay->addWidget(Notebook1);

    auto *serial = new QWidget(Notebook1);
    serial->setObjectName(QStringLiteral("RS232C"));
    auto *sl = new QHBoxLayout(serial);
    sl->setContentsMargins(2, 0, 2, 0);
    auto *CBReOpen = new QCheckBox(QStringLiteral("有効"), serial);
    CBReOpen->setObjectName(QStringLiteral("CBReOpen"));
    auto *CBCOMPort = new QComboBox(serial);
    CBCOMPort->setObjectName(QStringLiteral("CBCOMPort"));
    CBCOMPort->setMinimumWidth(120);
    auto *CBSpeed = new QComboBox(serial);
    CBSpeed->setObjectName(QStringLiteral("CBSpeed"));
    CBSpeed->addItems({QStringLiteral("9600bps"), QStringLiteral("19.2kbps"), QStringLiteral("38.4kbps")});
    auto *BtReOpen = new QPushButton(QStringLiteral("再接続"), serial);
    BtReOpen->setObjectName(QStringLiteral("BtReOpen"));
    for (QWidget *w : {static_cast<QWidget *>(CBReOpen), static_cast<QWidget *>(CBCOMPort),
                       static_cast<QWidget *>(CBSpeed), static_cast<QWidget *>(BtReOpen)})
        sl->addWidget(w);
    // Until "有効" is ticked the panel only shows the port.
    for (QWidget *w : {static_cast<QWidget *>(CBCOMPort), static_cast<QWidget *>(CBSpeed),
                       static_cast<QWidget *>(BtReOpen)})
        w->setEnabled(false);
    connect(CBReOpen, &QCheckBox::toggled, this, [CBCOMPort, CBSpeed, BtReOpen](bool on) {
        CBCOMPort->setEnabled(on);
        CBSpeed->setEnabled(on);
        BtReOpen->setEnabled(on);
    });
    Notebook1->addWidget(serial);

    auto *tcp = new QWidget(Notebook1);
    tcp->setObjectName(QStringLiteral("TCP_IP"));
    auto *tl = new QHBoxLayout(tcp);
    tl->setContentsMargins(2, 0, 2, 0);
    ST_TCPAddress = new QLabel(tcp);
    ST_TCPAddress->setObjectName(QStringLiteral("ST_TCPAddress"));
    ST_TCPPORT = new QLabel(tcp);
    ST_TCPPORT->setObjectName(QStringLiteral("ST_TCPPORT"));
    tl->addWidget(ST_TCPAddress);
    tl->addWidget(ST_TCPPORT);
    tl->addStretch();
    Notebook1->addWidget(tcp);
}

void TKX9AppForm::buildPages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto *TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto *l1 = new QGridLayout(TabSheet1);
    l1->setContentsMargins(0, 0, 0, 0);
    StringGrid1 = new TagGrid(TabSheet1);
    l1->addWidget(StringGrid1);
    auto *TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto *l2 = new QGridLayout(TabSheet2);
    l2->setContentsMargins(0, 0, 0, 0);
    Memo1 = new LogPane(TabSheet2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    l2->addWidget(Memo1);
    PageControl1->addTab(TabSheet1, QStringLiteral("受信データ"));
    PageControl1->addTab(TabSheet2, QStringLiteral("ログ"));
    setCentralWidget(PageControl1);

    StringGrid1->setCountTextSink([this](const QString &t) { countPanel_->setText(t); });
    StringGrid1->setOwnerDraw([this] { return comm_ && comm_->comDebug().fDispCont1 != 0; },
                              [this] { return comm_ ? comm_->tagList().LastUpdatedRow() : 0; });
}

void TKX9AppForm::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char *name, const QString &text, const char *key) {
        QAction *a = PopupMenu1->addAction(text);
        a->setObjectName(QLatin1String(name));
        if (key)
            a->setShortcut(QKeySequence(QLatin1String(key)));
        // The function keys work anywhere in the window, not only in the open menu.
        addAction(a);
        return a;
    };
    item("MnClear1", QStringLiteral("クリア"), "F9");
    PopupMenu1->addSeparator();
    item("MnCopy1", QStringLiteral("Copy"), nullptr);
    PopupMenu1->addSeparator();
    item("MnSetCmd1", QStringLiteral("コマンドモード"), "F5");
    item("MnSetAuto1", QStringLiteral("オートスキャン"), "F6");
    item("MnSetInv1", QStringLiteral("連続インベントリ"), "F8");

    for (QWidget *w : {static_cast<QWidget *>(PageControl1), static_cast<QWidget *>(StringGrid1),
                       static_cast<QWidget *>(Memo1)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { PopupMenu1->popup(w->mapToGlobal(pos)); });
    }
}

void TKX9AppForm::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    hintPanel_ = new QLabel(bar);
    hintPanel_->setObjectName(QStringLiteral("StatusPanel0"));
    hintPanel_->setFixedWidth(300);
    countPanel_ = new QLabel(bar);
    countPanel_->setObjectName(QStringLiteral("StatusPanel1"));
    countPanel_->setMinimumWidth(50);
    bar->addPermanentWidget(hintPanel_);
    bar->addPermanentWidget(countPanel_, 1);
}

void TKX9AppForm::connectOwnItems()
{
    auto on = [this](const char *name, auto slot) {
        if (QAction *a = findAction(QLatin1String(name)))
            connect(a, &QAction::triggered, this, slot);
    };
    on("MnSaveFile", [this] { SaveGridCsv(); });
    on("MnExit", [this] { close(); });
    on("MnAbout", [this] { ShowAboutBox(); });
    on("MnClear1", [this] { ClearResults(); });
    on("MnCopy1", [this] { CopyCell(); });
    on("MnSetCOMPort", [this] { serial_->ChangePort(); });
    on("MnComPara", [this] { serial_->ChangeSerialParams(); });
    on("Mn9600bps", [this] { ChangeReaderSpeed(9600); });
    on("Mn192kbps", [this] { ChangeReaderSpeed(19200); });
    on("Mn384kbps", [this] { ChangeReaderSpeed(38400); });
    on("MnChkPort", [this] { CheckPorts(); });
    if (auto *reopen = findChild<QPushButton *>(QStringLiteral("BtReOpen")))
        connect(reopen, &QPushButton::clicked, this, [this] { serial_->ReconnectFromPanel(); });
    // The pop-up mode items press their toolbar button, which runs the mode action.
    const struct {
        const char *item, *button;
    } modes[] = {{"MnSetCmd1", "TBtSetCmdMode"}, {"MnSetAuto1", "TBtSetATRMD"}, {"MnSetInv1", "TBtSetTest1Mode"}};
    for (const auto &m : modes) {
        const QString button = QLatin1String(m.button);
        on(m.item, [this, button] {
            if (QAction *b = findAction(button))
                b->trigger();
        });
    }
}

// ------------------------------------------------------------------ menu rules

QAction *TKX9AppForm::findAction(const QString &objectName)
{
    return findChild<QAction *>(objectName);
}

void TKX9AppForm::setItemVisible(const QString &name, bool visible)
{
    if (QAction *a = findAction(name))
        a->setVisible(visible);
    else
        qWarning("TKX9AppForm: no menu item %s", qPrintable(name));
}

void TKX9AppForm::setItemEnabled(const QString &name, bool enabled)
{
    QAction *a = findAction(name);
    if (!a) {
        qWarning("TKX9AppForm: no menu item %s", qPrintable(name));
        return;
    }
    a->setEnabled(enabled);
    // A disabled menu takes its items' shortcuts with it.
    if (QMenu *m = a->menu())
        m->setEnabled(enabled);
}

void TKX9AppForm::applyGateRows()
{
    setItemVisible(QStringLiteral("MnGateCmd"), options_.fGateCmd != 0);
    setItemVisible(QStringLiteral("W301"), options_.fGateCmd && options_.fW30);
}

void TKX9AppForm::applyExtendedSettingsRow()
{
    for (const char *n : {"MnInventoryAFI1", "MnSetBuz", "MnNoReadCmd", "MnSetRetry", "MnRDLoop1", "MnSetAnci",
                          "MnSetAFI", "MnAFI1", "MnSetRWIDNUM"})
        setItemVisible(QLatin1String(n), options_.fDispEXTSet1 != 0);
}

void TKX9AppForm::applyShownWhileSetRows()
{
    const AppOptions &o = options_;
    setItemVisible(QStringLiteral("MnCmdOutp"), o.fCmdOutpStr != 0);
    setItemVisible(QStringLiteral("MnCmdOutpSepa"), o.fCmdOutpStr != 0);
    setItemVisible(QStringLiteral("MnCommCommand"), o.fCommComand != 0);
    setItemVisible(QStringLiteral("MnTagTest1"), o.fTagTest1 != 0);
    setItemVisible(QStringLiteral("MnBuzFreq"), o.fSetBuzFreq != 0);
    applyExtendedSettingsRow();
}

void TKX9AppForm::ApplyFeatureSwitches()
{
    const AppOptions &o = options_;
    const bool w30Maint = o.fW30 && o.fW30Cmd;
    for (const char *n : {"MnW30_Sepa", "MnW30ReStart", "MnW30Bps", "MnW30ProgMode"})
        setItemVisible(QLatin1String(n), w30Maint);
    setItemVisible(QStringLiteral("ReadLoopPolling1"), o.fCustomCmd1 != 0);
    setItemVisible(QStringLiteral("Inventory16Slots1"), o.fUseInv16SlotsCmd != 0);
    setItemVisible(QStringLiteral("MnSetSpeed"), o.fVER121 != 0);
    applyGateRows();
    applyShownWhileSetRows();
    ApplyLockItemVisibility();
}

void TKX9AppForm::ApplyEnvironmentSwitches()
{
    // In this order: the ROM-version row also sets MnSetAnci, which the
    // extended-settings row then decides.
    setItemVisible(QStringLiteral("MnSetSpeed"), options_.fVER121 != 0);
    setItemVisible(QStringLiteral("MnSetAnci"), options_.fVER121 != 0);
    applyGateRows();
    applyExtendedSettingsRow();
}

void TKX9AppForm::ApplyLockItemVisibility()
{
    if (lockItems_.isEmpty()) {
        for (const char *n : {"MnLockBlock", "MnLockAFI", "MNLockDSFID", "MnLock2Blocks", "MnLockEAS1"})
            if (QAction *a = findAction(QLatin1String(n)))
                lockItems_.append(a);
    }
    const bool on = options_.EnabLockBlock != 0;
    for (QAction *a : std::as_const(lockItems_))
        a->setVisible(on);
}

void TKX9AppForm::onIdle() { ApplyLockItemVisibility(); }

QStringList TKX9AppForm::ProfileHiddenNames()
{
    return {
        // whole menus and submenus
        QStringLiteral("MnCommand"), QStringLiteral("MnTagit"), QStringLiteral("MnSetModeMenu"),
        QStringLiteral("MnTI"), QStringLiteral("MnPhilips"), QStringLiteral("MnFujitsu"), QStringLiteral("MnSTMicro"),
        QStringLiteral("MnParamData"), QStringLiteral("MnQUIT_Cmd"),
        // single items
        QStringLiteral("MnReadRAM1"), QStringLiteral("MnWriteRAM1"), QStringLiteral("MnSelRy"),
        QStringLiteral("MnWrite2Blocks"), QStringLiteral("MnMydWriteByte1"), QStringLiteral("MnMydWriteReread1"),
        QStringLiteral("MnSetEEPROM"), QStringLiteral("EEPROM21"), QStringLiteral("MnSetUserCode"),
        QStringLiteral("MnSetMemSW"), QStringLiteral("MnSetWaitTimer"), QStringLiteral("MnPolWrite1"),
        QStringLiteral("ToolButton2"), QStringLiteral("IOBEEPROMCmd"), QStringLiteral("MnDoubleReadTime"),
        QStringLiteral("MnTxOffTime"), QStringLiteral("MnBlockSize"), QStringLiteral("MnEEPROM1"),
        QStringLiteral("MnGetCurrentUid1"), QStringLiteral("MnSetCurrentUid1"), QStringLiteral("MnAntennaSet"),
        QStringLiteral("MnTimingReg"), QStringLiteral("MnGetModelName1"), QStringLiteral("MnWriteExtPort1"),
        QStringLiteral("MnScanMode1"), QStringLiteral("MnGateEEPROM_READ"), QStringLiteral("MnGateEEPROM_WRITE"),
        QStringLiteral("MnCountEEPROM"), QStringLiteral("MnCountData"), QStringLiteral("MnLEDBuz1"),
        QStringLiteral("MnFreqSet"), QStringLiteral("MnLockBytes1"),
        // hidden in the form itself
        QStringLiteral("MnDataClear"), QStringLiteral("MnInvTrigger"), QStringLiteral("MnSelTag"),
        // hidden here, then follows the idle rule
        QStringLiteral("MnLock2Blocks"),
    };
}

QStringList TKX9AppForm::CommandModeGatedNames()
{
    return {
        QStringLiteral("TBtModeSet"), QStringLiteral("TBtSetConf"), QStringLiteral("TBtDataWrite"),
        QStringLiteral("ToolButton2"),
        QStringLiteral("MnGeneralCmd"), QStringLiteral("MnCommand"), QStringLiteral("MnISO15693"),
        QStringLiteral("MnMyd"), QStringLiteral("MnTagit"), QStringLiteral("MnSetting"),
        QStringLiteral("MnCustomCmd"), QStringLiteral("MnTILight"),
        QStringLiteral("MnGateMode"), QStringLiteral("MnGeteEEPROM"), QStringLiteral("MnGateDispOutSate"),
        QStringLiteral("MnSensorState"), QStringLiteral("MnCountEEPROM"), QStringLiteral("MnCountData"),
        QStringLiteral("MnContTimgRes"), QStringLiteral("MnW30outinfo"), QStringLiteral("MnW30mcountvalu"),
        QStringLiteral("MnW30spkvolume"), QStringLiteral("MnW30ROM1"), QStringLiteral("MnW30GetType"),
        QStringLiteral("MnW30ReStart"), QStringLiteral("MnW30Bps"), QStringLiteral("MnW30ProgMode"),
        QStringLiteral("IOBEEPROMCmd"),
    };
}

void TKX9AppForm::ApplyMenuProfile()
{
    for (const QString &n : ProfileHiddenNames())
        setItemVisible(n, false);
    eepromInitFlag_ = false;
    setItemVisible(QStringLiteral("MnTILight"), true);
    applyShownWhileSetRows();
    // At creation and again after the R/W parameter dialog: the command menus
    // wait for the next switch to command mode (fMenuDisp keeps them enabled).
    ApplyCommandModeGating(false);
}

void TKX9AppForm::ApplyCommandModeGating(bool commandMode)
{
    const bool enabled = commandMode || options_.fMenuDisp != 0;
    for (const QString &n : CommandModeGatedNames())
        setItemEnabled(n, enabled);
}

// ------------------------------------------------------------------ logs

TTComXDlg *TKX9AppForm::comm() { return comm_.data(); }

LogTarget *TKX9AppForm::mainLog() const { return Memo1; }

void TKX9AppForm::AppLog(const QString &text)
{
    if (!logSwitch_)
        return;
    if (Memo1->lineCount() >= kAppLogLimit)
        Memo1->clearLog();
    Memo1->appendLine(text);
}

void TKX9AppForm::SuspendLogging()
{
    if (!logSwitch_)
        return;   // nested: keep the values saved by the first call
    logSwitch_ = false;
    if (comm_) {
        savedLogRx_ = comm_->LogRx();
        savedLogTx_ = comm_->LogTx();
        comm_->setLogRx(0);
        comm_->setLogTx(0);
    }
}

void TKX9AppForm::ResumeLogging()
{
    if (logSwitch_)
        return;
    logSwitch_ = true;
    if (comm_) {
        comm_->setLogRx(savedLogRx_);
        comm_->setLogTx(savedLogTx_);
    }
}

void TKX9AppForm::RedirectCommLog(LogTarget *target)
{
    if (comm_)
        comm_->setLogTarget(target ? target : Memo1);
}

void TKX9AppForm::RestoreCommLog()
{
    if (comm_)
        comm_->setLogTarget(Memo1);
}

// ------------------------------------------------------------------ grid, file, clipboard

void TKX9AppForm::SaveGridCsv()
{
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SaveDialog1"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    // The file is replaced as chosen; the operator picked the name.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setNameFilter(QStringLiteral("CSVﾌｧｲﾙ (*.csv)"));
    dlg.setDirectory(ToolDataFolder());
    dlg.selectFile(QStringLiteral("datalist.csv"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    WriteGridCsv(CsvPathFor(dlg.selectedFiles().first()));
}

bool TKX9AppForm::WriteGridCsv(const QString &csvPath)
{
    // Written beside the old file and renamed over it: a crash during the
    // export leaves the previous file whole instead of a cut one.
    QString why;
    if (!ReplaceFileAtomically(csvPath, StringGrid1->csvBytes(), &why)) {
        QMessageBox::warning(this, QString::fromUtf8(kCaption),
                             QStringLiteral("ファイルを作成できません。\n%1\n%2").arg(csvPath, why));
        return false;
    }
    return true;
}

void TKX9AppForm::CopyCell() { QGuiApplication::clipboard()->setText(StringGrid1->focusedCellText()); }

void TKX9AppForm::ClearResults()
{
    if (comm_)
        comm_->tagList().ClearTagList();
    else
        StringGrid1->clearDataRows();
    if (PageControl1->currentIndex() == 1)
        Memo1->clearLog();
    countPanel_->setText(QString());
}

// ------------------------------------------------------------------ status bar, about

void TKX9AppForm::setStatusHint(const QString &text) { hintPanel_->setText(text); }
QString TKX9AppForm::statusHint() const { return hintPanel_->text(); }
QString TKX9AppForm::countText() const { return countPanel_->text(); }

void TKX9AppForm::ShowAboutBox()
{
    TAboutBox box(this);
    box.exec();
}

bool TKX9AppForm::event(QEvent *e)
{
    if (e->type() == QEvent::StatusTip) {
        // Panel 0 shows the hint of what is under the mouse.
        setStatusHint(static_cast<QStatusTipEvent *>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

bool TKX9AppForm::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::MouseButtonDblClick
        && (watched == ToolBar1 || (qobject_cast<QWidget *>(watched) && ToolBar1->isAncestorOf(static_cast<QWidget *>(watched))))) {
        const Qt::KeyboardModifiers mods = static_cast<QMouseEvent *>(e)->modifiers();
        if ((mods & Qt::ShiftModifier) && (mods & Qt::ControlModifier))
            eepromInitFlag_ = !eepromInitFlag_;
        else
            eepromInitFlag_ = false;
        setItemVisible(QStringLiteral("MnEEPROM1"), eepromInitFlag_);
    }
    return QMainWindow::eventFilter(watched, e);
}

// ------------------------------------------------------------------ start-up

void TKX9AppForm::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (startRequested_)
        return;
    startRequested_ = true;
    setWindowTitle(QString::fromUtf8(kCaption));
    raise();
    activateWindow();
    // The dialogs run from the event loop, once the window is on screen.
    QTimer::singleShot(0, this, &TKX9AppForm::StartUp);
}

void TKX9AppForm::endStartUp(bool running)
{
    startState_ = running ? StartState::Running : StartState::Ended;
    if (!running)
        close();
    emit startUpFinished(running);
}

void TKX9AppForm::StartUp()
{
    if (closed_ || closeRequested_) {
        endStartUp(false);
        return;
    }
    startState_ = StartState::Starting;
    const int mode = options_.UseUSB;
    // A link kind the monitor does not have would start a tool that can never
    // reach a reader: say which option is wrong and end.
    if (mode < 0 || mode > 2) {
        refuseOption(QStringLiteral("UseUSB"), mode,
                     QStringLiteral("0（RS-232C）、1（USB）、2（TCP/IP）のいずれかを設定してください。"));
        return;
    }
    if (mode == 0) {
        setItemVisible(QStringLiteral("MnPing"), false);
        setItemVisible(QStringLiteral("MnTelnet1"), false);
        if (!serial_->OpenSerialAtStart() || closeRequested_) {
            endStartUp(false);
            return;
        }
        finishStartUp();
        return;
    }
    setItemVisible(QStringLiteral("MnPing"), true);
    setItemVisible(QStringLiteral("MnTelnet1"), true);
    const bool confirmed = options_.fUseGrobalIP
                               ? LanConnectionDialogAtStart(this, options_)
                               : IpAddressSetupDialog(this, options_.TCPPort, options_.fTCPServer,
                                                      options_.TCPServPort, options_.TCPServAddr);
    if (!confirmed || closeRequested_) {
        endStartUp(false);
        return;
    }
    const bool server = options_.fTCPServer != 0;
    const int port = server ? options_.TCPPort : options_.TCPServPort;
    // The TCP port is checked only where it is used: a USB start never reads it.
    if (mode == 2 && (port < 1 || port > 65535)) {
        refuseOption(server ? QStringLiteral("TCPPort") : QStringLiteral("TCPServPort"), port,
                     QStringLiteral("1～65535 のポート番号を設定してください。"));
        return;
    }
    if (!createModuleAndOpen() || !waitForTcpConnection() || closeRequested_) {
        endStartUp(false);
        return;
    }
    finishStartUp();
}

void TKX9AppForm::finishStartUp()
{
    showConnectionPanel();
    if (comm_)
        Timer1->setInterval(comm_->RxPollMs());
    Timer1->start();
    if (options_.fUseInOutFormat)
        resize(width() + kInOutExtraWidth, height());
    PageControl1->setCurrentIndex(options_.fDufaultTab == 0 ? 0 : 1);
    PageControl1->setFocus();
    endStartUp(true);
}

void TKX9AppForm::ChangeReaderSpeed(int bps)
{
    // Behind a LAN module the module's own line speed has to follow the reader's.
    if (comm_ && comm_->LinkMode() == 2)
        ChangeReaderSpeedOverLan(*this, bps, [this, bps] { return serial_->ChangeReaderSpeed(bps); });
    else
        serial_->ChangeReaderSpeed(bps);
}

void TKX9AppForm::CheckPorts()
{
    if (!comm_)
        return;
    if (comm_->LinkMode() == 0)
        serial_->CheckPorts();
    else if (comm_->LinkMode() == 2)
        CheckPortsOverLan(*this);
}

void TKX9AppForm::refuseOption(const QString &key, int value, const QString &hint)
{
    QMessageBox::warning(this, QString::fromUtf8(kCaption),
                         QStringLiteral("オプションファイルの %1=%2 では接続できません。\n%3").arg(key).arg(value).arg(hint));
    endStartUp(false);
}

bool TKX9AppForm::createModuleAndOpen() { return CreateModule(options_.ComPort, options_.ComSpeed); }

bool TKX9AppForm::CreateModule(int port, int speedCode)
{
    LinkConfig config;
    config.LinkMode = options_.UseUSB;
    config.ComPort = port;
    config.ComSpeed = speedCode;
    config.TcpServerMode = options_.fTCPServer;
    config.TcpListenPort = options_.TCPPort;
    config.TcpRemotePort = options_.TCPServPort;
    config.TcpRemoteAddress = options_.TCPServAddr;
    comm_ = new TTComXDlg(config, iniPath_, options_, state_, Memo1, this);
    linkOpenFailed_ = false;
    connect(comm_.data(), &CommModule::linkOpenFailed, this, [this](const QString &message, const QString &) {
        linkOpenFailed_ = true;
        QMessageBox::warning(this, QString::fromUtf8(kCaption), message);
    });
    comm_->tagList().setView(StringGrid1);
    comm_->tagList().setOptions(&options_);
    // USB: the opening lines go to this window's log, a failed opening to the port check dialog.
    SetUpUsbLink(*comm_, this, [this](const QString &line) { AppLog(line); });
    comm_->Open();
    return !closeRequested_ && comm_ && !comm_->ToolEndRequested();
}

bool TKX9AppForm::waitForTcpConnection()
{
    if (!comm_ || comm_->LinkMode() != 2)
        return true;
    // A server that cannot listen waits for nobody: start-up ends after its message.
    if (linkOpenFailed_ && options_.fTCPServer)
        return false;
    WaitBox box(this, QString::fromUtf8(kTcpWaitText), true);
    setStatusHint(QString::fromUtf8(kTcpWaitText));
    connect(comm_.data(), &CommModule::connectedChanged, &box, &WaitBox::finish);
    TTComXDlg *module = comm_.data();
    QPointer<TTComXDlg> guard(module);
    const bool connected = box.waitFor([guard] { return guard && guard->Connected(); });
    setStatusHint(QString());
    return connected;
}

void TKX9AppForm::showConnectionPanel()
{
    const bool tcp = comm_ && comm_->LinkMode() == 2;
    if (tcp) {
        Notebook1->setCurrentWidget(Notebook1->findChild<QWidget *>(QStringLiteral("TCP_IP")));
        const bool server = options_.fTCPServer != 0;
        ST_TCPPORT->setText(QStringLiteral("Port: %1").arg(server ? options_.TCPPort : options_.TCPServPort));
        ST_TCPAddress->setText(QStringLiteral("IP: %1").arg(options_.TCPServAddr));
        ST_TCPAddress->setVisible(!server);
    } else {
        Notebook1->setCurrentWidget(Notebook1->findChild<QWidget *>(QStringLiteral("RS232C")));
        serial_->FillSerialPanel(options_.ComPort, options_.ComSpeed);
    }
    setItemVisible(QStringLiteral("MnSetCOMPort"), !tcp);
    setItemVisible(QStringLiteral("MnComPara"), !tcp);
    setItemVisible(QStringLiteral("MnSetTCPIP1"), tcp);
}

// ------------------------------------------------------------------ closing

// The window can be closed from inside a reply wait (the waits run the event
// loop), and the waiting action goes on using the module after its wait: the
// module is destroyed only once no wait of it is on the stack any more.
void TKX9AppForm::destroyModuleWhenIdle()
{
    if (!comm_)
        return;
    if (comm_->InWait()) {
        QTimer::singleShot(kModuleReapMs, this, &TKX9AppForm::destroyModuleWhenIdle);
        return;
    }
    delete comm_.data();
}

void TKX9AppForm::closeEvent(QCloseEvent *e)
{
    if (startState_ == StartState::Starting) {
        // Start-up is still on the stack (the module's connect wait runs the
        // event loop): tearing the module down now would pull it from under
        // that wait. Start-up ends the tool at its next step instead.
        closeRequested_ = true;
        e->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        // Options first, then the module (which saves ComDebug and closes the link).
        SaveAppOptions(iniPath_, options_);
        Timer1->stop();
        if (comm_) {
            comm_->Close();
            destroyModuleWhenIdle();
        }
        startState_ = StartState::Ended;
    }
    e->accept();
    QMainWindow::closeEvent(e);
}

} // namespace kx9
