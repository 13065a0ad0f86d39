#pragma once
// Turns fuzzer bytes into what a reader sends. Half the inputs are taken as
// raw bytes; the other half as a list of frames that the harness completes
// with ETX, a correct SUM and CR (unless the record asks for a fault), so the
// mutations reach the decoders instead of dying at the checksum.
#include "fuzz_support.h"
#include "link/frame.h"

#include <QList>

namespace kx9fuzz {

struct StreamPiece {
    uint8_t commandCode = 0;   // what the monitor "last sent" before this piece
    QByteArray bytes;
};

// record: [cmd][kind][id][flags][n][DATA n]
//   flags bit0-1: 0 correct, 1 LEN lies by `lie`, 2 bad SUM, 3 no CR
//   flags bit2: garbage byte before STX; bits 4-7: the lie (signed nibble)
inline QList<StreamPiece> BuildStream(Input &in, bool framed)
{
    QList<StreamPiece> out;
    if (!framed) {
        StreamPiece p;
        p.commandCode = in.byte();
        p.bytes = in.rest();
        out.append(p);
        return out;
    }
    while (!in.empty()) {
        StreamPiece p;
        p.commandCode = in.byte();
        const uint8_t kind = in.byte();
        const uint8_t id = in.byte();
        const uint8_t flags = in.byte();
        const QByteArray data = in.take(in.byte());
        if (flags & 4)
            p.bytes.append(char(in.byte()));
        QByteArray f;
        f.append(char(kx9::STX));
        f.append(char(id));
        f.append(char(kind));
        int len = int(data.size());
        if ((flags & 3) == 1)
            len = (len + int(int8_t(flags) >> 4)) & 0xFF;
        f.append(char(len));
        f.append(data);
        f.append(char(kx9::ETX));
        uint8_t sum = kx9::FrameChecksum(f);
        if ((flags & 3) == 2)
            sum = uint8_t(sum + 1);
        f.append(char(sum));
        if ((flags & 3) != 3)
            f.append(char(kx9::CR));
        p.bytes.append(f);
        out.append(p);
    }
    return out;
}

} // namespace kx9fuzz
