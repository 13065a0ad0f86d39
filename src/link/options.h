#pragma once
// The two sections of the option file: `Option` (held by the main window) and
// `ComDebug` (held by the communication module). Plain records; reading and
// writing goes through IniFile (ini_file.h).
#include <QString>
#include <cstdint>

namespace kx9 {

class IniFile;

struct AppOptions {
    int ComPort = 1;
    int ComSpeed = 0;
    int UseUSB = 0;
    int TCPPort = 3335;
    int fTCPServer = 1;
    int TCPServPort = 10777;
    QString TCPServAddr = QStringLiteral("192.168.0.100");
    int fUseGrobalIP = 0;
    int UidFlag = 0;
    int ReadOptionFlag = 0;
    int ReadUidFlag = 0;
    int WriteOptionFlag = 1;
    int WriteUidFlag = 0;
    int EnabLockBlock = 0;
    uint8_t S6700Conf = 212;
    uint16_t TagDataNum = 10;
    QString TagDataStr;
    uint8_t SysMode = 0;
    uint8_t Cmdmode = 0;
    uint16_t PolingTime = 5;
    int fInventory2 = 1;
    int TagBlockSize = 4;
    int fUseInOutFormat = 1;
    int InCode = 0;
    int OutCode = 1;
    QString InOutTitle = QStringLiteral("入／出");
    QString InString = QStringLiteral("入");
    QString OutString = QStringLiteral("出");
    int InOutMode = 1;
    int fBinaryWrite = 0;
    int fTimeOut = 0;
    int fBarCodeReader = 0;
    int fAllEEPROMSet = 0;
    QString KXIFName;
    uint8_t EAS_ON_VALUE = 0x31;
    uint8_t EAS_OFF_VALUE = 0x30;
    uint8_t PassData[4] = {0, 0, 0, 0};
    int TagWriteNum = 200;
    int fUseInv16SlotsCmd = 0;
    int fVER121 = 1;
    int fP15 = 0;
    int fGateCmd = 0;
    int fCommComand = 0;
    int fDebug1 = 0;
    int fTagTest1 = 0;
    int fUSESetOption = 0;
    uint8_t Prog15693FLAG = 0;
    int fInvTxOff = 0;
    int fDispEXTSet1 = 0;
    int fSetBuzFreq = 0;
    int fCustomCmd1 = 0;
    int fW30 = 0;
    int fW30Cmd = 0;
    QString W20LogFile;
    QString W30LogFile;
    int fMenuDisp = 0;
    int fDufaultTab = 1;
    int fCmdOutpStr = 0;
    int OkColor = int(0x8000000F);
    int NgColor = 255;

    // True when bits 1..3 of the S6700 control byte select Tag-it mode.
    bool tagItMode() const { return ((S6700Conf >> 1) & 7) == 4; }
};

// Serial flow control as the serial component holds it.
enum class FlowControl { None, Hardware, XonXoff };

struct ComDebugOptions {
    uint8_t Port = 1;
    int BaudRate = 19200;
    uint8_t ParityBits = 0;
    int ByteSize = 8;
    uint8_t StopBits = 0;
    FlowControl FlowCont = FlowControl::None;   // file: 1 hardware, 2 XON/XOFF, other none
    uint8_t IDNo = 0;
    int fDispRecInfo = 1;
    int fDispTxInfo = 1;
    int fWrDebug1 = 0;
    int fDispCont1 = 1;
    int MAX_REC_NO = 200;
    // Period of the receive poll (Timer1) in ms, 5-100; 100 unless a
    // production line asks for the reader's own pace.
    int RxPollMs = 100;
};

// Option file path: the executable's path with its file name's extension
// replaced by "ini" (appended when the file name has none).
QString OptionFilePath(const QString &executablePath);

// Where the tool keeps its files when nothing names them. Run from a build
// tree or any folder the user may write to, they sit beside the executable;
// an installed program (a system folder, or one the user cannot write to)
// uses the user's own folders instead.
bool IsInstalledExecutable(const QString &executablePath);
// The option file of this program: beside it, or
// ~/.config/kx9monitor/kx9monitor.ini when installed (the folder is made).
QString DefaultOptionFilePath();
// Settings exports and count logs: the executable's folder, or
// ~/.local/share/kx9monitor when installed (the folder is made).
QString ToolDataFolder();

void LoadAppOptions(const QString &iniPath, AppOptions &out);
// Returns false when nothing was saved (read-only file, cannot create, write failed).
bool SaveAppOptions(const QString &iniPath, const AppOptions &opts);
void LoadComDebug(const QString &iniPath, ComDebugOptions &out);
bool SaveComDebug(const QString &iniPath, const ComDebugOptions &opts);

} // namespace kx9
