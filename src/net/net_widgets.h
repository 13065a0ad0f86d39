#pragma once
// Pieces the network dialogs share: number boxes, a dotted address row and a
// row of radio buttons.
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class QButtonGroup;
class QHBoxLayout;
class QWidget;

namespace kx9 {

class IntEdit;

IntEdit *NumberBox(QWidget *parent, const QString &name, int max, int width);
// Four 0..255 boxes separated by "." labels; box i (0..3) is named name(i).
QHBoxLayout *AddressRow(QWidget *parent, const std::function<QString(int)> &name, std::array<IntEdit *, 4> &boxes);
// The captions as radio buttons in a row inside `group`, ids 0, 1, ... in order.
QButtonGroup *RadioRow(QWidget *group, QHBoxLayout *row, const QStringList &captions);
// "a.b.c.d" from the four boxes.
QString AddressText(const std::array<IntEdit *, 4> &boxes);

} // namespace kx9
