#pragma once
// A titled group of radio buttons that hands out the index of its chosen
// item, as the dialogs store it (a bit, a small code, a list position).
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace kx9 {

class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex USER true)
public:
    // Items fill `columns` columns row by row (0: all in one row), or column
    // by column with `columnsFirst`.
    enum class Fill { RowsFirst, ColumnsFirst };
    RadioGroup(const QString &title, const QStringList &items, int columns = 0, QWidget *parent = nullptr,
               Fill fill = Fill::RowsFirst);

    // -1 when no item is chosen.
    int itemIndex() const;
    // An index outside the items clears the choice.
    void setItemIndex(int index);
    int count() const;
    QRadioButton *item(int index) const;
    // Shown, but the operator cannot change it.
    void setDisplayOnly();

private:
    QButtonGroup *buttons_;
};

} // namespace kx9
