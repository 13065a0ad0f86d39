#include "ui/radio_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

namespace kx9 {

RadioGroup::RadioGroup(const QString &title, const QStringList &items, int columns, QWidget *parent, Fill fill)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this))
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    const int n = int(items.size());
    const int cols = columns > 0 ? columns : qMax(n, 1);
    const int rows = (n + cols - 1) / cols;
    for (int i = 0; i < n; ++i) {
        auto *r = new QRadioButton(items[i], this);
        buttons_->addButton(r, i);
        if (fill == Fill::RowsFirst)
            grid->addWidget(r, i / cols, i % cols);
        else
            grid->addWidget(r, i % qMax(rows, 1), i / qMax(rows, 1));
    }
    buttons_->setExclusive(true);
}

int RadioGroup::itemIndex() const { return buttons_->checkedId(); }

int RadioGroup::count() const { return int(buttons_->buttons().size()); }

QRadioButton *RadioGroup::item(int index) const { return qobject_cast<QRadioButton *>(buttons_->button(index)); }

void RadioGroup::setItemIndex(int index)
{
    if (QAbstractButton *b = buttons_->button(index)) {
        b->setChecked(true);
        return;
    }
    // An exclusive group never lets go of its last checked button by itself.
    buttons_->setExclusive(false);
    for (QAbstractButton *b : buttons_->buttons())
        b->setChecked(false);
    buttons_->setExclusive(true);
}

void RadioGroup::setDisplayOnly()
{
    for (QAbstractButton *b : buttons_->buttons()) {
        b->setAttribute(Qt::WA_TransparentForMouseEvents);
        b->setFocusPolicy(Qt::NoFocus);
    }
}

} // namespace kx9
