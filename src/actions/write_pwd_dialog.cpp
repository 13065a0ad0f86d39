#include "actions/write_pwd_dialog.h"

#include "ui/int_edit.h"

#include <QGridLayout>
#include <QLabel>

namespace kx9 {

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &text, Qt::Alignment align = Qt::AlignLeft)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
}

IntEdit *hexByte(QWidget *parent, const char *name)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setRadix(16);
    e->setRange(0, 255);
    e->setValue(0);
    return e;
}

QByteArray fourBytes(IntEdit *b0, IntEdit *b1, IntEdit *b2, IntEdit *b3)
{
    QByteArray out;
    for (IntEdit *e : {b0, b1, b2, b3})
        out.append(char(e->value()));
    return out;
}

} // namespace

TWritePwdDlg::TWritePwdDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TWritePwdDlg"));
    LbPassword = label(this, "LbPassword", QStringLiteral("パスワード(HEX)"));
    EdData3 = hexByte(this, "EdData3");
    EdData2 = hexByte(this, "EdData2");
    EdData1 = hexByte(this, "EdData1");
    EdData0 = hexByte(this, "EdData0");
    STTitle1 = label(this, "STTitle1", QStringLiteral("STTitle"));
    IntEd1 = hexByte(this, "IntEd1");
    STTitle3 = label(this, "STTitle3", QStringLiteral("STTitle"));
    EdWrdata3 = hexByte(this, "EdWrdata3");
    EdWrdata2 = hexByte(this, "EdWrdata2");
    EdWrdata1 = hexByte(this, "EdWrdata1");
    EdWrdata0 = hexByte(this, "EdWrdata0");
    Label1 = label(this, "Label1", QStringLiteral("上位バイト"));
    Label5 = label(this, "Label5", QStringLiteral("下位バイト"), Qt::AlignRight);

    auto *g = new QGridLayout(this);
    // Password row with its byte-order labels above it.
    g->addWidget(label(this, "LbPassHigh", QStringLiteral("上位バイト")), 0, 1);
    g->addWidget(label(this, "LbPassLow", QStringLiteral("下位バイト"), Qt::AlignRight), 0, 4);
    g->addWidget(LbPassword, 1, 0);
    g->addWidget(EdData3, 1, 1);
    g->addWidget(EdData2, 1, 2);
    g->addWidget(EdData1, 1, 3);
    g->addWidget(EdData0, 1, 4);
    // Block row.
    g->addWidget(STTitle1, 2, 0);
    g->addWidget(IntEd1, 2, 1);
    // Data row, labels above.
    g->addWidget(Label1, 3, 1);
    g->addWidget(Label5, 3, 4);
    g->addWidget(STTitle3, 4, 0);
    g->addWidget(EdWrdata3, 4, 1);
    g->addWidget(EdWrdata2, 4, 2);
    g->addWidget(EdWrdata1, 4, 3);
    g->addWidget(EdWrdata0, 4, 4);
    g->addWidget(buttonRow(), 5, 0, 1, 5);
}

void TWritePwdDlg::setPassword(const uint8_t (&bytes)[4])
{
    EdData0->setValue(bytes[0]);
    EdData1->setValue(bytes[1]);
    EdData2->setValue(bytes[2]);
    EdData3->setValue(bytes[3]);
}

QByteArray TWritePwdDlg::password() const { return fourBytes(EdData0, EdData1, EdData2, EdData3); }

void TWritePwdDlg::setData(const QByteArray &bytes4)
{
    const auto at = [&](int i) { return i < bytes4.size() ? int(uint8_t(bytes4.at(i))) : 0; };
    EdWrdata0->setValue(at(0));
    EdWrdata1->setValue(at(1));
    EdWrdata2->setValue(at(2));
    EdWrdata3->setValue(at(3));
}

QByteArray TWritePwdDlg::data() const { return fourBytes(EdWrdata0, EdWrdata1, EdWrdata2, EdWrdata3); }

void TWritePwdDlg::hideBlockAndDataRows()
{
    for (QWidget *w : std::initializer_list<QWidget *>{STTitle1, IntEd1, STTitle3, EdWrdata0, EdWrdata1, EdWrdata2,
                                                       EdWrdata3, Label1, Label5})
        w->hide();
}

} // namespace kx9
