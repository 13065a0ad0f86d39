#include "capture/capture_actions.h"

#include "actions/action_host.h"
#include "capture/link_capture.h"
#include "commands/ttcomxdlg.h"
#include "link/options.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace kx9 {

namespace {

const char *const kItemName = "MnCapture";

class CaptureActions : public QObject {
public:
    CaptureActions(ActionHost &host, QAction *item, QObject *parent)
        : QObject(parent), host_(host), item_(item), capture_(new LinkCapture(this))
    {
        capture_->setObjectName(QStringLiteral("LinkCapture"));
        connect(item_, &QAction::triggered, this, [this] { toggle(); });
        connect(capture_, &LinkCapture::stoppedByItself, this, [this](const QString &reason) {
            showState();
            if (reason.isEmpty()) {
                host_.AppLog(QStringLiteral("キャプチャ終了: %1（%2 パケット）")
                                 .arg(QDir::toNativeSeparators(capture_->fileName()))
                                 .arg(capture_->packetCount()));
                return;
            }
            host_.AppLog(QStringLiteral("キャプチャ中止: %1").arg(reason));
            QMessageBox::warning(host_.hostWindow(), QStringLiteral("通信キャプチャ"),
                                 QStringLiteral("キャプチャファイルに書き込めません。キャプチャを中止しました。\n%1\n%2")
                                     .arg(QDir::toNativeSeparators(capture_->fileName() + QStringLiteral(".part")),
                                          reason));
        });
        showState();
    }

private:
    void showState()
    {
        const bool on = capture_->isRunning();
        item_->setChecked(on);
        item_->setText(on ? QStringLiteral("通信キャプチャの停止") : QStringLiteral("通信キャプチャの開始..."));
    }

    void toggle()
    {
        // The file dialog runs the event loop: a second pick meanwhile is ignored.
        if (busy_) {
            showState();
            return;
        }
        busy_ = true;
        if (capture_->isRunning())
            finish();
        else
            begin();
        busy_ = false;
        showState();
    }

    void begin()
    {
        TTComXDlg *comm = host_.comm();
        if (!comm) {
            QMessageBox::information(host_.hostWindow(), QStringLiteral("通信キャプチャ"),
                                     QStringLiteral("通信の準備ができていません。接続してから開始してください。"));
            return;
        }
        const QString path = askFile();
        if (path.isEmpty())
            return;
        if (!capture_->start(*comm, path)) {
            QMessageBox::warning(host_.hostWindow(), QStringLiteral("通信キャプチャ"),
                                 QStringLiteral("キャプチャファイルを作成できません。\n%1\n%2")
                                     .arg(QDir::toNativeSeparators(path), capture_->errorString()));
            return;
        }
        folder_ = QFileInfo(path).absolutePath();
        host_.AppLog(QStringLiteral("キャプチャ開始: %1").arg(QDir::toNativeSeparators(capture_->fileName())));
    }

    void finish()
    {
        if (!capture_->stop()) {
            QMessageBox::warning(host_.hostWindow(), QStringLiteral("通信キャプチャ"),
                                 QStringLiteral("キャプチャファイルを保存できません。\n%1\n%2")
                                     .arg(QDir::toNativeSeparators(capture_->fileName()), capture_->errorString()));
            return;
        }
        host_.AppLog(QStringLiteral("キャプチャ終了: %1（%2 パケット）")
                         .arg(QDir::toNativeSeparators(capture_->fileName()))
                         .arg(capture_->packetCount()));
    }

    QString askFile()
    {
        QFileDialog dlg(host_.hostWindow());
        dlg.setObjectName(QStringLiteral("SaveCaptureDialog"));
        dlg.setWindowTitle(QStringLiteral("キャプチャファイルの保存"));
        dlg.setOption(QFileDialog::DontUseNativeDialog, true);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setNameFilters({QStringLiteral("pcapng (*.pcapng)"), QStringLiteral("すべてのファイル (*)")});
        dlg.setDefaultSuffix(QStringLiteral("pcapng"));
        dlg.setDirectory(folder_.isEmpty() ? ToolDataFolder() : folder_);
        dlg.selectFile(QStringLiteral("kx9-%1.pcapng")
                           .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        return dlg.selectedFiles().constFirst();
    }

    ActionHost &host_;
    QPointer<QAction> item_;
    LinkCapture *capture_;
    QString folder_;
    bool busy_ = false;
};

} // namespace

void AttachCaptureActions(ActionHost &host)
{
    QWidget *window = host.hostWindow();
    if (!window || host.findAction(QLatin1String(kItemName)))
        return;
    auto *menu = window->findChild<QMenu *>(QStringLiteral("MnFile"));
    if (!menu)
        return;
    auto *item = new QAction(menu);
    item->setObjectName(QLatin1String(kItemName));
    item->setCheckable(true);
    item->setStatusTip(QStringLiteral("送受信した全フレームを pcapng ファイルに記録します"));
    // Above the separator that precedes 終了(&X), or at the end of the menu.
    QAction *before = nullptr;
    const QList<QAction *> items = menu->actions();
    for (int i = 0; i < items.size(); ++i) {
        if (items[i]->objectName() == QLatin1String("MnExit")) {
            before = i > 0 && items[i - 1]->isSeparator() ? items[i - 1] : items[i];
            break;
        }
    }
    menu->insertAction(before, item);
    auto *actions = new CaptureActions(host, item, window);
    actions->setObjectName(QStringLiteral("CaptureActions"));
}

} // namespace kx9
