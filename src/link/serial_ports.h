#pragma once
// Serial ports by COM number. The operator picks ports as "COMn"; on Linux a
// port is a device file. The numbers come from two places:
//
// 1. The option file's section [ComPorts], one key per port:
//        [ComPorts]
//        COM5=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XYZ-if00-port0
//        COM21=/dev/pts/7
//    An entry takes precedence over the default numbering; it is listed
//    while its device exists and is always used to open COMn.
// 2. The default numbering of the system's serial devices, by device name,
//    so a number does not move when other devices come or go:
//        /dev/ttyS0 … /dev/ttyS3     COM1 … COM4   (on-board UARTs)
//        /dev/ttyUSB0 … /dev/ttyUSB3 COM5 … COM8   (USB-serial adapters)
//        /dev/ttyACM0, /dev/ttyACM1  COM9, COM10   (USB CDC-ACM devices)
//    Every other device, and a device whose default number an option-file
//    entry took, gets the lowest number from COM11 up that is still free, in
//    the order ttyS, ttyUSB, ttyACM, others, each by its index.
// Numbers run from 1 to 255. With SystemPorts=0 in [ComPorts] the system's
// devices are left out altogether: only the entries of the section are
// listed and opened (a machine whose own ports must not be touched, tests).
#include <QList>
#include <QMap>
#include <QString>

namespace kx9 {

struct ComPortEntry {
    int number = 0;          // n of COMn
    QString devicePath;      // what is opened
    QString text;            // "COM5 (/dev/ttyUSB0)", with the device's description after it when known
    bool mapped = false;     // from [ComPorts]
};

struct SystemSerialPort {
    QString devicePath;      // /dev/ttyUSB0
    QString description;     // may be empty
};

inline constexpr int kMaxComNumber = 255;

// The serial devices the system reports (ports without a UART are left out).
QList<SystemSerialPort> SystemSerialPorts();
// The [ComPorts] entries of an option file; keys outside COM1..COM255 and
// empty values are ignored. An empty path gives no entries.
QMap<int, QString> LoadComPortMap(const QString &iniPath);
// The default number of a device by its name (table above); 0 for a device
// outside the table.
int DefaultComNumber(const QString &devicePath);
// The list the operator sees, by COM number. Entries of `mapped` whose device
// does not exist are left out; a system device that a mapped entry reaches
// (through a link such as /dev/serial/by-id/...) is listed once, as mapped.
QList<ComPortEntry> BuildComPortList(const QList<SystemSerialPort> &system, const QMap<int, QString> &mapped);
// Whether the option file lets the system's devices in (SystemPorts, default 1).
bool SystemPortsListed(const QString &iniPath);
// BuildComPortList over the system's devices and the option file's section.
QList<ComPortEntry> ListComPorts(const QString &iniPath);
// The device to open for COMn: the option-file entry, else the listed device
// with that number, else for COM1..COM10 the device of the default table
// (which may not exist), else empty. With SystemPorts=0 only the entry.
QString ResolveComPort(int number, const QString &iniPath);
// The decimal number after the first three characters of a list text
// ("COM12 (/dev/ttyUSB7)" gives 12); 0 when there is none.
int ComPortNumberFromText(const QString &text);

} // namespace kx9
