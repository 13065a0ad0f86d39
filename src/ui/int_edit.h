#pragma once
// A one-line number box with a radix (10 or 16) and a range. Whatever is set
// or typed, the value it hands out is inside the range: a value outside it
// becomes the nearest bound, and the text is rewritten to match when editing
// ends.
#include <QLineEdit>

namespace kx9 {

class IntEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue USER true)
public:
    explicit IntEdit(QWidget *parent = nullptr);

    int radix() const { return radix_; }
    void setRadix(int radix);              // 16 for hexadecimal, anything else is decimal
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setRange(int minimum, int maximum);

    // The value of the text as typed, limited to the range (an empty text gives the minimum).
    int value() const;
    void setValue(int value);

    // Text of a value in this box's radix (hexadecimal upper case, as wide as the maximum).
    QString formatValue(int value) const;

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void normalise();
    void updateValidator();
    int clamp(long long value) const;

    int radix_ = 10;
    int min_ = 0;
    int max_ = 255;
};

} // namespace kx9
