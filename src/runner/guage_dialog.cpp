#include "runner/guage_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx9 {

TGuage1Dlg::TGuage1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TGuage1Dlg"));
    setWindowTitle(QStringLiteral("変換実行中"));
    setModal(false);
    auto *lay = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumWidth(260);
    lay->addWidget(Label1);
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::StyledPanel);
    auto *panel = new QVBoxLayout(Panel2);
    ProgressBar1 = new QProgressBar(Panel2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    panel->addWidget(ProgressBar1);
    lay->addWidget(Panel2);
    Button1 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    // Enter meant for the window behind must not end a run.
    Button1->setAutoDefault(false);
    lay->addWidget(Button1, 0, Qt::AlignHCenter);
    connect(Button1, &QPushButton::clicked, this, &TGuage1Dlg::cancel);
}

void TGuage1Dlg::showInFront()
{
    running_ = true;
    show();
    raise();
    activateWindow();
}

void TGuage1Dlg::showEvent(QShowEvent *event)
{
    running_ = true;
    QDialog::showEvent(event);
}

void TGuage1Dlg::setLabel(const QString &text) { Label1->setText(text); }
QString TGuage1Dlg::label() const { return Label1->text(); }
void TGuage1Dlg::setPosition(int percent) { ProgressBar1->setValue(qBound(0, percent, 100)); }
int TGuage1Dlg::position() const { return ProgressBar1->value(); }

void TGuage1Dlg::cancel()
{
    if (!running_)
        return;
    running_ = false;
    emit cancelled();
}

// Escape and the window's close button stop the loop as Cancel does; the loop
// that owns the box hides and destroys it when it has ended.
void TGuage1Dlg::reject()
{
    if (Button1->isVisible())
        cancel();
}

void TGuage1Dlg::closeEvent(QCloseEvent *event)
{
    if (Button1->isVisible())
        cancel();
    event->ignore();
}

} // namespace kx9
