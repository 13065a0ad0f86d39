#pragma once
// A number box for the editors whose values fill 32 bits (the wait timers and
// the area-2 data): the same rules as the shared number box (a radix, a range,
// values outside it become the nearest bound) over 64-bit values, so that
// 4294967295 and FFFFFFFF fit. It can take the place of a box of the shared
// input dialogs under the same objectName.
#include <QLineEdit>

class QDialog;
class QRegularExpressionValidator;

namespace kx9 {

class IntEdit;

class WideIntEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(qlonglong value READ value WRITE setValue USER true)
public:
    explicit WideIntEdit(QWidget *parent = nullptr);

    void setRadix(int radix);   // 16 for hexadecimal, anything else decimal
    int radix() const { return radix_; }
    void setRange(qlonglong minimum, qlonglong maximum);
    qlonglong minimum() const { return min_; }
    qlonglong maximum() const { return max_; }

    // The typed value limited to the range (an empty text gives the minimum).
    qlonglong value() const;
    void setValue(qlonglong value);
    QString formatValue(qlonglong value) const;

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void normalise();
    void updateValidator();
    qlonglong clamp(qlonglong v) const;

    QRegularExpressionValidator *validator_ = nullptr;
    int radix_ = 10;
    qlonglong min_ = 0;
    qlonglong max_ = 0xFFFFFFFFLL;
};

// Puts a wide box in the place of `box` inside `dialog` (same objectName,
// same place in the layout, same radix) and deletes `box`, which is set to
// null. Returns the new box.
WideIntEdit *ReplaceWithWideBox(QDialog *dialog, IntEdit *&box);

} // namespace kx9
