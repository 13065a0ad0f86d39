#include "net/net_widgets.h"

#include "ui/int_edit.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace kx9 {

IntEdit *NumberBox(QWidget *parent, const QString &name, int max, int width)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(name);
    e->setRange(0, max);
    e->setFixedWidth(width);
    return e;
}

QHBoxLayout *AddressRow(QWidget *parent, const std::function<QString(int)> &name, std::array<IntEdit *, 4> &boxes)
{
    auto *row = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        boxes[i] = NumberBox(parent, name(i), 255, 44);
        row->addWidget(boxes[i]);
        if (i < 3)
            row->addWidget(new QLabel(QStringLiteral("."), parent));
    }
    row->addStretch();
    return row;
}

QButtonGroup *RadioRow(QWidget *group, QHBoxLayout *row, const QStringList &captions)
{
    auto *buttons = new QButtonGroup(group);
    for (int i = 0; i < captions.size(); ++i) {
        auto *r = new QRadioButton(captions[i], group);
        buttons->addButton(r, i);
        row->addWidget(r);
    }
    return buttons;
}

QString AddressText(const std::array<IntEdit *, 4> &b)
{
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]->value()).arg(b[1]->value()).arg(b[2]->value()).arg(b[3]->value());
}

} // namespace kx9
