#pragma once
// Moving the parameter record between the reader and the tool: the whole
// record read as the options say (in halves for readers that want it so),
// the area writes with their reply waits, and the export of the reader's
// record to the fixed settings file beside the executable.
#include "config/param_block.h"

#include <QString>

namespace kx9 {

class ActionHost;
class TTComXDlg;

// Reads the record and logs "OK: RxEepromData" / "ERROR: RxEepromData" (and
// the area-2 lines when area 2 is read). With fP15 area 1 comes in two reads
// of ten words and area 2 is not read; with fVER121 0 neither is area 2.
// Returns false at the first failed read.
bool ReadReaderParams(ActionHost &host, ParamArea1 &area1, ParamArea2 &area2);
bool ReadReaderParams(ActionHost &host, ReaderParamBlock &block);

// One EEPROM write of `count` words from `firstWord` followed by the reply
// wait; true when it was acknowledged.
bool WriteArea1Words(TTComXDlg &comm, const ParamArea1 &area, int firstWord, int count);
bool WriteArea2Words(TTComXDlg &comm, const ParamArea2 &area, int firstWord, int count);

// The hidden export of the R/W parameter dialog: reads area-1 words 1-20 and,
// when the reader has ROM 1.21 or later (`rom121`), area-2 words 1-10 (else
// area 2 is 20 zero bytes), and writes them to "KX9RWConf.KXI" in `folder`
// (the executable's folder when empty), keeping the file's other contents.
// When a read fails nothing is written: the old file stays and the log says
// why. A file that cannot be written is reported in a message box over
// `host`'s window. Returns true when the file was written.
bool ExportReaderSettings(ActionHost &host, bool rom121, const QString &folder = QString());
QString ExportFilePath(const QString &folder = QString());

} // namespace kx9
