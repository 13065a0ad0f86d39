#include "runner/command_runner.h"

#include "actions/action_host.h"
#include "actions/action_util.h"
#include "commands/ttcomxdlg.h"
#include "link/options.h"
#include "runner/guage_dialog.h"
#include "runner/runner_widgets.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kx9 {

namespace {

constexpr int kRunnerLogLimit = 1000;
constexpr int kStayQuietPauseMs = 100;

enum Command {
    Inventory, StayQuiet, ReadSingleBlock, WriteSingleBlock, ReadMultiBlock, WriteMultiBlock, SelectTag,
    ResetToReady, WriteAFI, WriteDSFID, GetSystemInfo, GetMBlockSecSt
};

const QString kValuesCaption = QStringLiteral("設定値の入力");

void setNumber(IntEdit *e, int radix, int value)
{
    e->setRadix(radix);
    e->setRange(0, 255);
    e->setValue(value);
}

void hideNumber(QLabel *prompt, IntEdit *field)
{
    prompt->setText(QString());
    field->hide();
}

ChoiceGroup *flagGroup(const char *name, const char *title, QWidget *parent)
{
    return new ChoiceGroup(QLatin1String(name), QString::fromUtf8(title), {QStringLiteral("0"), QStringLiteral("1")}, 2,
                          parent);
}

} // namespace

const QStringList &TCoomandDlg1::CommandNames()
{
    static const QStringList names = {
        QStringLiteral("Inventory"),      QStringLiteral("StayQuiet"),    QStringLiteral("ReadSingleBlock"),
        QStringLiteral("WriteSingleBlock"), QStringLiteral("ReadMultiBlock"), QStringLiteral("WriteMultiBlock"),
        QStringLiteral("SelectTag"),      QStringLiteral("ResetToReady"), QStringLiteral("WriteAFI"),
        QStringLiteral("WriteDSFID"),     QStringLiteral("GetSystemInfo"), QStringLiteral("GetMBlockSecSt"),
    };
    return names;
}

TCoomandDlg1::TCoomandDlg1(ActionHost &host, QWidget *parent)
    : QDialog(parent), host_(host), window_(host.hostWindow())
{
    setObjectName(QStringLiteral("TCoomandDlg1"));
    setWindowTitle(QStringLiteral("コマンドの実行"));
    setModal(true);

    auto *options = new QGroupBox(QStringLiteral("オプション"), this);
    options->setObjectName(QStringLiteral("GroupBox1"));
    auto *og = new QGridLayout(options);
    og->addWidget(new QLabel(QStringLiteral("ＵＩＤの指定"), options), 0, 0);
    CBUidFlag = new QComboBox(options);
    CBUidFlag->setObjectName(QStringLiteral("CBUidFlag"));
    CBUidFlag->addItems({QStringLiteral("指定しない"), QStringLiteral("コマンドで指定"),
                         QStringLiteral("カレントのＵＩＤを使用する")});
    og->addWidget(CBUidFlag, 0, 1, 1, 2);
    RGSelect = flagGroup("RGSelect", "select_flag", options);
    RGAddress = flagGroup("RGAddress", "address_flag", options);
    RGOption = flagGroup("RGOption", "option_flag", options);
    RGAFI = flagGroup("RGAFI", "AFI_flag", options);
    RGNBSlots = flagGroup("RGNBSlots", "Nb_slots_flag", options);
    RBDummy1 = flagGroup("RBDummy1", "未使用", options);
    const QList<ChoiceGroup *> groups = {RGSelect, RGAddress, RGOption, RGAFI, RGNBSlots, RBDummy1};
    for (int i = 0; i < groups.size(); ++i)
        og->addWidget(groups.at(i), 1 + i / 3, i % 3);

    auto *commandBox = new QGroupBox(this);
    commandBox->setObjectName(QStringLiteral("GroupBox2"));
    auto *cg = new QGridLayout(commandBox);
    cg->addWidget(new QLabel(QStringLiteral("コマンド"), commandBox), 0, 0);
    CBCommand = new QComboBox(commandBox);
    CBCommand->setObjectName(QStringLiteral("CBCommand"));
    // Typed text is accepted too; a name not in the list runs nothing.
    CBCommand->setEditable(true);
    CBCommand->setInsertPolicy(QComboBox::NoInsert);
    CBCommand->addItems(CommandNames());
    CBCommand->setCurrentIndex(0);
    cg->addWidget(CBCommand, 0, 1);
    CBfLoop = new QCheckBox(QStringLiteral("連続実行する"), commandBox);
    CBfLoop->setObjectName(QStringLiteral("CBfLoop"));
    cg->addWidget(CBfLoop, 0, 2);

    Memo1 = new LogMemo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setMinimumSize(460, 220);

    STCount = new QLabel(this);
    STCount->setObjectName(QStringLiteral("STCount"));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &TCoomandDlg1::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TCoomandDlg1::reject);

    auto *lay = new QVBoxLayout(this);
    lay->addWidget(options);
    lay->addWidget(commandBox);
    lay->addWidget(Memo1, 1);
    auto *row = new QHBoxLayout;
    row->addWidget(STCount, 1);
    row->addWidget(OKBtn);
    row->addWidget(CancelBtn);
    lay->addLayout(row);

    showFlags(RunnerFlags);
    STCount->setText(QStringLiteral("OK: 0  NG: 0"));
}

TCoomandDlg1::~TCoomandDlg1()
{
    restoreLog();
}

uint8_t TCoomandDlg1::composeFlags() const
{
    uint8_t f = uint8_t(qMax(0, CBUidFlag->currentIndex()) & 3);
    const QList<ChoiceGroup *> groups = {RGSelect, RGAddress, RGOption, RGAFI, RGNBSlots, RBDummy1};
    for (int i = 0; i < groups.size(); ++i)
        if (groups.at(i)->itemIndex() == 1)
            f |= uint8_t(1u << (2 + i));
    return f;
}

void TCoomandDlg1::showFlags(uint8_t flags)
{
    CBUidFlag->setCurrentIndex(flags & 3);
    const QList<ChoiceGroup *> groups = {RGSelect, RGAddress, RGOption, RGAFI, RGNBSlots, RBDummy1};
    for (int i = 0; i < groups.size(); ++i)
        groups.at(i)->setItemIndex((flags >> (2 + i)) & 1);
}

void TCoomandDlg1::RunnerLog(const QString &text)
{
    if (Memo1->lineCount() >= kRunnerLogLimit)
        Memo1->clearLog();
    Memo1->appendLine(text);
}

TTComXDlg *TCoomandDlg1::comm() const
{
    return window_ ? host_.comm() : nullptr;
}

bool TCoomandDlg1::hostGone() const
{
    // The main window closing ends a run: its module is closing and every
    // further command would only wait out its time-out.
    return !window_ || !window_->isVisible() || !host_.comm();
}

void TCoomandDlg1::showEvent(QShowEvent *event)
{
    redirectLog();
    QDialog::showEvent(event);
}

void TCoomandDlg1::redirectLog()
{
    if (redirected_)
        return;
    TTComXDlg *c = comm();
    if (!c)
        return;
    redirected_ = c;
    previousTarget_ = c->logTarget();
    c->setLogTarget(Memo1);
}

void TCoomandDlg1::restoreLog()
{
    if (redirected_ && redirected_->logTarget() == Memo1)
        redirected_->setLogTarget(previousTarget_);
    redirected_ = nullptr;
}

void TCoomandDlg1::done(int r)
{
    if (running_) {
        // Takes effect once the run has ended.
        closeRequest_ = r;
        return;
    }
    restoreLog();
    QDialog::done(r);
}

void TCoomandDlg1::countOutcome(bool ok)
{
    if (ok)
        ++ok_;
    else
        ++ng_;
    STCount->setText(QStringLiteral("OK: %1  NG: %2").arg(ok_).arg(ng_));
}

void TCoomandDlg1::OKBtnClick()
{
    if (running_)
        return;   // one run at a time; the progress box's Cancel ends it
    RunnerFlags = composeFlags();
    const QString text = CBCommand->currentText();
    const int index = text.isEmpty() ? -1 : int(CommandNames().indexOf(text));
    if (index < 0) {
        RunnerLog(QStringLiteral("no command"));
        return;
    }
    RunnerLog(CommandNames().at(index));
    runCommand(index, CBfLoop->isChecked());
}

bool TCoomandDlg1::prepare(int index, Sender &send)
{
    const uint8_t f = RunnerFlags;
    const AppOptions &opt = host_.appOptions();
    switch (index) {
    case Inventory:
        send = [f](TTComXDlg &c) { return c.ISO15693_Inventory(f); };
        return true;
    case StayQuiet:
        send = [f](TTComXDlg &c) { return c.StayQuiet(f, c.CurrentUidBytes()); };
        return true;
    case SelectTag:
        send = [f](TTComXDlg &c) { return c.ISO15693_SelectTag(f, c.CurrentUidBytes()); };
        return true;
    case ResetToReady:
        send = [f](TTComXDlg &c) { return c.ISO15693_ResetToReady(f); };
        return true;
    case GetSystemInfo:
        send = [f](TTComXDlg &c) { return c.ISO15693_GetSystemInfo(f); };
        return true;
    case ReadSingleBlock: {
        TInputIntDlg dlg(this);
        dlg.setWindowTitle(QStringLiteral("ブロックＮＯ"));
        dlg.STTitle->setText(QStringLiteral("ブロックＮＯを入力してください"));
        setNumber(dlg.IntEd, 10, RunnerBlockNo);
        if (dlg.exec() != kModalOk)
            return false;
        RunnerBlockNo = uint8_t(dlg.IntEd->value());
        const uint8_t block = RunnerBlockNo;
        send = [block, f](TTComXDlg &c) { return c.ISO15693_ReadSingleBlock(block, f); };
        return true;
    }
    case WriteSingleBlock: {
        TInp3Data2Dlg dlg(false, this);
        dlg.setWindowTitle(kValuesCaption);
        dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ"));
        setNumber(dlg.IntEd1, 10, RunnerBlockNo);
        hideNumber(dlg.STTitle2, dlg.IntEd2);
        dlg.STTitle3->setText(QStringLiteral("データ（%1文字）").arg(opt.TagBlockSize));
        dlg.EdString->setText(RunnerDataText);
        if (dlg.exec() != kModalOk)
            return false;
        RunnerBlockNo = uint8_t(dlg.IntEd1->value());
        RunnerDataText = dlg.EdString->text();
        const QString why = BlockWriteRefusal(opt.TagBlockSize, 3, f);
        if (!why.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("書き込みできません"), why);
            return false;
        }
        // Converted once: every pass of a continuous run sends the same bytes.
        const QByteArray bytes = TextToBlockBytes(RunnerDataText, opt.TagBlockSize);
        const uint8_t block = RunnerBlockNo;
        send = [block, bytes, f](TTComXDlg &c) { return c.ISO15693_WriteSingleBlock(block, bytes, f); };
        return true;
    }
    case ReadMultiBlock:
    case WriteMultiBlock:
    case GetMBlockSecSt: {
        const bool withText = index == WriteMultiBlock;
        TInp3Data2Dlg dlg(false, this);
        dlg.setWindowTitle(kValuesCaption);
        dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ"));
        dlg.STTitle2->setText(QStringLiteral("ブロック数"));
        setNumber(dlg.IntEd1, 10, RunnerFirstBlock);
        setNumber(dlg.IntEd2, 10, RunnerBlockCount);
        if (withText) {
            dlg.STTitle3->setText(QStringLiteral("データ（文字列）"));
            dlg.EdString->setText(RunnerDataText);
        } else {
            dlg.STTitle3->setText(QString());
            dlg.EdString->hide();
        }
        if (dlg.exec() != kModalOk)
            return false;
        RunnerFirstBlock = uint8_t(dlg.IntEd1->value());
        RunnerBlockCount = uint8_t(dlg.IntEd2->value());
        const uint8_t first = RunnerFirstBlock, count = RunnerBlockCount;
        if (index == ReadMultiBlock) {
            send = [=](TTComXDlg &c) { return c.ISO15693_ReadMultiBlock(first, count, f); };
            return true;
        }
        if (index == GetMBlockSecSt) {
            send = [=](TTComXDlg &c) { return c.ISO15693_GetMBlockSecSt(first, count, f); };
            return true;
        }
        RunnerDataText = dlg.EdString->text();
        const int n = (int(count) + 1) * opt.TagBlockSize;
        // The action buffer holds 256 bytes: a larger request is refused, as
        // the menu action does, rather than cut.
        const QString why = BlockWriteRefusal(n, 4, f);
        if (!why.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("書き込みできません"), why);
            return false;
        }
        const QByteArray bytes = TextToBlockBytes(RunnerDataText, n);
        send = [=](TTComXDlg &c) { return c.ISO15693_WriteMultiBlock(first, count, bytes, f); };
        return true;
    }
    case WriteAFI:
    case WriteDSFID: {
        TInp3Data1Dlg dlg(this);
        dlg.setWindowTitle(kValuesCaption);
        hideNumber(dlg.STTitle1, dlg.IntEd1);
        hideNumber(dlg.STTitle2, dlg.IntEd2);
        dlg.STTitle3->setText(QStringLiteral("データ（１６進）"));
        setNumber(dlg.IntEd3, 16, RunnerAfiDsfid);
        if (dlg.exec() != kModalOk)
            return false;
        RunnerAfiDsfid = uint8_t(dlg.IntEd3->value());
        const uint8_t v = RunnerAfiDsfid;
        if (index == WriteAFI)
            send = [v, f](TTComXDlg &c) { return c.ISO15693_WriteAFI(v, f); };
        else
            send = [v, f](TTComXDlg &c) { return c.ISO15693_WrietDSFID(v, f); };
        return true;
    }
    default:
        return false;
    }
}

void TCoomandDlg1::runCommand(int index, bool continuous)
{
    Sender send;
    if (!prepare(index, send))
        return;
    ok_ = ng_ = 0;
    STCount->setText(QStringLiteral("OK: 0  NG: 0"));
    const QPointer<TCoomandDlg1> self(this);
    running_ = true;
    if (continuous)
        runContinuously(send, index == StayQuiet);
    else
        runOnce(send, index == StayQuiet);
    if (!self)
        return;
    running_ = false;
    if (hostGone() && closeRequest_ < 0)
        closeRequest_ = QDialog::Rejected;
    if (closeRequest_ >= 0) {
        const int r = closeRequest_;
        closeRequest_ = -1;
        done(r);
    }
}

void TCoomandDlg1::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One command and its outcome; false when the run must end because the main
// window (and with it the module) has gone.
bool TCoomandDlg1::passOnce(const Sender &send, bool stayQuiet)
{
    const QPointer<TCoomandDlg1> self(this);
    TTComXDlg *c = comm();
    if (!c || hostGone())
        return false;
    const QPointer<TTComXDlg> module(c);
    send(*c);
    if (stayQuiet) {
        // No reply is waited for in a run; the pause paces the passes.
        pause(kStayQuietPauseMs);
        return self && module;
    }
    const bool ok = c->WaitAck();
    if (!self || !module)
        return false;
    RunnerLog(ok ? QStringLiteral("command OK") : QStringLiteral("command NG"));
    countOutcome(ok);
    emit outcomeLogged(ok);
    return self != nullptr;
}

void TCoomandDlg1::runOnce(const Sender &send, bool stayQuiet)
{
    if (!stayQuiet) {
        passOnce(send, false);
        return;
    }
    // A single StayQuiet waits for the reply but shows nothing of it.
    const QPointer<TCoomandDlg1> self(this);
    TTComXDlg *c = comm();
    if (!c || hostGone())
        return;
    const QPointer<TTComXDlg> module(c);
    send(*c);
    c->WaitAck();
    if (self && module)
        pause(kStayQuietPauseMs);
}

void TCoomandDlg1::runContinuously(const Sender &send, bool stayQuiet)
{
    const QPointer<TCoomandDlg1> self(this);
    auto *guage = new TGuage1Dlg(this);
    guage_ = guage;
    guage->setWindowTitle(QStringLiteral("コマンド連続実行"));
    guage->setLabel(QStringLiteral("コマンド実行中..."));
    guage->Button1->setVisible(true);
    guage->Panel2->setVisible(false);
    guage->ProgressBar1->setVisible(false);
    QCoreApplication::processEvents();
    if (!self)
        return;
    guage->showInFront();
    QCoreApplication::processEvents();
    for (;;) {
        if (!self || !guage_)
            break;
        QCoreApplication::processEvents();
        if (!self || !guage_ || !guage_->running())
            break;
        if (!passOnce(send, stayQuiet))
            break;
    }
    if (guage_)
        delete guage_.data();
}

} // namespace kx9
