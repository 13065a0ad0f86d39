#pragma once
// Widgets the gate dialogs are built from: a radio group that can show "no
// selection", a number box wide enough for a 32-bit counter, and the table
// that ties each control of a word-editing dialog to its bits.
#include "ui/radio_group.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class QButtonGroup;
class QComboBox;
class QRadioButton;

namespace kx9 {

class IntEdit;

namespace gate {

// The gate dialogs' radio groups, named, their items filled column by column.
class RadioGroup : public kx9::RadioGroup {
    Q_OBJECT
public:
    RadioGroup(const QString &name, const QString &title, const QStringList &items, QWidget *parent, int columns = 1)
        : kx9::RadioGroup(title, items, columns, parent, Fill::ColumnsFirst)
    {
        setObjectName(name);
    }
    int index() const { return itemIndex(); }   // -1: no item chosen
    void setIndex(int index) { setItemIndex(index); }
    QRadioButton *button(int index) const { return item(index); }
};

// A decimal box for an unsigned 32-bit counter.
class CountEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(qlonglong value READ value WRITE setValue USER true)
public:
    explicit CountEdit(const QString &name, QWidget *parent);
    qlonglong value() const;        // 0..4294967295, the nearest bound when outside
    void setValue(qlonglong v);
};

// The controls of a dialog that edits words bit field by bit field. Words
// are numbered from 0 in the order the dialog shows them.
class BitControls {
public:
    void add(QWidget *control, int word, int lo, int width);
    // Each control from its bits; a value without an item leaves the control
    // with no selection (a combo box then names the value in its place).
    void show(const QList<uint16_t> &words) const;
    // `read` with every field replaced by its control's value. A control with
    // no selection keeps the bits as read, as do the bits no control covers.
    QList<uint16_t> take(const QList<uint16_t> &read) const;
    // The value a control hands over (-1 for no selection).
    static int valueOf(const QWidget *control);
    static void setValueOf(QWidget *control, int value);

private:
    struct Entry {
        QWidget *control;
        int word, lo, width;
    };
    QList<Entry> entries_;
};

QString Hex2(int value);             // two upper-case hexadecimal digits

} // namespace gate
} // namespace kx9
