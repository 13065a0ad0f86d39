#pragma once
// The tests' own frame builder, written from the envelope rules (STX ID
// CMD/KIND LEN DATA ETX SUM CR) and sharing nothing with the programs under
// test, so a fault in their builders or parsers shows up as a difference.
#include <QByteArray>
#include <cstdint>

namespace kx9test {

// `len` < 0 writes the real DATA length; a lying LEN is for malformed-frame cases.
inline QByteArray WireFrame(char command, const QByteArray &data, uint8_t id = 0, int len = -1)
{
    QByteArray f;
    f.append(char(0x02)).append(char(id)).append(command).append(char(len < 0 ? data.size() : len)).append(data);
    f.append(char(0x03));
    uint8_t sum = 0;
    for (char c : f)
        sum = uint8_t(sum + uint8_t(c));
    f.append(char(sum)).append(char(0x0D));
    return f;
}

} // namespace kx9test
