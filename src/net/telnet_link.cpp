#include "net/telnet_link.h"

#include "link/log_target.h"
#include "link/tick_timer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <libtelnet.h>

#include <cstring>

namespace kx9 {

namespace {

const QString kReplyTimeout = QStringLiteral("レスポンス待ち　タイムオーバー");

// What we take part in: the module may echo and suppress go-ahead, and it may
// ask for our terminal type. libtelnet refuses every other option for us.
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_ECHO, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

QString hexLine(const char *prefix, const QByteArray &bytes)
{
    QString s = QLatin1String(prefix);
    s.reserve(int(std::strlen(prefix)) + bytes.size() * 3);
    for (char c : bytes)
        s += QStringLiteral("%1 ").arg(uint8_t(c), 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

uint32_t now() { return TickTimer::instance().Now(); }
int g_idleSliceMs = 10;

} // namespace

TTelNetCont1Dlg::TTelNetCont1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TTelNetCont1Dlg"));
    setWindowTitle(QStringLiteral("テルネットの制御"));
    TelnetClient1 = new QTcpSocket(this);
    TelnetClient1->setObjectName(QStringLiteral("TelnetClient1"));
    telnet_ = telnet_init(kOptions, &TTelNetCont1Dlg::onTelnetEvent, 0, this);

    connect(TelnetClient1, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState s) {
        if (s == QAbstractSocket::ConnectingState)
            log(QStringLiteral("Telnet Connect"));
    });
    connect(TelnetClient1, &QTcpSocket::connected, this, [this] {
        TelnetClient1->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        log(QStringLiteral("Telnet Connected"));
    });
    connect(TelnetClient1, &QTcpSocket::disconnected, this, [this] {
        log(QStringLiteral("Telnet Disconnect"));
        emit disconnected();
    });
    connect(TelnetClient1, &QTcpSocket::readyRead, this, &TTelNetCont1Dlg::onReadyRead);
}

TTelNetCont1Dlg::~TTelNetCont1Dlg()
{
    TelnetClose();
    // No more events from here on: the socket goes with us.
    TelnetClient1->disconnect(this);
    telnet_free(telnet_);
}

void TTelNetCont1Dlg::log(const QString &line)
{
    // The same rule as the communication log: a pane of 250 lines or more is emptied first.
    if (!logPane_)
        return;
    if (logPane_->lineCount() >= 250)
        logPane_->clearLog();
    logPane_->appendLine(line);
}

bool TTelNetCont1Dlg::isConnected() const { return TelnetClient1->state() == QAbstractSocket::ConnectedState; }

int TTelNetCont1Dlg::indexOf(char c, int from) const
{
    for (int i = std::max(from, 0); i < count_; ++i) {
        if (buffer_[i] == c)
            return i;
    }
    return -1;
}

bool TTelNetCont1Dlg::TelnetOpen(LogTarget *logPane, int logRx, const QString &address)
{
    logPane_ = logPane;
    logSwitch_ = logRx;
    address_ = address;
    TelnetClient1->connectToHost(address, kConsolePort);

    int p = -1;
    const bool prompt = waitUntil(kWaitMs, [&] {
        p = indexOf('P', 0);
        return p >= 0 && count_ - p >= 9;
    });
    if (!prompt)
        return false;
    // Any other prompt gets no password; the steps after it fail by time-out.
    if (std::memcmp(buffer_ + p, "PASSWORD:", 9) != 0)
        return false;
    TelnetSend(QByteArray(kPassword) + "\r\n");
    return !sendFailed_;
}

void TTelNetCont1Dlg::TelnetClose()
{
    if (TelnetClient1->state() != QAbstractSocket::UnconnectedState) {
        TelnetClient1->disconnectFromHost();
        // A peer that does not take the rest within a moment is cut off.
        if (TelnetClient1->state() != QAbstractSocket::UnconnectedState)
            TelnetClient1->abort();
    }
}

void TTelNetCont1Dlg::TelnetClear() { count_ = 0; }

void TTelNetCont1Dlg::writeRaw(const char *bytes, int size)
{
    if (TelnetClient1->state() != QAbstractSocket::ConnectedState || TelnetClient1->write(bytes, size) != size)
        sendFailed_ = true;
}

bool TTelNetCont1Dlg::TelnetSend(const QByteArray &text)
{
    if (logSwitch_)
        log(hexLine("TX:", text));
    sendFailed_ = false;
    for (int i = 0; i < text.size() && !sendFailed_; ++i) {
        const char c = text.at(i);
        if (c == '\r') {
            // The protocol's end of line is CR LF; a CR on its own is CR NUL.
            // So the CR of our CR LF goes out with its LF, not as a line end
            // of its own.
            if (i + 1 < text.size() && text.at(i + 1) == '\n') {
                telnet_send(telnet_, "\r\n", 2);
                ++i;
            } else {
                telnet_send(telnet_, "\r\0", 2);
            }
            continue;
        }
        telnet_send(telnet_, &c, 1);
    }
    TelnetClient1->flush();
    return !sendFailed_;
}

bool TTelNetCont1Dlg::TelnetWaitFor(int from, const QByteArray &expected)
{
    int p = -1;
    const bool there = waitUntil(kWaitMs, [&] {
        p = indexOf('>', from);
        return p >= 0 && count_ - p >= int(expected.size());
    });
    return there && std::memcmp(buffer_ + p, expected.constData(), size_t(expected.size())) == 0;
}

bool TTelNetCont1Dlg::TelnetReadValue()
{
    value_.clear();
    int gt = -1, cr = -1;
    const bool there = waitUntil(kWaitMs, [&] {
        gt = indexOf('>', 0);
        cr = gt < 0 ? -1 : indexOf('\r', gt + 1);
        return cr >= 0;
    });
    if (!there)
        return false;
    value_ = QString::fromLatin1(buffer_ + gt + 1, cr - gt - 1);
    return true;
}

bool TTelNetCont1Dlg::TelnetReadMac(int minCount)
{
    value_.clear();
    int start = -1, cr = -1;
    const bool there = waitUntil(kWaitMs, [&] {
        if (count_ < minCount)
            return false;
        start = -1;
        for (int i = 0; i + 1 < count_; ++i) {
            if (buffer_[i] == '>' && buffer_[i + 1] == '0') {
                start = i + 1;
                break;
            }
        }
        cr = start < 0 ? -1 : indexOf('\r', start);
        return cr >= 0;
    });
    if (!there)
        return false;
    value_ = QString::fromLatin1(buffer_ + start, cr - start);
    return true;
}

bool TTelNetCont1Dlg::TelnetCommand(const QByteArray &text, const QByteArray &expected)
{
    TelnetClear();
    TelnetSend(text);
    // The module echoes the command first; its answer starts behind the echo.
    return TelnetWaitFor(int(text.size()), expected);
}

bool TTelNetCont1Dlg::TelnetQuery(const QByteArray &key)
{
    TelnetClear();
    TelnetSend(key + "\r\n");
    return TelnetReadValue();
}

void TTelNetCont1Dlg::setIdleSliceMs(int ms) { g_idleSliceMs = std::max(ms, 0); }

void TTelNetCont1Dlg::Pause(uint32_t ms)
{
    const uint32_t start = now();
    QPointer<TTelNetCont1Dlg> self(this);
    while (self && uint32_t(now() - start) < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QEventLoop idle;
        QTimer::singleShot(g_idleSliceMs, &idle, &QEventLoop::quit);
        idle.exec();
    }
}

bool TTelNetCont1Dlg::waitUntil(uint32_t ms, const std::function<bool()> &done, bool logTimeout)
{
    start_ = now();
    QPointer<TTelNetCont1Dlg> self(this);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!self)
            return false;
        if (done())
            return true;
        // A connection that is gone brings nothing more: the wait ends now,
        // with the line the operator would see after the full time.
        const bool gone = TelnetClient1->state() == QAbstractSocket::UnconnectedState;
        if (gone || uint32_t(now() - start_) >= ms) {
            if (logTimeout)
                log(kReplyTimeout);
            return false;
        }
        QEventLoop idle;
        QTimer::singleShot(g_idleSliceMs, &idle, &QEventLoop::quit);
        connect(TelnetClient1, &QTcpSocket::readyRead, &idle, &QEventLoop::quit);
        idle.exec();
        if (!self)
            return false;
    }
}

void TTelNetCont1Dlg::onReadyRead()
{
    const QByteArray in = TelnetClient1->readAll();
    chunk_.clear();
    telnet_recv(telnet_, in.constData(), size_t(in.size()));
    if (chunk_.isEmpty())
        return;
    // Whatever does not fit any more is dropped.
    const int room = kBufferSize - count_;
    const int take = std::min(room, int(chunk_.size()));
    if (take > 0) {
        std::memcpy(buffer_ + count_, chunk_.constData(), size_t(take));
        count_ += take;
    }
    if (logSwitch_) {
        log(hexLine("RX0;", chunk_));
        log(QStringLiteral("RX:") + QString::fromLatin1(chunk_));
    }
}

void TTelNetCont1Dlg::onTelnetEvent(telnet_t *telnet, telnet_event_t *ev, void *user)
{
    auto *self = static_cast<TTelNetCont1Dlg *>(user);
    switch (ev->type) {
    case TELNET_EV_DATA:
        self->chunk_.append(ev->data.buffer, qsizetype(ev->data.size));
        break;
    case TELNET_EV_SEND:
        self->writeRaw(ev->data.buffer, int(ev->data.size));
        break;
    case TELNET_EV_TTYPE:
        if (ev->ttype.cmd == TELNET_TTYPE_SEND)
            telnet_ttype_is(telnet, "dumb");
        break;
    case TELNET_EV_ERROR:
        // The protocol state is lost; nothing after this can be trusted.
        QMetaObject::invokeMethod(self, [self] { self->TelnetClose(); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

} // namespace kx9
