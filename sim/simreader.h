#pragma once
// The reader/writer: its parameter record, its answers to the 'O', 'N', 'x',
// 'u', 'Q', 'B', 'R' and 'J' commands and its autonomous reading modes and
// read loops, which send 'D', 'd', 'I', 'i' and 'L' reports by themselves.
#include "simtag.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>

class QTimer;

namespace kx9sim {

struct RxFrame;

// Default EEPROM contents; byte 28 (the R/W ID) is the reader ID.
QByteArray defaultArea1(uint8_t readerId);
QByteArray defaultArea2();
// Serial speed selected by bits 6-7 of an operating-mode flags byte.
int baudFromModeFlags(uint8_t flags);

class Reader : public QObject {
    Q_OBJECT
public:
    using SendFn = std::function<void(uint8_t kind, const QByteArray &data)>;

    explicit Reader(Field &field, QObject *parent = nullptr);

    void setSend(SendFn fn) { m_send = std::move(fn); }
    void setReaderId(uint8_t id);      // also the factory value EEPROM init restores
    uint8_t readerId() const { return uint8_t(area1.at(28)); }
    void setRomText(const QByteArray &t) { m_rom = t; }
    QByteArray romText() const { return m_rom; }

    // Handles one request frame that passed the envelope and ID checks.
    void handle(const RxFrame &f);

    // Autonomous operation.
    void setMode(uint8_t mode, uint8_t modeByte2, uint8_t flags, uint16_t pollTime, uint8_t block);
    uint8_t mode() const { return m_mode; }
    uint8_t modeFlags() const { return m_flags; }
    bool loopRunning() const { return m_loop != Loop::None; }
    void trigger();                     // trigger input of the trigger mode
    void stopAll();                     // back to command mode, loops ended
    // Power-up: mode and speed from the EEPROM, tags reset.
    void restart();
    int baud() const { return m_baud; }
    // The S6700 control byte in use (the stored one is area 1 byte 4).
    uint8_t s6700() const { return m_s6700; }
    bool tagitProtocol() const { return ((uint8_t(m_s6700) >> 1) & 7) == 4; }

    // Test knob for the monitor's write chains: the nth EEPROM write from now
    // (1 = the next one, either area) is refused with NACK `code` and changes
    // nothing; 0 switches the knob off.
    void nackEepromWrite(int nth, uint8_t code = 0x41)
    {
        m_eepromNackIn = nth;
        m_eepromNackCode = code;
    }
    // The same for the nth EEPROM read.
    void nackEepromRead(int nth, uint8_t code = 0x41)
    {
        m_eepromReadNackIn = nth;
        m_eepromReadNackCode = code;
    }
    // EEPROM writes that reached the EEPROM handler (accepted or refused).
    int eepromWrites() const { return m_eepromWrites; }

    QByteArray area1 = defaultArea1(0);
    QByteArray area2 = defaultArea2();
    QByteArray currentUid = QByteArray(8, '\0');
    QVector<QByteArray> uidList;        // result of the last full inventory
    QByteArray ram = QByteArray(65536, '\0');
    uint8_t extPort = 0;
    uint8_t ioPort = 0xFF;
    uint8_t antenna = 0;
    bool txOn = true;
    bool powerDown = false;
    uint32_t okCount = 0, failCount = 0;
    uint8_t errorStatus = 0;
    uint8_t ledState[2] = {0, 0};
    uint8_t lastBuzzer = 0;

signals:
    void restarted(int baud);

private:
    enum class Loop { None, Inv16, ReadLoop, RdLoopPol };
    struct Addr {
        uint8_t flags = 0;
        bool addressed = false;
        bool select = false;
        bool option = false;
        QByteArray uid;
    };

    void ack(uint8_t sub, const QByteArray &data = {});
    void ackRaw(const QByteArray &data);
    void nack(uint8_t code, int sub = -1);
    void tagFail(uint8_t isoCode) { nack(0x05, isoCode); }

    bool lenIs(const QByteArray &d, int n); // false: NACK 0x41 sent
    void eeprom(const QByteArray &d, bool write);
    void cmdO(const QByteArray &d);
    void cmdN(const QByteArray &d);
    void modeSetting(const QByteArray &d);
    void cmdX(const QByteArray &d);
    void cmdU(const QByteArray &d);
    void cmdQ(const QByteArray &d);
    void cmdR();
    void cmdJ(const QByteArray &d);
    void cmdVendorInventory(const QByteArray &d, uint8_t maker);
    void cmdLoop(const QByteArray &d);

    // Parses F (and the UID after it when its UID mode is 1) at position p;
    // checks that the frame ends there. False: length NACK already sent.
    bool parseAddr(const QByteArray &d, int p, Addr &a);
    // The one tag that answers, or null after NACK 04 (none) / 03 (collision).
    Tag *target(const Addr &a, int maker = -1);
    bool isoOn() const;
    bool tagitOn() const;
    void tagOp(uint8_t code, const TagResult &r);

    QByteArray userData(const Tag &t, bool &ok) const;
    void scanTick();
    void modeCycle();
    void loopCycle();
    void reportTag(Tag &t);
    bool inhibited(const QByteArray &id);

    Field &m_field;
    SendFn m_send;
    QByteArray m_rom = "121 kx9sim";
    uint8_t m_factoryId = 0;
    uint8_t m_s6700 = 0xD5;
    uint8_t m_mode = 0, m_modeByte2 = 0, m_flags = 0x18;
    uint16_t m_pollTime = 5;
    uint8_t m_testBlock = 0;
    int m_baud = 19200;
    QTimer *m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastPoll = 0;
    QSet<QByteArray> m_seen;              // single-read mode: tags already reported
    QHash<QByteArray, qint64> m_lastRead; // continuous mode: double-read inhibit
    uint32_t m_writeCounter = 0;
    bool m_acked = false;                 // the request being handled was acknowledged
    int m_eepromNackIn = 0;               // EEPROM writes until the refused one (0: none)
    uint8_t m_eepromNackCode = 0x41;
    int m_eepromReadNackIn = 0;
    uint8_t m_eepromReadNackCode = 0x41;
    int m_eepromWrites = 0;

    Loop m_loop = Loop::None;
    QByteArray m_loopArgs;
    qint64 m_loopStart = 0;
    QVector<QByteArray> m_loopCollected;  // 'L' report bodies of the polling loop
    QByteArray m_polWrite;                // polling-write parameters
};

} // namespace kx9sim
