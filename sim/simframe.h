#pragma once
// The reader's side of the framed link: building reply frames and cutting the
// received byte stream into request frames. Written for the simulator alone;
// it shares nothing with the monitor so that a framing mistake on either side
// shows up on the wire.
#include <QByteArray>
#include <cstdint>
#include <functional>

namespace kx9sim {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t CR = 0x0D;

// Low 8 bits of the sum of the first len+5 bytes (STX .. ETX).
uint8_t frameSum(const uint8_t *frame, int dataLen);

// STX id kind LEN data ETX SUM CR. Data beyond 255 bytes is cut.
QByteArray buildFrame(uint8_t id, uint8_t kind, const QByteArray &data);

// "02 00 4F ..." upper-case hex, blank separated, no trailing blank.
QByteArray hexBytes(const QByteArray &bytes);

// A received request frame, checked for envelope and checksum.
struct RxFrame {
    uint8_t id = 0;
    uint8_t cmd = 0;
    QByteArray data;
    QByteArray raw;
};

// Reassembles frames from a byte stream. Bytes before an STX are skipped.
// Once LEN is known the frame is complete at LEN+7 bytes; ETX or CR out of
// place is a length error (NACK 0x41), a wrong SUM a checksum error (0x42).
// A frame that stops arriving is dropped as a length error by expire(), which
// the owner calls from a timer once the line has been quiet for a while. A
// broken frame ends at the next STX after its own: reading resumes there.
class FrameReader {
public:
    enum class Error { None, Length, Sum };
    using FrameFn = std::function<void(const RxFrame &)>;
    using ErrorFn = std::function<void(Error, const QByteArray &raw)>;
    using SkipFn = std::function<void(const QByteArray &skipped)>;

    FrameReader(FrameFn onFrame, ErrorFn onError, SkipFn onSkip = {});
    void feed(const QByteArray &bytes);
    // Drops a partial frame; returns true when there was one (reported as a length error).
    bool expire();
    bool pending() const { return !m_buf.isEmpty(); }

private:
    void process();
    QByteArray takeBrokenFrame(); // from the buffer's STX up to the next one
    FrameFn m_onFrame;
    ErrorFn m_onError;
    SkipFn m_onSkip;
    QByteArray m_buf;
};

} // namespace kx9sim
