#pragma once
// Small helpers the command catalogue files share to lay out DATA.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>

namespace kx9::cmd {

// The transmit-log label of an operation: its name and ": ".
inline QString label(const char *name) { return QString::fromUtf8(name) + QStringLiteral(": "); }

inline QByteArray bytes(std::initializer_list<uint8_t> list)
{
    QByteArray out;
    out.reserve(int(list.size()));
    for (uint8_t b : list)
        out.append(char(b));
    return out;
}

// Exactly n bytes of `in`: cut, or zero-filled at the end.
inline QByteArray fit(const QByteArray &in, int n)
{
    QByteArray out = in.left(n);
    if (out.size() < n)
        out.append(QByteArray(n - out.size(), '\0'));
    return out;
}

} // namespace kx9::cmd
