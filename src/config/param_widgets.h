#pragma once
// Widgets the parameter dialogs are built from: a radio group that hands out
// the index of its chosen item, and the colours a comparison paints controls
// with.
#include <QColor>
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QPalette;
class QRadioButton;

namespace kx9 {

// A titled group of radio buttons, one item per text, laid out in `columns`
// columns. The item index is what the parameter record stores (a bit, or a
// small number such as the tag protocol).
class ParamRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex USER true)
public:
    ParamRadioGroup(const QString &title, const QStringList &items, int columns = 0, QWidget *parent = nullptr);

    // -1 when no item is chosen.
    int itemIndex() const;
    // An index outside the items clears the choice.
    void setItemIndex(int index);
    int count() const;
    QRadioButton *item(int index) const;

private:
    QButtonGroup *buttons_;
};

// A colour code of the option file: 0x00BBGGRR, or 0x80000000 plus a system
// colour index, which is taken from the palette role that plays the same part
// here (button face, window, highlight ...). Other high bytes are ignored.
QColor ColorFromCode(int code, const QPalette &palette);

// Paints the background of a control (number box, list, radio group) in
// `color`, the way the dialogs show a comparison.
void SetControlColor(QWidget *control, const QColor &color);

} // namespace kx9
