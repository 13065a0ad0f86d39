#include "serial_ports.h"

#include "ini_file.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>
#include <algorithm>

namespace kx9 {

namespace {

const QString kSection = QStringLiteral("ComPorts");

struct Family {
    const char *prefix;
    int first;     // COM number of index 0
    int count;     // indexes with a default number
};
// The order is also the order in which the rest are numbered from COM11 up.
const Family kFamilies[] = {
    {"ttyS", 1, 4},
    {"ttyUSB", 5, 4},
    {"ttyACM", 9, 2},
};
constexpr int kFirstFreeNumber = 11;

// Family rank (0.., or the number of families for any other device) and the
// device's index within it.
std::pair<int, int> familyOf(const QString &devicePath)
{
    static const QRegularExpression re(QStringLiteral("^/dev/(tty[A-Za-z]+)(\\d+)$"));
    const QRegularExpressionMatch m = re.match(devicePath);
    if (m.hasMatch()) {
        const QString prefix = m.captured(1);
        for (int i = 0; i < int(std::size(kFamilies)); ++i)
            if (prefix == QLatin1String(kFamilies[i].prefix))
                return {i, m.captured(2).toInt()};
    }
    return {int(std::size(kFamilies)), 0};
}

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

QString entryText(int number, const QString &path, const QString &description)
{
    QString t = QStringLiteral("COM%1 (%2)").arg(number).arg(path);
    if (!description.isEmpty())
        t += QLatin1Char(' ') + description;
    return t;
}

} // namespace

QList<SystemSerialPort> SystemSerialPorts()
{
    QList<SystemSerialPort> out;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        SystemSerialPort p;
        p.devicePath = info.systemLocation();
        p.description = info.description();
        if (!p.devicePath.isEmpty())
            out.append(p);
    }
    return out;
}

QMap<int, QString> LoadComPortMap(const QString &iniPath)
{
    QMap<int, QString> out;
    if (iniPath.isEmpty())
        return out;
    IniFile ini;
    if (!ini.load(iniPath))
        return out;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const QString key = QStringLiteral("COM%1").arg(n);
        if (!ini.hasKey(kSection, key))
            continue;
        const QString path = ini.readString(kSection, key, QString()).trimmed();
        if (!path.isEmpty())
            out.insert(n, path);
    }
    return out;
}

int DefaultComNumber(const QString &devicePath)
{
    const auto [rank, index] = familyOf(devicePath);
    if (rank >= int(std::size(kFamilies)))
        return 0;
    const Family &f = kFamilies[rank];
    return index < f.count ? f.first + index : 0;
}

QList<ComPortEntry> BuildComPortList(const QList<SystemSerialPort> &system, const QMap<int, QString> &mapped)
{
    QMap<int, ComPortEntry> byNumber;
    QSet<QString> reached;   // canonical paths the mapped entries open
    for (auto it = mapped.cbegin(); it != mapped.cend(); ++it) {
        if (it.key() < 1 || it.key() > kMaxComNumber || !QFileInfo::exists(it.value()))
            continue;
        QString description;
        const QString target = canonical(it.value());
        for (const SystemSerialPort &p : system)
            if (canonical(p.devicePath) == target)
                description = p.description;
        ComPortEntry e{it.key(), it.value(), entryText(it.key(), it.value(), description), true};
        byNumber.insert(e.number, e);
        reached.insert(target);
    }

    QList<SystemSerialPort> rest;
    for (const SystemSerialPort &p : system) {
        if (reached.contains(canonical(p.devicePath)))
            continue;
        const int n = DefaultComNumber(p.devicePath);
        if (n > 0 && !mapped.contains(n) && !byNumber.contains(n)) {
            byNumber.insert(n, ComPortEntry{n, p.devicePath, entryText(n, p.devicePath, p.description), false});
            continue;
        }
        rest.append(p);
    }
    std::stable_sort(rest.begin(), rest.end(), [](const SystemSerialPort &a, const SystemSerialPort &b) {
        const auto fa = familyOf(a.devicePath), fb = familyOf(b.devicePath);
        if (fa != fb)
            return fa < fb;
        return a.devicePath < b.devicePath;
    });
    int next = kFirstFreeNumber;
    for (const SystemSerialPort &p : rest) {
        while (next <= kMaxComNumber && (byNumber.contains(next) || mapped.contains(next)))
            ++next;
        if (next > kMaxComNumber)
            break;
        byNumber.insert(next, ComPortEntry{next, p.devicePath, entryText(next, p.devicePath, p.description), false});
    }
    return byNumber.values();
}

// [ComPorts] SystemPorts=0 lists the mapped ports alone: for a machine whose
// own ports must not be scanned (the tests, a line with one pinned adapter).
bool SystemPortsListed(const QString &iniPath)
{
    IniFile ini;
    if (iniPath.isEmpty() || !ini.load(iniPath))
        return true;
    return ini.readString(kSection, QStringLiteral("SystemPorts"), QStringLiteral("1")).trimmed() != QLatin1String("0");
}

QList<ComPortEntry> ListComPorts(const QString &iniPath)
{
    const QList<SystemSerialPort> system = SystemPortsListed(iniPath) ? SystemSerialPorts() : QList<SystemSerialPort>();
    return BuildComPortList(system, LoadComPortMap(iniPath));
}

QString ResolveComPort(int number, const QString &iniPath)
{
    if (number < 1 || number > kMaxComNumber)
        return QString();
    const QMap<int, QString> mapped = LoadComPortMap(iniPath);
    if (mapped.contains(number))
        return mapped.value(number);
    // Without the system's devices nothing else is opened either, not even
    // the default table's device for COM1..COM10.
    if (!SystemPortsListed(iniPath))
        return QString();
    const QList<ComPortEntry> list = ListComPorts(iniPath);
    for (const ComPortEntry &e : list)
        if (e.number == number)
            return e.devicePath;
    for (const Family &f : kFamilies)
        if (number >= f.first && number < f.first + f.count)
            return QStringLiteral("/dev/%1%2").arg(QLatin1String(f.prefix)).arg(number - f.first);
    return QString();
}

int ComPortNumberFromText(const QString &text)
{
    int i = 3;
    int n = 0;
    bool any = false;
    while (i < text.size() && text.at(i).isDigit() && n <= kMaxComNumber * 10) {
        n = n * 10 + text.at(i).digitValue();
        any = true;
        ++i;
    }
    return any ? n : 0;
}

} // namespace kx9
