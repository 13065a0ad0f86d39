#include "config/param_io.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "config/settings_file.h"
#include "link/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>

namespace kx9 {

namespace {

bool readInto(TTComXDlg &comm, bool area2, uint8_t *area, int size, int firstWord, int count)
{
    QByteArray words;
    const bool ok = area2 ? comm.EEPROM_RDWR_CMD2_RX(uint8_t(firstWord), uint8_t(count), words)
                          : comm.EEPROM_RDWR_CMD_RX(uint8_t(firstWord), uint8_t(count), words);
    return ok && PutAreaWords(area, size, firstWord, words);
}

} // namespace

bool ReadReaderParams(ActionHost &host, ParamArea1 &area1, ParamArea2 &area2)
{
    TTComXDlg *comm = host.comm();
    const AppOptions &o = host.appOptions();
    const auto fail = [&host](const char *line) {
        host.AppLog(QString::fromUtf8(line));
        return false;
    };
    if (!comm)
        return fail("ERROR: RxEepromData");
    // Read into a copy, so a failed read leaves the caller's areas as they were.
    ParamArea1 a1 = area1;
    if (o.fP15 != 0) {
        if (!readInto(*comm, false, a1.data(), int(a1.size()), 1, 10))
            return fail("ERROR: RxEepromData");
        if (!readInto(*comm, false, a1.data(), int(a1.size()), 11, 10))
            return fail("ERROR: RxEepromData");
        area1 = a1;
        host.AppLog(QStringLiteral("OK: RxEepromData"));
        return true;
    }
    if (!readInto(*comm, false, a1.data(), int(a1.size()), 1, kArea1Words))
        return fail("ERROR: RxEepromData");
    area1 = a1;
    host.AppLog(QStringLiteral("OK: RxEepromData"));
    if (o.fVER121 == 0)
        return true;
    ParamArea2 a2 = area2;
    if (!readInto(*comm, true, a2.data(), int(a2.size()), 1, kArea2Words))
        return fail("ERROR: RxEepromData2");
    area2 = a2;
    host.AppLog(QStringLiteral("OK: RxEepromData2"));
    return true;
}

bool ReadReaderParams(ActionHost &host, ReaderParamBlock &block)
{
    return ReadReaderParams(host, block.area1, block.area2);
}

bool WriteArea1Words(TTComXDlg &comm, const ParamArea1 &area, int firstWord, int count)
{
    comm.EEPROM_RDWR_CMD_TX(uint8_t(firstWord), uint8_t(count), AreaWords(area, firstWord, count));
    return comm.WaitAck();
}

bool WriteArea2Words(TTComXDlg &comm, const ParamArea2 &area, int firstWord, int count)
{
    comm.EEPROM_RDWR_CMD2_TX(uint8_t(firstWord), uint8_t(count), AreaWords(area, firstWord, count));
    return comm.WaitAck();
}

QString ExportFilePath(const QString &folder)
{
    const QString dir = folder.isEmpty() ? ToolDataFolder() : folder;
    return QDir(dir).filePath(kExportFileName);
}

bool ExportReaderSettings(ActionHost &host, bool rom121, const QString &folder)
{
    TTComXDlg *comm = host.comm();
    const QString path = ExportFilePath(folder);
    const auto notWritten = [&host, &path](const char *error) {
        host.AppLog(QString::fromUtf8(error));
        host.AppLog(QStringLiteral("%1 は書き込みませんでした（リーダーから読み込めません）").arg(path));
        return false;
    };
    ReaderParamBlock block;
    // What a failed read would leave in the block is not the reader's record:
    // writing it would pass off zeros or half a record as the reader's.
    if (!comm || !readInto(*comm, false, block.area1.data(), int(block.area1.size()), 1, kArea1Words))
        return notWritten("ERROR: RxEepromData");
    if (rom121 && !readInto(*comm, true, block.area2.data(), int(block.area2.size()), 1, kArea2Words))
        return notWritten("ERROR: RxEepromData2");
    QString why;
    if (!WriteSettingsFile(path, block, host.appOptions().fVER121 != 0, &why)) {
        QMessageBox::warning(host.hostWindow(), QStringLiteral("KX9RWConf.KXI"),
                             QStringLiteral("設定ファイルを保存できませんでした。元のファイルは変更されていません。\n%1\n%2")
                                 .arg(path, why));
        return false;
    }
    return true;
}

} // namespace kx9
