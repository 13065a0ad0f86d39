#pragma once
// What a hostile reader sends: random bytes, frames whose LEN lies, frames
// with a wrong SUM, and well-formed frames of every reply kind with random
// DATA. Seeded, so a failure can be replayed (the seed is in the test's log).
#include "wire_frame.h"

#include <QByteArray>
#include <QRandomGenerator>

namespace robust {

inline QByteArray HostileChunk(QRandomGenerator &rng, int approxBytes)
{
    static const char kinds[] = {'0', '1', 'D', 'd', 'i', 'I', 'L', 'G', 'x', 'O', 'Z', '\x02', '\x0D'};
    QByteArray out;
    while (out.size() < approxBytes) {
        const int what = int(rng.bounded(10));
        QByteArray data(int(rng.bounded(what == 0 ? 255 : 40)), Qt::Uninitialized);
        for (char &c : data)
            c = char(rng.bounded(256));
        const char kind = kinds[rng.bounded(int(sizeof kinds))];
        if (what <= 1) {
            out += data;                                                   // noise
        } else if (what == 2) {
            out += kx9test::WireFrame(kind, data, 0, int(rng.bounded(256))); // lying LEN
        } else if (what == 3) {
            QByteArray f = kx9test::WireFrame(kind, data);
            f[f.size() - 2] = char(f[f.size() - 2] ^ 0x5A);                  // wrong SUM
            out += f;
        } else if (what == 4) {
            QByteArray f = kx9test::WireFrame(kind, data);
            f.chop(int(rng.bounded(1, int(f.size()))));                      // cut short
            out += f;
        } else {
            if (kind == 'G' && data.size() > 0)
                data[0] = char(0x80 | rng.bounded(2));                       // count reports too
            out += kx9test::WireFrame(kind, data, uint8_t(rng.bounded(3)));
        }
    }
    return out;
}

} // namespace robust
