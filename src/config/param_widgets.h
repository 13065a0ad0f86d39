#pragma once
// Widgets the parameter dialogs are built from: the radio group, and the
// colours a comparison paints controls with.
#include "ui/radio_group.h"

#include <QColor>

class QPalette;

namespace kx9 {

// The parameter dialogs' radio groups: the item index is what the record
// stores (a bit, or a small number such as the tag protocol).
class ParamRadioGroup : public RadioGroup {
    Q_OBJECT
public:
    using RadioGroup::RadioGroup;
};

// A colour code of the option file: 0x00BBGGRR, or 0x80000000 plus a system
// colour index, which is taken from the palette role that plays the same part
// here (button face, window, highlight ...). Other high bytes are ignored.
QColor ColorFromCode(int code, const QPalette &palette);

// Paints the background of a control (number box, list, radio group) in
// `color`, the way the dialogs show a comparison.
void SetControlColor(QWidget *control, const QColor &color);

} // namespace kx9
