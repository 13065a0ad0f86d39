#pragma once
// A serial driver in memory, for what a pty cannot show: line settings a pty
// refuses, modem lines, RTS keying times, line errors and breaks, a stalled
// writer. Every call is recorded in order; the times of line changes and
// writes are kept for the keying checks. Safe to call from TCommX's threads.
#include "link/serial_backend.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace kx9test {

class FakeSerialBackend : public kx9::SerialBackend {
public:
    using Clock = std::chrono::steady_clock;
    struct Stamp {
        Clock::time_point at;
        QString what;   // "rts 1", "write 2048", "drain", "break 1", ...
    };

    // ---- what the test controls
    // Setting steps that refuse: "open", "buffers", "bitRate", "charSize",
    // "parity", "stopBits", "flow", "timeouts", "xon", "xoff".
    void refuse(const QString &step) { std::lock_guard l(m_); refused_.insert(step); }
    void allow(const QString &step) { std::lock_guard l(m_); refused_.remove(step); }
    // Bytes arriving on the line: one receive event.
    void arrive(const QByteArray &bytes)
    {
        {
            std::lock_guard l(m_);
            input_.insert(input_.end(), bytes.begin(), bytes.end());
            ++eventsPending_;
        }
        cv_.notify_all();
    }
    // A receive event with nothing new in the queue.
    void raiseEvent()
    {
        {
            std::lock_guard l(m_);
            ++eventsPending_;
        }
        cv_.notify_all();
    }
    // Line errors (and breaks) that come with the next event.
    void lineError(int bits, int breaks = 0)
    {
        std::lock_guard l(m_);
        errorBits_ |= bits;
        breaks_ += breaks;
    }
    void setModemStatus(int bits) { std::lock_guard l(m_); modem_ = bits; }
    // A stalled line: writes take nothing until released.
    void stallWrites(bool stalled)
    {
        {
            std::lock_guard l(m_);
            stalled_ = stalled;
        }
        cv_.notify_all();
    }

    // ---- what the test looks at
    QStringList calls() const { std::lock_guard l(m_); return calls_; }
    void clearCalls() { std::lock_guard l(m_); calls_.clear(); }
    QList<int> writeSizes() const { std::lock_guard l(m_); return writeSizes_; }
    QByteArray output() const { std::lock_guard l(m_); return output_; }
    std::vector<Stamp> stamps() const { std::lock_guard l(m_); return stamps_; }
    void clearStamps() { std::lock_guard l(m_); stamps_.clear(); }
    bool rts() const { std::lock_guard l(m_); return rts_; }
    bool dtr() const { std::lock_guard l(m_); return dtr_; }
    int parity() const { std::lock_guard l(m_); return parity_; }
    int bitRate() const { std::lock_guard l(m_); return bitRate_; }
    // Events the receive thread has taken from waitEvent so far.
    int eventsTaken() const { return eventsTaken_; }
    int waits() const { return waits_; }

    // ---- SerialBackend
    bool open(const QString &device, QString *reason) override
    {
        std::lock_guard l(m_);
        calls_ << QStringLiteral("open ") + device;
        if (refused_.contains(QStringLiteral("open")) || device.isEmpty()) {
            if (reason)
                *reason = device + QStringLiteral(": No such file or directory");
            return false;
        }
        open_ = true;
        woken_ = false;
        eventsPending_ = 0;
        return true;
    }
    void close() override
    {
        std::lock_guard l(m_);
        calls_ << QStringLiteral("close");
        open_ = false;
    }
    bool isOpen() const override { std::lock_guard l(m_); return open_; }
    int handle() const override { std::lock_guard l(m_); return open_ ? 99 : -1; }

    bool setBuffers(int in, int out) override { return step("buffers", QStringLiteral("buffers %1 %2").arg(in).arg(out)); }
    bool purge(bool output, bool input) override
    {
        {
            std::lock_guard l(m_);
            if (output) {
                calls_ << QStringLiteral("purge out");
                ++purges_;
            }
            if (input) {
                calls_ << QStringLiteral("purge in");
                input_.clear();
            }
        }
        cv_.notify_all();
        return true;
    }
    bool setBitRate(int bps) override
    {
        if (!step("bitRate", QStringLiteral("bitRate %1").arg(bps)))
            return false;
        std::lock_guard l(m_);
        bitRate_ = bps;
        return true;
    }
    bool setCharSize(int bits) override { return step("charSize", QStringLiteral("charSize %1").arg(bits)); }
    bool setParity(int parity) override
    {
        if (!step("parity", QStringLiteral("parity %1").arg(parity)))
            return false;
        std::lock_guard l(m_);
        parity_ = parity;
        return true;
    }
    bool setStopBits(int stopBits) override { return step("stopBits", QStringLiteral("stopBits %1").arg(stopBits)); }
    bool setFlowControl(kx9::SerialFlow flow, int xonLimit, int xoffLimit) override
    {
        static const char *names[] = {"RtsCts", "DtrDsr", "XonXoff", "RtsProgram", "None"};
        if (!step("flow", QStringLiteral("flow %1 %2 %3").arg(QLatin1String(names[int(flow)])).arg(xonLimit).arg(xoffLimit)))
            return false;
        // As a driver does: DTR high; RTS low when the program keys it.
        setDtr(true);
        if (flow == kx9::SerialFlow::RtsProgram)
            setRts(false);
        else
            setRts(true);
        return true;
    }
    bool setTimeouts(int r, int w) override { return step("timeouts", QStringLiteral("timeouts %1 %2").arg(r).arg(w)); }
    bool setXonChar(uint8_t c) override { return step("xon", QStringLiteral("xon %1").arg(c)); }
    bool setXoffChar(uint8_t c) override { return step("xoff", QStringLiteral("xoff %1").arg(c)); }

    int read(uint8_t *buffer, int max) override
    {
        std::lock_guard l(m_);
        if (!open_)
            return -1;
        int n = 0;
        while (n < max && !input_.empty()) {
            buffer[n++] = input_.front();
            input_.pop_front();
        }
        return n;
    }
    int inputWaiting() override { std::lock_guard l(m_); return int(input_.size()); }
    int write(const uint8_t *bytes, int count) override
    {
        std::lock_guard l(m_);
        if (!open_)
            return -1;
        if (stalled_)
            return 0;
        output_.append(reinterpret_cast<const char *>(bytes), count);
        writeSizes_ << count;
        stamps_.push_back({Clock::now(), QStringLiteral("write %1").arg(count)});
        return count;
    }
    WaitResult waitWritable(int timeoutMs) override
    {
        std::unique_lock l(m_);
        const int purgesBefore = purges_;
        const bool ok = cv_.wait_for(l, std::chrono::milliseconds(timeoutMs),
                                     [&] { return woken_ || !stalled_ || purges_ != purgesBefore; });
        if (woken_)
            return WaitResult::Woken;
        return ok ? WaitResult::Ready : WaitResult::TimedOut;
    }
    void drainOutput() override
    {
        std::lock_guard l(m_);
        stamps_.push_back({Clock::now(), QStringLiteral("drain")});
    }

    bool setRts(bool on) override { return line(rts_, "rts", on); }
    bool setDtr(bool on) override { return line(dtr_, "dtr", on); }
    int modemStatus() override { std::lock_guard l(m_); return modem_; }
    bool setBreak(bool on) override
    {
        std::lock_guard l(m_);
        stamps_.push_back({Clock::now(), QStringLiteral("break %1").arg(on ? 1 : 0)});
        return true;
    }
    kx9::SerialLineErrors takeLineErrors() override
    {
        std::lock_guard l(m_);
        kx9::SerialLineErrors e{errorBits_, breaks_};
        errorBits_ = 0;
        breaks_ = 0;
        return e;
    }
    Event waitEvent() override
    {
        std::unique_lock l(m_);
        ++waits_;
        cv_.wait(l, [&] { return woken_ || eventsPending_ > 0; });
        if (woken_)
            return Event::Woken;
        --eventsPending_;
        ++eventsTaken_;
        return Event::Received;
    }
    void wakeWaiters() override
    {
        {
            std::lock_guard l(m_);
            woken_ = true;
        }
        cv_.notify_all();
    }

private:
    bool step(const char *name, const QString &call)
    {
        std::lock_guard l(m_);
        calls_ << call;
        return open_ && !refused_.contains(QLatin1String(name));
    }
    bool line(bool &state, const char *name, bool on)
    {
        std::lock_guard l(m_);
        const QString what = QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(on ? 1 : 0);
        calls_ << what;
        stamps_.push_back({Clock::now(), what});
        state = on;
        return true;
    }

    mutable std::mutex m_;
    std::condition_variable cv_;
    QSet<QString> refused_;
    QStringList calls_;
    QList<int> writeSizes_;
    QByteArray output_;
    std::vector<Stamp> stamps_;
    std::deque<uint8_t> input_;
    bool open_ = false;
    bool woken_ = false;
    bool stalled_ = false;
    bool rts_ = false, dtr_ = false;
    int parity_ = -1;
    int bitRate_ = 0;
    int modem_ = 0;
    int errorBits_ = 0, breaks_ = 0;
    int eventsPending_ = 0;
    int purges_ = 0;
    std::atomic<int> eventsTaken_{0};
    std::atomic<int> waits_{0};
};

} // namespace kx9test
