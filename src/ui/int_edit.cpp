#include "ui/int_edit.h"

#include <QRegularExpressionValidator>
#include <algorithm>

namespace kx9 {

IntEdit::IntEdit(QWidget *parent) : QLineEdit(parent)
{
    updateValidator();
    setValue(0);
    connect(this, &QLineEdit::editingFinished, this, &IntEdit::normalise);
}

void IntEdit::setRadix(int radix)
{
    const int v = value();
    radix_ = radix == 16 ? 16 : 10;
    updateValidator();
    setValue(v);
}

void IntEdit::setRange(int minimum, int maximum)
{
    if (maximum < minimum)
        std::swap(minimum, maximum);
    const int v = value();
    min_ = minimum;
    max_ = maximum;
    updateValidator();
    setValue(v);
}

int IntEdit::clamp(long long value) const
{
    return int(std::clamp<long long>(value, min_, max_));
}

int IntEdit::value() const
{
    const QString t = text().trimmed();
    if (t.isEmpty() || t == QLatin1String("-"))
        return min_;
    bool ok = false;
    // Too many digits for a long long still means "above the range".
    const long long v = t.toLongLong(&ok, radix_);
    if (!ok)
        return t.startsWith(QLatin1Char('-')) ? min_ : max_;
    return clamp(v);
}

QString IntEdit::formatValue(int value) const
{
    if (radix_ != 16)
        return QString::number(value);
    const int width = int(QString::number(std::max(max_, 0), 16).size());
    const QString digits = QString::number(std::abs(value), 16).toUpper().rightJustified(width, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

void IntEdit::setValue(int value)
{
    const QString t = formatValue(clamp(value));
    if (t != text())
        setText(t);
}

void IntEdit::normalise()
{
    setValue(value());
}

void IntEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    normalise();
}

void IntEdit::updateValidator()
{
    // Only the radix's digits (and a sign when the range has negatives); the
    // range itself is applied to the value, not refused while typing.
    const QString digits = radix_ == 16 ? QStringLiteral("[0-9A-Fa-f]") : QStringLiteral("[0-9]");
    const QString sign = min_ < 0 ? QStringLiteral("-?") : QString();
    const QRegularExpression re(QStringLiteral("^%1%2{0,12}$").arg(sign, digits));
    auto *old = validator();
    setValidator(new QRegularExpressionValidator(re, this));
    if (old && old->parent() == this)
        delete old;
}

} // namespace kx9
