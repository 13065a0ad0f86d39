#include "ui/input_dialogs.h"

#include "ui/int_edit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace kx9 {

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

IntEdit *makeNumber(QWidget *parent, const char *name, int radix)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setRadix(radix);
    e->setRange(0, 255);
    return e;
}

// Three prompt/field rows, then the buttons.
void threeRows(QWidget *dlg, QLabel *const (&prompts)[3], QWidget *const (&fields)[3], QWidget *buttons)
{
    auto *g = new QGridLayout(dlg);
    for (int i = 0; i < 3; ++i) {
        g->addWidget(prompts[i], i, 0);
        g->addWidget(fields[i], i, 1);
    }
    g->addWidget(buttons, 3, 0, 1, 2);
}

} // namespace

InputDialogBase::InputDialogBase(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ダイアログ"));
    setModal(true);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        // The fields show what the action will receive, even when OK is
        // pressed without the focus leaving a field.
        for (auto *e : findChildren<IntEdit *>())
            e->setValue(e->value());
        done(kModalOk);
    });
    connect(CancelBtn, &QPushButton::clicked, this, &InputDialogBase::reject);
}

void InputDialogBase::reject()
{
    done(kModalCancel);
}

QWidget *InputDialogBase::buttonRow()
{
    auto *row = new QWidget(this);
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addStretch();
    h->addWidget(OKBtn);
    h->addWidget(CancelBtn);
    return row;
}

TInputIntDlg::TInputIntDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TInputIntDlg"));
    STTitle = makeLabel(this, "STTitle", QStringLiteral("STTitle"));
    IntEd = makeNumber(this, "IntEd", 10);
    auto *v = new QVBoxLayout(this);
    v->addWidget(STTitle);
    v->addWidget(IntEd);
    v->addWidget(buttonRow());
}

TInp3Data1Dlg::TInp3Data1Dlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TInp3Data1Dlg"));
    STTitle1 = makeLabel(this, "STTitle1", QStringLiteral("STTitle"));
    STTitle2 = makeLabel(this, "STTitle2", QStringLiteral("STTitle"));
    STTitle3 = makeLabel(this, "STTitle3", QStringLiteral("STTitle"));
    IntEd1 = makeNumber(this, "IntEd1", 16);
    IntEd2 = makeNumber(this, "IntEd2", 16);
    IntEd3 = makeNumber(this, "IntEd3", 16);
    threeRows(this, {STTitle1, STTitle2, STTitle3}, {IntEd1, IntEd2, IntEd3}, buttonRow());
}

TInp3Data2Dlg::TInp3Data2Dlg(bool focusOnString, QWidget *parent)
    : InputDialogBase(parent), focusOnString_(focusOnString)
{
    setObjectName(QStringLiteral("TInp3Data2Dlg"));
    STTitle1 = makeLabel(this, "STTitle1", QStringLiteral("STTitle"));
    STTitle2 = makeLabel(this, "STTitle2", QStringLiteral("STTitle"));
    STTitle3 = makeLabel(this, "STTitle3", QStringLiteral("STTitle"));
    IntEd1 = makeNumber(this, "IntEd1", 10);
    IntEd2 = makeNumber(this, "IntEd2", 10);
    EdString = new QLineEdit(this);
    EdString->setObjectName(QStringLiteral("EdString"));
    threeRows(this, {STTitle1, STTitle2, STTitle3}, {IntEd1, IntEd2, EdString}, buttonRow());
}

void TInp3Data2Dlg::showEvent(QShowEvent *event)
{
    InputDialogBase::showEvent(event);
    if (focusOnString_ && !event->spontaneous() && EdString->isVisibleTo(this)) {
        EdString->setFocus(Qt::OtherFocusReason);
        // The dialog's own first-focus choice runs after the show event; take it back then.
        QTimer::singleShot(0, EdString, [e = EdString] { e->setFocus(Qt::OtherFocusReason); });
    }
}

TWrData1Dlg::TWrData1Dlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TWrData1Dlg"));
    setWindowTitle(QStringLiteral("１ブロック書込"));
    EdAddr = makeNumber(this, "EdAddr", 16);
    EdData3 = makeNumber(this, "EdData3", 16);
    EdData2 = makeNumber(this, "EdData2", 16);
    EdData1 = makeNumber(this, "EdData1", 16);
    EdData0 = makeNumber(this, "EdData0", 16);
    auto *g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral("アドレス(HEX)"), this), 0, 0);
    g->addWidget(EdAddr, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("データ(HEX)"), this), 1, 0);
    g->addWidget(EdData3, 1, 1);
    g->addWidget(EdData2, 1, 2);
    g->addWidget(EdData1, 1, 3);
    g->addWidget(EdData0, 1, 4);
    g->addWidget(new QLabel(QStringLiteral("上位バイト"), this), 2, 1);
    auto *low = new QLabel(QStringLiteral("下位バイト"), this);
    low->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->addWidget(low, 2, 4);
    g->addWidget(buttonRow(), 3, 0, 1, 5);
}

QHBoxLayout *OkCancelRow(QWidget *parent, QPushButton *&ok, QPushButton *&cancel, const QString &okText,
                         const QString &cancelText, bool okDefault, const QList<QPushButton *> &before)
{
    ok = new QPushButton(okText, parent);
    ok->setObjectName(QStringLiteral("BtOK"));
    if (okDefault)
        ok->setDefault(true);
    else
        ok->setAutoDefault(false);
    cancel = new QPushButton(cancelText, parent);
    cancel->setObjectName(QStringLiteral("BtCancel"));
    cancel->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    for (QPushButton *b : before) {
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace kx9
