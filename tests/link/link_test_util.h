#pragma once
// Small fixtures shared by the link tests.
#include "../support/memory_log.h"
#include "../support/wire_frame.h"

#include <QByteArray>
#include <QStringList>
#include <functional>

namespace kx9test {

// STX id kind LEN data ETX SUM CR, SUM over STX..ETX.
inline QByteArray makeFrame(uint8_t id, char kind, const QByteArray &data)
{
    return WireFrame(kind, data, id);
}

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace kx9test
