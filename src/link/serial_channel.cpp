#include "serial_channel.h"

namespace kx9 {

SerialChannel::SerialChannel(LinkHost &host, const ComDebugOptions &settings, TCommX::DeviceResolver resolver,
                             std::unique_ptr<SerialBackend> backend, QObject *parent)
    : LinkChannel(host, parent), settings_(settings), port_(nullptr, std::move(backend))
{
    port_.setObjectName(QStringLiteral("CommX1"));
    port_.setDeviceResolver(std::move(resolver));
    // The module's port as designed; the option file's values follow at open.
    port_.SetBitRate(19200);
    port_.SetFlowCtrl(cfcNone);
    port_.OnReceive = [this](TCustomCommX *, int n) { readWaiting(n); };
    port_.OnError = [this](TCustomCommX *, int bits) { onLineError(bits); };
}

SerialChannel::~SerialChannel()
{
    // Quietly, the module is going away.
    port_.OnReceive = nullptr;
    port_.OnError = nullptr;
    try {
        port_.PortClose();
    } catch (...) {
    }
}

QString SerialChannel::openFailureText(int portNo)
{
    return QStringLiteral("COM") + QString::number(portNo) + QStringLiteral("がオープン出来ません!!\n\n")
           + QStringLiteral("  ポートを及びパラメータ設定を再確認してください。");
}

int SerialChannel::flowToCommX(FlowControl flow)
{
    switch (flow) {
    case FlowControl::Hardware: return cfcRtsCts;
    case FlowControl::XonXoff: return cfcXonXoff;
    default: return cfcNone;
    }
}

void SerialChannel::open()
{
    try {
        if (port_.IsOpen())
            port_.PortClose();
        // Stored only: the port is closed here, so nothing can be refused yet.
        port_.SetPortNo(settings_.Port);
        port_.SetBitRate(settings_.BaudRate);
        port_.SetCharSize(settings_.ByteSize);
        port_.SetParityBit(settings_.ParityBits);
        port_.SetStopBit(settings_.StopBits);
        port_.SetFlowCtrl(flowToCommX(settings_.FlowCont));
        port_.PortOpen();
    } catch (const ECommError &e) {
        host_.channelConnected(false);
        QString reason = e.Message();
        if (!e.Reason().isEmpty())
            reason += QStringLiteral(" (") + e.Reason() + QLatin1Char(')');
        host_.channelOpenFailed(openFailureText(settings_.Port), reason);
        return;
    }
    host_.channelConnected(true);
}

void SerialChannel::close()
{
    if (!port_.IsOpen())
        return;
    try {
        port_.PortClose();
    } catch (...) {
        // Closing is best effort: the link counts as closed either way.
    }
}

int SerialChannel::send(const uint8_t *bytes, int count)
{
    return port_.TransBlock(bytes, count) ? 1 : 0;
}

void SerialChannel::poll()
{
    if (!port_.IsOpen())
        return;
    const int waiting = port_.GetReceiveLength();
    if (waiting > 0)
        readWaiting(waiting);
}

void SerialChannel::readWaiting(int waiting)
{
    // Bytes that do not fit stay in the driver (and hold the sender back
    // where the line has flow control) until the receiver has drained the
    // ring; they are taken by the next poll. Overwriting unread bytes would
    // lose them for nothing.
    const int n = std::min(waiting, host_.channelRoom());
    if (n <= 0)
        return;
    host_.channelReadInto(n, [this](uint8_t *dst, int max) { return port_.ReceiveBlock(dst, max); });
}

void SerialChannel::onLineError(int bits)
{
    host_.channelLog(QStringLiteral("CommX1Error"));
    if (bits & kLineFraming)
        host_.channelLog(QStringLiteral("フレーミングエラー"));
    if (bits & kLineOverrun)
        host_.channelLog(QStringLiteral("バッファオーバーラン"));
    if (bits & kLineParity)
        host_.channelLog(QStringLiteral("パリティエラー"));
}

} // namespace kx9
