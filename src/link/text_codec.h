#pragma once
// Text on disk and tag bytes shown as text use the CP932 (Shift-JIS) code page.
// Everything that turns bytes into text or text into bytes goes through here,
// so another platform's converter can be dropped in at one place.
#include <QByteArray>
#include <QString>

namespace kx9 {

// False when the Qt build has no Shift_JIS converter; the functions then fall
// back to Latin-1 so nothing crashes, but Japanese text will not survive.
bool Cp932Available();

QByteArray EncodeCp932(const QString &text);
QString DecodeCp932(const QByteArray &bytes);
QString DecodeCp932(const char *bytes, int size);

} // namespace kx9
