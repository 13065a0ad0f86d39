#pragma once
// Small fixtures shared by the link tests: an in-memory log control and a
// reference frame builder written independently of the library's.
#include "link/log_target.h"

#include <QByteArray>
#include <QStringList>
#include <functional>

namespace kx9test {

class MemoryLog : public kx9::LogTarget {
public:
    int lineCount() const override { return int(lines.size()); }
    void clearLog() override { lines.clear(); ++clears; }
    void appendLine(const QString &line) override
    {
        lines.append(line);
        if (onAppend)
            onAppend(line);
    }
    int count(const QString &line) const { return int(lines.count(line)); }

    QStringList lines;
    int clears = 0;
    std::function<void(const QString &)> onAppend;
};

// STX id kind LEN data ETX SUM CR, SUM over STX..ETX.
inline QByteArray makeFrame(uint8_t id, char kind, const QByteArray &data)
{
    QByteArray f;
    f.append(char(0x02)).append(char(id)).append(kind).append(char(uint8_t(data.size()))).append(data).append(char(0x03));
    unsigned sum = 0;
    for (char c : f)
        sum += uint8_t(c);
    f.append(char(sum & 0xFF)).append(char(0x0D));
    return f;
}

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace kx9test
