#include "capture/link_capture.h"

#include "kx9_version.h"
#include "link/comm_module.h"
#include "link/serial_ports.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <chrono>

namespace kx9 {

namespace {

uint64_t systemMicros()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

const char *kindName(int linkMode)
{
    switch (linkMode) {
    case 0: return "serial";
    case 1: return "usb";
    case 2: return "tcp";
    default: return "none";
    }
}

int slotOf(int linkMode)
{
    return linkMode >= 0 && linkMode <= 2 ? linkMode : 3;
}

} // namespace

LinkCapture::LinkCapture(QObject *parent) : QObject(parent), clock_(systemMicros)
{
    flushTimer_.setInterval(kFlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, [this] {
        if (!writeFailed_ && !file_.flush())
            failWrite();
    });
}

LinkCapture::~LinkCapture()
{
    stop();
}

QString LinkCapture::LinkSettingsText(CommModule &module, int linkMode)
{
    const QString id = QStringLiteral("; reader ID (IDNo) %1").arg(module.ReaderId());
    switch (linkMode) {
    case 0: {
        const ComDebugOptions &c = module.comDebug();
        const QString device = ResolveComPort(c.Port, module.iniPath());
        static const char *const parities[] = {"none", "odd", "even", "mark", "space"};
        static const char *const stops[] = {"1", "1.5", "2"};
        const char *parity = c.ParityBits < 5 ? parities[c.ParityBits] : "?";
        const char *stop = c.StopBits < 3 ? stops[c.StopBits] : "?";
        const char *flow = c.FlowCont == FlowControl::Hardware ? "hardware (RTS/CTS)"
                         : c.FlowCont == FlowControl::XonXoff  ? "XON/XOFF"
                                                                : "none";
        return QStringLiteral("serial COM%1%2, %3 bit/s, %4 data bits, parity %5, %6 stop bit(s), flow control %7")
                   .arg(c.Port)
                   .arg(device.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(device))
                   .arg(c.BaudRate)
                   .arg(c.ByteSize)
                   .arg(QLatin1String(parity), QLatin1String(stop), QLatin1String(flow))
               + id;
    }
    case 1:
        return QStringLiteral("USB bulk link, PIPE00 out, PIPE01 in") + id;
    case 2: {
        const LinkConfig &t = module.linkConfig();
        if (t.TcpServerMode != 0) {
            QString text = QStringLiteral("TCP/IP server, TCPPort %1").arg(t.TcpListenPort);
            if (const quint16 port = module.ListeningPort(); port != 0 && port != t.TcpListenPort)
                text += QStringLiteral(" (listening on %1)").arg(port);
            return text + id;
        }
        return QStringLiteral("TCP/IP client to %1:%2").arg(t.TcpRemoteAddress).arg(t.TcpRemotePort) + id;
    }
    default:
        return QStringLiteral("no link (UseUSB=%1)").arg(linkMode) + id;
    }
}

LinkCapture::SettingsKey LinkCapture::keyOf(int linkMode) const
{
    SettingsKey k;
    k.mode = linkMode;
    if (!module_)
        return k;
    if (linkMode == 0) {
        const ComDebugOptions &c = module_->comDebug();
        k.port = c.Port;
        k.baud = c.BaudRate;
        k.bits = c.ByteSize;
        k.parity = c.ParityBits;
        k.stop = c.StopBits;
        k.flow = int(c.FlowCont);
    } else if (linkMode == 2) {
        const LinkConfig &t = module_->linkConfig();
        k.server = t.TcpServerMode;
        k.lport = t.TcpListenPort;
        k.rport = t.TcpRemotePort;
        k.address = t.TcpRemoteAddress;
    }
    k.id = module_->ReaderId();
    return k;
}

bool LinkCapture::start(CommModule &module, const QString &path)
{
    stop();
    error_.clear();
    writeFailed_ = false;
    pcapng::SectionInfo shb;
    shb.application = QStringLiteral("kx9monitor " KX9_VERSION);
    shb.os = QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() + QLatin1Char(' ')
             + QSysInfo::kernelVersion();
    shb.hardware = QSysInfo::currentCpuArchitecture();
    shb.comment = QStringLiteral("KX9 reader link capture started %1; link: %2")
                      .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                           LinkSettingsText(module, module.LinkMode()));
    if (!file_.open(path, shb)) {
        error_ = file_.errorString();
        return false;
    }
    module_ = &module;
    interfaces_.fill(-1);
    packets_ = 0;
    bytes_[0] = bytes_[1] = 0;
    // The link in use gets its interface at once, so even a capture with no
    // traffic names the link and its settings.
    interfaceFor(module.LinkMode());
    lastKey_ = keyOf(module.LinkMode());
    connect(&module, &QObject::destroyed, this, [this] {
        // The module is half gone here: it is not touched again.
        module_ = nullptr;
        stop();
        emit stoppedByItself(QString());
    });
    module.SetLinkTap(this);
    flushTimer_.start();
    return true;
}

void LinkCapture::detach()
{
    if (module_) {
        disconnect(module_, nullptr, this, nullptr);
        if (module_->linkTap() == this)
            module_->SetLinkTap(nullptr);
    }
    module_ = nullptr;
}

bool LinkCapture::stop()
{
    if (!file_.isOpen())
        return true;
    detach();
    flushTimer_.stop();
    if (writeFailed_) {
        file_.abandon();
        return false;
    }
    if (!file_.commit()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

uint32_t LinkCapture::interfaceFor(int linkMode)
{
    int &id = interfaces_[size_t(slotOf(linkMode))];
    if (id >= 0)
        return uint32_t(id);
    pcapng::InterfaceInfo idb;
    idb.name = QString::fromLatin1(kindName(linkMode));
    idb.description = module_ ? LinkSettingsText(*module_, linkMode) : QString();
    idb.comment = QStringLiteral("link settings: ") + idb.description;
    id = int(file_.addInterface(idb));
    return uint32_t(id);
}

void LinkCapture::linkBytes(LinkDirection direction, int linkMode, const uint8_t *bytes, int count)
{
    if (!file_.isOpen() || writeFailed_ || count <= 0)
        return;
    const uint32_t ifId = interfaceFor(linkMode);
    QString note;
    const SettingsKey key = keyOf(linkMode);
    if (!(key == lastKey_)) {
        lastKey_ = key;
        if (module_)
            note = QStringLiteral("link settings now: ") + LinkSettingsText(*module_, linkMode);
    }
    file_.addPacket(ifId, clock_(),
                    direction == LinkDirection::Sent ? pcapng::Direction::Outbound : pcapng::Direction::Inbound,
                    bytes, count, note);
    ++packets_;
    bytes_[direction == LinkDirection::Sent ? 0 : 1] += count;
    if (file_.pendingSize() >= kFlushBytes && !file_.flush())
        failWrite();
}

void LinkCapture::failWrite()
{
    if (writeFailed_)
        return;
    writeFailed_ = true;
    error_ = file_.errorString();
    // Called from inside the module's send or receive path: the tap is taken
    // off and the operator told once that path has returned.
    QTimer::singleShot(0, this, [this] {
        detach();
        flushTimer_.stop();
        file_.abandon();
        emit stoppedByItself(error_.isEmpty() ? QStringLiteral("write error") : error_);
    });
}

} // namespace kx9
