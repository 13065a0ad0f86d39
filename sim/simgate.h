#pragma once
// A security gate (W20: two infrared sensors; W30: three lanes of two) on the
// reader's link: its 'G' commands and the count reports it sends by itself.
#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <cstdint>
#include <functional>

class QTimer;

namespace kx9sim {

class Gate : public QObject {
    Q_OBJECT
public:
    using SendFn = std::function<void(uint8_t kind, const QByteArray &data)>;

    explicit Gate(bool w30, QObject *parent = nullptr);
    void setSend(SendFn fn) { m_send = std::move(fn); }
    bool isW30() const { return m_w30; }
    void setW30(bool w30) { m_w30 = w30; }

    // One 'G' request (data starts with the sub-command).
    void handle(const QByteArray &data);
    // Sensor 1..6 (W20: 1..2) saw `people` persons pass; `alarms` of them
    // carried an armed tag.
    bool pass(int sensor, int people, int alarms);
    // A report of the counters, as the automatic transmission sends it.
    void sendReport();
    // A control command about the gate (the words after "gate"): pass,
    // report, sensors, get, set. Returns the reply line ("OK ..." / "ERR ...").
    QString control(const QStringList &args);

    uint8_t mode = 0x00;
    uint16_t eeprom[32] = {};
    uint8_t dispOut[3] = {0, 0, 0};
    uint8_t swSensor[2] = {0x00, 0x00};
    uint8_t ioSensor = 0;
    uint8_t personSensor = 0;
    uint8_t volume = 4;
    uint8_t speedCode = 1;       // 0 9600, 1 19200, 2 38400
    uint8_t pendingSpeed = 1;
    bool progMode = false;
    uint16_t countMode[3] = {0x0033, 0x0000, 0x00FF};
    uint32_t people[6] = {};
    uint16_t alarms[6] = {};
    QByteArray lastMelody;
    // With the half-count switch a person interrupts a sensor twice: the odd
    // interruption waits here for its pair.
    int halfCarry[6] = {};

signals:
    void restarted(int baud);

private:
    void ack(uint8_t sub, const QByteArray &data = {});
    void nack(uint8_t code);
    bool lenIs(const QByteArray &d, int n); // false: NACK 0x41 sent
    QByteArray record(int lane) const;   // one 12-byte count block
    void setRecord(int lane, const QByteArray &b);
    bool countsPeople(int sensor) const;
    bool countsAlarms(int sensor) const;
    void intervalTick();
    void restartTimer();
    void resetEeprom();

    bool m_w30;
    SendFn m_send;
    QTimer *m_interval;
};

int baudFromGateSpeed(uint8_t code);

} // namespace kx9sim
