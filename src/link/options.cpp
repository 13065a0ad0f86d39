#include "options.h"

#include "ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace kx9 {

namespace {

const QString kOption = QStringLiteral("Option");
const QString kComDebug = QStringLiteral("ComDebug");

// One list of keys serves both directions: the reader fills each field from the
// file (keeping the field's current value as the default), the writer puts each
// saved field into the file. The widths follow the fields' types: a wider value
// in the file is cut to them.
class Reader {
public:
    Reader(const IniFile &ini, const QString &section) : ini_(ini), section_(section) {}
    void integer(const char *key, int &v, bool = true) { v = ini_.readInteger(section_, QLatin1String(key), v); }
    void byte(const char *key, uint8_t &v, bool = true) { v = uint8_t(ini_.readInteger(section_, QLatin1String(key), v)); }
    void word(const char *key, uint16_t &v, bool = true) { v = uint16_t(ini_.readInteger(section_, QLatin1String(key), v)); }
    void text(const char *key, QString &v, bool = true) { v = ini_.readString(section_, QLatin1String(key), v); }

private:
    const IniFile &ini_;
    QString section_;
};

class Writer {
public:
    Writer(IniFile &ini, const QString &section) : ini_(ini), section_(section) {}
    void integer(const char *key, int &v, bool saved = true) { if (saved) ini_.writeInteger(section_, QLatin1String(key), v); }
    void byte(const char *key, uint8_t &v, bool saved = true) { if (saved) ini_.writeInteger(section_, QLatin1String(key), v); }
    void word(const char *key, uint16_t &v, bool saved = true) { if (saved) ini_.writeInteger(section_, QLatin1String(key), v); }
    void text(const char *key, QString &v, bool saved = true) { if (saved) ini_.writeString(section_, QLatin1String(key), v); }

private:
    IniFile &ini_;
    QString section_;
};

constexpr bool kNotSaved = false;

template <class V>
void visitOption(V &v, AppOptions &o)
{
    v.integer("ComPort", o.ComPort);
    v.integer("ComSpeed", o.ComSpeed);
    v.integer("UseUSB", o.UseUSB);
    v.integer("TCPPort", o.TCPPort);
    v.integer("fTCPServer", o.fTCPServer);
    v.integer("TCPServPort", o.TCPServPort);
    v.text("TCPServAddr", o.TCPServAddr);
    v.integer("fUseGrobalIP", o.fUseGrobalIP);
    v.integer("UidFlag", o.UidFlag);
    v.integer("ReadOptionFlag", o.ReadOptionFlag);
    v.integer("ReadUidFlag", o.ReadUidFlag);
    v.integer("WriteOptionFlag", o.WriteOptionFlag);
    v.integer("WriteUidFlag", o.WriteUidFlag);
    v.integer("EnabLockBlock", o.EnabLockBlock);
    v.byte("S6700Conf", o.S6700Conf);
    v.word("TagDataNum", o.TagDataNum);
    v.text("TagDataStr", o.TagDataStr);
    v.byte("SysMode", o.SysMode);
    v.byte("Cmdmode", o.Cmdmode);
    v.word("PolingTime", o.PolingTime);
    v.integer("fInventory2", o.fInventory2);
    v.integer("TagBlockSize", o.TagBlockSize);
    v.integer("fUseInOutFormat", o.fUseInOutFormat);
    v.integer("InCode", o.InCode);
    v.integer("OutCode", o.OutCode);
    v.text("InOutTitle", o.InOutTitle);
    v.text("InString", o.InString);
    v.text("OutString", o.OutString);
    v.integer("InOutMode", o.InOutMode);
    v.integer("fBinaryWrite", o.fBinaryWrite);
    v.integer("fTimeOut", o.fTimeOut);
    v.integer("fBarCodeReader", o.fBarCodeReader);
    v.integer("fAllEEPROMSet", o.fAllEEPROMSet);
    v.text("KXIFName", o.KXIFName);
    v.byte("EAS_ON_VALUE", o.EAS_ON_VALUE);
    v.byte("EAS_OFF_VALUE", o.EAS_OFF_VALUE);
    v.byte("PassData[0]", o.PassData[0]);
    v.byte("PassData[1]", o.PassData[1]);
    v.byte("PassData[2]", o.PassData[2]);
    v.byte("PassData[3]", o.PassData[3]);
    v.integer("TagWriteNum", o.TagWriteNum);
    v.integer("fUseInv16SlotsCmd", o.fUseInv16SlotsCmd);
    v.integer("fVER121", o.fVER121);
    v.integer("fP15", o.fP15);
    v.integer("fGateCmd", o.fGateCmd);
    v.integer("fCommComand", o.fCommComand);
    v.integer("fDebug1", o.fDebug1);
    v.integer("fTagTest1", o.fTagTest1, kNotSaved);
    v.integer("fUSESetOption", o.fUSESetOption);
    v.byte("Prog15693FLAG", o.Prog15693FLAG);
    v.integer("fInvTxOff", o.fInvTxOff);
    v.integer("fDispEXTSet1", o.fDispEXTSet1);
    v.integer("fSetBuzFreq", o.fSetBuzFreq);
    v.integer("fCustomCmd1", o.fCustomCmd1);
    v.integer("fW30", o.fW30);
    v.integer("fW30Cmd", o.fW30Cmd, kNotSaved);
    v.text("W20LogFile", o.W20LogFile, kNotSaved);
    v.text("W30LogFile", o.W30LogFile, kNotSaved);
    v.integer("fMenuDisp", o.fMenuDisp, kNotSaved);
    v.integer("fDufaultTab", o.fDufaultTab);
    v.integer("fCmdOutpStr", o.fCmdOutpStr);
    v.integer("OkColor", o.OkColor);
    v.integer("NgColor", o.NgColor);
}

int flowToFile(FlowControl f)
{
    switch (f) {
    case FlowControl::Hardware: return 1;
    case FlowControl::XonXoff: return 2;
    default: return 0;
    }
}

FlowControl flowFromFile(int v)
{
    return v == 1 ? FlowControl::Hardware : v == 2 ? FlowControl::XonXoff : FlowControl::None;
}

template <class V>
void visitComDebug(V &v, ComDebugOptions &o)
{
    int flow = flowToFile(o.FlowCont);
    v.byte("Port", o.Port);
    v.integer("BaudRate", o.BaudRate);
    v.byte("ParityBits", o.ParityBits);
    v.integer("ByteSize", o.ByteSize);
    v.byte("StopBits", o.StopBits);
    v.integer("FlowCont", flow);
    v.byte("IDNo", o.IDNo);
    v.integer("fDispRecInfo", o.fDispRecInfo);
    v.integer("fDispTxInfo", o.fDispTxInfo);
    v.integer("fWrDebug1", o.fWrDebug1);
    v.integer("fDispCont1", o.fDispCont1);
    v.integer("MAX_REC_NO", o.MAX_REC_NO);
    v.integer("RxPollMs", o.RxPollMs);
    o.FlowCont = flowFromFile(flow);
}

// Reads one section into a fresh record: every key not in the file keeps the
// record's default.
template <class Record, class Visit>
void loadSection(const QString &iniPath, const QString &section, Record &out, Visit visit)
{
    IniFile ini;
    ini.load(iniPath);
    out = Record{};
    Reader r(ini, section);
    visit(r, out);
}

// Loads the whole file, puts the section's saved keys in and writes the whole
// copy back, unless the file is read-only or cannot be created. No message
// either way.
template <class Record, class Visit>
bool saveSection(const QString &iniPath, const QString &section, const Record &opts, Visit visit)
{
    if (iniPath.isEmpty() || IniFile::isReadOnly(iniPath))
        return false;
    IniFile ini;
    ini.load(iniPath);
    Record copy = opts;
    Writer w(ini, section);
    visit(w, copy);
    return ini.save(iniPath);
}

const auto kVisitOption = [](auto &v, AppOptions &o) { visitOption(v, o); };
const auto kVisitComDebug = [](auto &v, ComDebugOptions &o) { visitComDebug(v, o); };

} // namespace

QString OptionFilePath(const QString &executablePath)
{
    // Only the file name's own extension is replaced: "/opt/kx9.d/kx9monitor"
    // has none, so it gets ".ini" appended rather than losing ".d/kx9monitor".
    const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = executablePath.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1)
        return executablePath.left(dot + 1) + QStringLiteral("ini");
    return executablePath + QStringLiteral(".ini");
}

bool IsInstalledExecutable(const QString &executablePath)
{
    const QString dir = QFileInfo(executablePath).absolutePath();
    // Root may write anywhere, so the system's program folders are named:
    // an option file must never land in /usr/bin.
    for (const char *system : {"/usr/", "/bin/", "/sbin/", "/opt/"}) {
        if ((dir + QLatin1Char('/')).startsWith(QLatin1String(system)))
            return true;
    }
    return ::access(QFile::encodeName(dir).constData(), W_OK) != 0;
}

namespace {
QString userFolder(QStandardPaths::StandardLocation where)
{
    // The program's name, not the organisation/application pair Qt would add.
    const QString base = QStandardPaths::writableLocation(where == QStandardPaths::AppConfigLocation
                                                              ? QStandardPaths::GenericConfigLocation
                                                              : QStandardPaths::GenericDataLocation);
    const QString dir = base + QStringLiteral("/kx9monitor");
    QDir().mkpath(dir);
    return dir;
}
} // namespace

QString DefaultOptionFilePath()
{
    const QString exe = QCoreApplication::applicationFilePath();
    if (!IsInstalledExecutable(exe))
        return OptionFilePath(exe);
    return userFolder(QStandardPaths::AppConfigLocation) + QLatin1Char('/') + QFileInfo(OptionFilePath(exe)).fileName();
}

QString ToolDataFolder()
{
    const QString exe = QCoreApplication::applicationFilePath();
    if (!IsInstalledExecutable(exe))
        return QFileInfo(exe).absolutePath();
    return userFolder(QStandardPaths::AppDataLocation);
}

void LoadAppOptions(const QString &iniPath, AppOptions &out)
{
    loadSection(iniPath, kOption, out, kVisitOption);
}

bool SaveAppOptions(const QString &iniPath, const AppOptions &opts)
{
    return saveSection(iniPath, kOption, opts, kVisitOption);
}

void LoadComDebug(const QString &iniPath, ComDebugOptions &out)
{
    loadSection(iniPath, kComDebug, out, kVisitComDebug);
}

bool SaveComDebug(const QString &iniPath, const ComDebugOptions &opts)
{
    return saveSection(iniPath, kComDebug, opts, kVisitComDebug);
}

} // namespace kx9
