#pragma once
// The serial link: the communication module's port CommX1 (a TCommX) on the
// COM port and line values of the ComDebug section.
#include "commx.h"
#include "link_channel.h"
#include "options.h"

namespace kx9 {

class SerialChannel : public LinkChannel {
    Q_OBJECT
public:
    // `settings` is the module's ComDebug record, read at every open.
    // Without a backend the port is a Linux terminal.
    SerialChannel(LinkHost &host, const ComDebugOptions &settings, TCommX::DeviceResolver resolver,
                  std::unique_ptr<SerialBackend> backend = nullptr, QObject *parent = nullptr);
    ~SerialChannel() override;

    // Opens the port with the current settings; a failure tells the host
    // (channelOpenFailed with the operator's message) and leaves it closed.
    void open() override;
    // Closes the port if it is open; nothing a close raises goes further.
    void close() override;
    // 1 when the bytes were queued, 0 when the port is closed.
    int send(const uint8_t *bytes, int count) override;
    // Takes what the port still holds once the ring has room again.
    void poll() override;

    bool isOpen() const { return port_.IsOpen(); }
    TCommX &port() { return port_; }

    // "COM" + n + "がオープン出来ません!!" and the advice line below it.
    static QString openFailureText(int portNo);
    static int flowToCommX(FlowControl flow);

private:
    void readWaiting(int waiting);
    void onLineError(int bits);

    const ComDebugOptions &settings_;
    TCommX port_;
};

} // namespace kx9
