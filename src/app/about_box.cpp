#include "app/about_box.h"

#include "kx9_version.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace kx9 {

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    auto *lay = new QGridLayout(this);
    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    lay->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    const struct {
        const char *name;
        QString text;
    } labels[] = {
        {"ProductName", QString::fromUtf8(KX9_PRODUCT_NAME)},
        {"Version", QStringLiteral("     Version ") + QString::fromUtf8(KX9_VERSION)},
        {"Copyright", QString::fromUtf8(KX9_NOTICE)},
        {"Comments", QString::fromUtf8(KX9_DESCRIPTION)},
    };
    int row = 0;
    for (const auto &l : labels) {
        auto *label = new QLabel(l.text, this);
        label->setObjectName(QLatin1String(l.name));
        label->setWordWrap(true);
        lay->addWidget(label, row++, 1);
    }
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    lay->addWidget(ok, row, 0, 1, 2, Qt::AlignHCenter);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace kx9
