// The main menu: every item with its caption, shortcut and objectName. The
// command actions attach themselves to these items by objectName.
#include "app/main_window.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <vector>

namespace kx9 {

namespace {

// One line per item; an item followed by deeper lines is a submenu. A name
// starting with '-' is a separator (named when more follows the dash).
struct MenuLine {
    int depth;
    const char *name;
    const char *caption;
    const char *shortcut;
};

const MenuLine kMainMenu[] = {
    {0, "MnFile", "ファイル(&F)", nullptr},
    {1, "MnSaveFile", "ファイルへの保存", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnExit", "終了(&X)", nullptr},

    {0, "MnCommand", "コマンド", nullptr},
    {1, "MnCmdModeSet", "モード設定", nullptr},
    {2, "MnAutoScan", "オートスキャン", nullptr},
    {2, "MnSetCmdMode", "コマンドモード", nullptr},
    {2, "Test11", "Test1", nullptr},
    {2, "Test21", "Test2", nullptr},
    {2, "Test31", "Test3", nullptr},
    {2, "Test41", "Test4", nullptr},
    {2, "Test51", "Test5", nullptr},
    {1, "MnGetModeMenu", "モード受信", nullptr},
    {2, "MnGetMode", "モード", nullptr},
    {2, "MnGetS6700Mode", "S6700のモード", nullptr},
    {1, "MnReadEEPROM2", "EEPROM２のリード...", nullptr},
    {1, "MnSetEEPROM2", "EEPROMの設定2...", nullptr},
    {1, "MnDataWrite", "データ書き込み...", "Ctrl+W"},
    {1, "MnGetErrRate", "エラー率の取得", nullptr},
    {1, "MnClearErrRate", "エラー率のクリア", nullptr},
    {1, "MnDataClear", "データクリア", nullptr},

    {0, "MnGeneralCmd", "汎用コマンド", nullptr},
    {1, "MnRestart", "リスタート", nullptr},
    {1, "MnTxOnOff", "送信", nullptr},
    {2, "MnTxON", "ON", nullptr},
    {2, "MnTXOFF", "OFF", nullptr},
    {2, "MnTXOFFON1", "OFF->ON", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnBuzzer", "ブザー鳴動", nullptr},
    {2, "MnSetBuz1", "ブザー音１", nullptr},
    {2, "MnSetBuz2", "ブザー音２", nullptr},
    {1, "MnLED1", "LED制御", nullptr},
    {1, "MnGetRomVer", "ＲＯＭバージョンの取得", nullptr},
    {1, "MnReadRAM1", "RAMデータの取得...", nullptr},
    {1, "MnWriteRAM1", "RAMデータの書き込み...", nullptr},
    {1, "MnIOPORT1In", "汎用入出ポートからの読み込み", nullptr},
    {1, "MnIOPORT2In", "汎用入出力ポートへの書き込み", nullptr},
    {1, "MnSelRy", "アンテナの選択...", "Ctrl+Alt+A"},
    {1, "MnGetPWMode", "パワー状態の取得", nullptr},
    {1, "MnPolWrite1", "ポーリングライトコマンド", nullptr},
    {1, "MnSimpleRead", "シンプルリードコマンド", nullptr},
    {1, "MnEEPROM1", "EEPROMの初期化", nullptr},
    {1, "MnLEDBuz1", "LED&&BUZ", nullptr},
    {1, "MnWriteExtPort1", "拡張ポートへの書込...", nullptr},
    {1, "MnGetCurrentUid1", "カレントUIDの取得", nullptr},
    {1, "MnSetCurrentUid1", "カレントUIDの設定", nullptr},
    {1, "MnGetModelName1", "機種名の取得", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnPowerDown", "パワーダウンモード", nullptr},
    {1, "MnGetErrStatus", "エラー状態の取得", nullptr},
    {1, "ReadBytes1", "ReadBytesコマンド...", nullptr},
    {1, "WriteBytes1", "WriteBytesコマンド...", nullptr},
    {1, "MnLockBytes1", "LockBytesコマンド...", nullptr},
    {1, "MnGetUIDNum", "UIDの数の取得", nullptr},
    {1, "GetUIDData", "UIDデータの取得...", nullptr},
    {1, "MnQUIT_Cmd", "キャンセルコマンド", nullptr},
    {2, "MnQUIT_Cmd1", "レスポンスなし", nullptr},
    {2, "MnQUIT_Cmd2", "常にACKを返す", nullptr},
    {2, "MnQUIT_Cmd3", "ACK/NACKを返す", nullptr},
    {1, "MnCommCommand", "CommCommand", nullptr},
    {2, "MnCommRead1", "Read", nullptr},
    {2, "MnCommWrite1", "Write", nullptr},
    {2, "MnTransmit1", "Transmit", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "Inventory16Slots1", "Inventory16Slotsコマンド...", nullptr},
    {1, "ReadLoop1", "ReadLoopコマンド...", nullptr},
    {1, "ReadLoopPolling1", "ReadLoop Pollingコマンド", nullptr},
    {2, "MnRDLoopPolCmd", "スタート", nullptr},
    {2, "MnRDLoopPolGet", "データ受信", nullptr},
    {1, "MnCmdOutp", "コマンド発行...", nullptr},
    {1, "-MnCmdOutpSepa", nullptr, nullptr},
    {1, "MnTagData1", "Tag Data...", nullptr},

    {0, "MnISO15693", "ISO15693コマンド", nullptr},
    {1, "MnInventory", "Inventory", nullptr},
    {2, "MnInventory1Slot1", "1 Slot", "Ctrl+F1"},
    {2, "MnInventory16Slots1", "16 Slots", nullptr},
    {1, "Inventory21", "Inventory2", "Ctrl+F2"},
    {1, "MnStayQuit", "StayQuiet", "Ctrl+F3"},
    {1, "MnReadSingleBlock", "ReadSingleBlock", "Ctrl+F4"},
    {1, "MnWriteSingleBlock", "WriteSingleBlock", "Ctrl+F5"},
    {1, "MnLockBlock", "LockBlock", nullptr},
    {1, "MnReadMultiBlock", "ReadMultiBlock", "Ctrl+F6"},
    {1, "MnWriteMultiBlock", "WriteMultiBlock", nullptr},
    {1, "MnSelectTag", "SelectTag", nullptr},
    {1, "MnResetToReady", "ResetToReady", "Ctrl+F7"},
    {1, "MnWriteAFI", "WriteAFI", "Ctrl+F8"},
    {1, "MnLockAFI", "LockAFI", nullptr},
    {1, "MnWrietDSFID", "WrietDSFID", "Ctrl+F9"},
    {1, "MNLockDSFID", "LockDSFID", nullptr},
    {1, "MnGetSystemInfo", "GetSystemInfo", "Ctrl+F10"},
    {1, "MnGetMBlockSecSt", "GetMBlockSecSt", "Ctrl+F11"},
    {1, "MnWrite2Blocks", "Write2Blocks", nullptr},
    {1, "MnLock2Blocks", "Lock2Blocks", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "Read1BlockSelect1", "Read1Block(Select)", nullptr},
    {1, "Write1BlockSelect1", "Write1Block(Select)", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "N14", "コマンドダイアログの実行...", nullptr},

    {0, "MnMyd", "my-dコマンド", nullptr},
    {1, "MnMydRead1", "Read", nullptr},
    {1, "MnMydWrite1", "Write", nullptr},
    {1, "MnMydWriteByte1", "WriteByte", nullptr},
    {1, "MnMydWriteReread1", "WriteReread", nullptr},

    {0, "MnCustomCmd", "カスタムコマンド", nullptr},
    {1, "MnTI", "TI", nullptr},
    {2, "MnTIInventoryRead", "Inventory Read", nullptr},
    {3, "MnTIInventoryRead11", "1", nullptr},
    {3, "MnTIInventoryRead161", "16", nullptr},
    {2, "MnTIInventoryMultiRead", "Inventory Multi Read", nullptr},
    {3, "MnTIInventoryMultiRead11", "1", nullptr},
    {3, "MnTIInventoryMultiRead161", "16", nullptr},
    {2, "MnTIInventoryGetSystemInfo", "Inventory GetSystemInfo", nullptr},
    {3, "MnTIInventoryGetSystemInfo11", "1", nullptr},
    {3, "MnTIInventoryGetSystemInfo161", "16", nullptr},
    {2, "MnTIInventoryGetSecInfo", "Inventory GetSecInfo", nullptr},
    {3, "MnTIInventoryGetSecInfo11", "1", nullptr},
    {3, "MnTIInventoryGetSecInfo161", "16", nullptr},
    {1, "MnTILight", "TI Light", nullptr},
    {2, "MnWrLightPass", "パスワードの書き込み...", nullptr},
    {2, "MnSetRP", "RPのセット（PWD有効）", nullptr},
    {2, "MnLightAFI1", "AFI値の設定...", nullptr},
    {2, "WriteSingleBlockPwd1", "WriteSingleBlockPwd", nullptr},
    {2, "MnKill1", "Kill", nullptr},
    {1, "MnPhilips", "フィリップス", nullptr},
    {2, "InventoryRead1", "Inventory Read", nullptr},
    {3, "InventoryRead11", "1", nullptr},
    {3, "InventoryRead161", "16", nullptr},
    {2, "FastInventoryRead1", "Fast Inventory Read", nullptr},
    {3, "FastInventoryRead11", "1", nullptr},
    {3, "FastInventoryRead161", "16", nullptr},
    {2, "MnSetEAS1", "Set EAS", nullptr},
    {2, "MnResetEAS1", "Reset EAS", nullptr},
    {2, "MnLockEAS1", "Lock EAS", nullptr},
    {2, "MnEASAlarm1", "EAS Alarm", nullptr},
    {1, "MnFujitsu", "富士通", nullptr},
    {2, "MnMB89EAS1", "EAS", nullptr},
    {2, "MnFujiWriteEAS", "Write EAS", nullptr},
    {3, "MnFujiEASON", "ON", nullptr},
    {3, "MnFujiEASOFF", "OFF", nullptr},
    {2, "MnMB89Refresh", "Refresh", nullptr},
    {2, "MnMB89ReadMulitiBlocksUnlimited1", "Read Muliti Blocks Unlimited", nullptr},
    {1, "MnSTMicro", "STマイクロ", nullptr},
    {2, "MnACTIVATEEAS1", "ACTIVATE EAS", nullptr},
    {2, "MnDEACTIVATEEAS1", "DEACTIVATE EAS", nullptr},
    {2, "POOLEAS1", "POOL EAS", nullptr},

    {0, "MnTagit", "TAG-ITコマンド", nullptr},
    {1, "MnGetBlock", "GetBlock", nullptr},
    {1, "MnGetVersion", "GetVersion", nullptr},
    {1, "MnPutBlock", "PutBlock", nullptr},
    {1, "MnPutBlockLock", "PutBlockLock", nullptr},
    {1, "MnLockBlock2", "LockBlock", nullptr},
    {1, "MnSID_Poll", "SID_Poll", nullptr},
    {1, "MnQuiet", "Quiet", nullptr},

    {0, "MnGateCmd", "ゲート用コマンド", nullptr},
    {1, "MnGateMode", "動作モード", nullptr},
    {1, "MnGeteEEPROM", "EEPROMデータ", nullptr},
    {1, "MnGateDispOutSate", "表示＆出力状態", nullptr},
    {1, "MnSensorState", "センサー状態", nullptr},
    {1, "MnGateEEPROM_READ", "EEPROM_READ", nullptr},
    {1, "MnGateEEPROM_WRITE", "EEPROM_WRITE", nullptr},
    {1, "MnCountEEPROM", "人数カウント設定...", nullptr},
    {1, "MnCountData", "人数カウントデータ...", nullptr},
    {1, "MnContTimgRes", "人数カウントのタイミングのリセット", nullptr},
    {1, "MnMelodyLEDCmd", "メロディ、ランプ制御コマンド...", nullptr},
    {1, "MnDispCountDlg", "人数カウントダイアログ...", nullptr},

    {0, "W301", "W30用コマンド", nullptr},
    {1, "MnW30outinfo", "表示＆出力状態...", nullptr},
    {1, "MnW30mcountvalu", "カウント値...", nullptr},
    {1, "MnW30spkvolume", "電子ボリューム値...", nullptr},
    {1, "MnW30ROM1", "W30 ROMバージョン", nullptr},
    {1, "MnW30GetType", "W30 機種名取得", nullptr},
    {1, "MnW30GCount", "人数カウントダイアログ...", nullptr},
    {1, "-MnW30_Sepa", nullptr, nullptr},
    {1, "MnW30ReStart", "リスタート", nullptr},
    {1, "MnW30Bps", "通信スピード取得・設定...", nullptr},
    {1, "MnW30ProgMode", "ファーム書き込みモード", nullptr},
    {1, "IOBEEPROMCmd", "IOボードEEPROM初期化コマンド", nullptr},

    {0, "MnSetting", "設定", nullptr},
    {1, "MnSetModeMenu", "モード設定", nullptr},
    {2, "MnSetMode2", "モード設定...", nullptr},
    {2, "MnModeSet3", "モード設定（EEPRON）...", nullptr},
    {1, "MnSetDousa", "動作モードの設定...", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnSetUserCode", "ユーザーコード...", nullptr},
    {1, "MnSetAFI", "AFIの設定...", nullptr},
    {1, "MnSetMemSW", "メモリースイッチ...", nullptr},
    {1, "MnSetWaitTimer", "ウエイトタイマーの設定...", nullptr},
    {1, "MnSetPara3", "R/Wのパラメータ設定...", "Ctrl+Alt+P"},
    {1, "MnConfig1", "環境設定...", nullptr},
    {1, "MnParamData", "パラメータデータ", nullptr},
    {2, "MnParamData1", "パラメータ1", nullptr},
    {2, "MnParamData2", "パラメータ2", nullptr},
    {2, "MnParamData3", "パラメータ3", nullptr},
    {2, "MnParamData4", "パラメータ4", nullptr},
    {2, "MnParamData5", "パラメータ5", nullptr},
    {2, "MnParamData6", "パラメータ6", nullptr},
    {2, "MnParamData7", "パラメータ7", nullptr},
    {2, "MnParamData8", "パラメータ8", nullptr},
    {2, "MnParamData9", "パラメータ9", nullptr},
    {2, "MnParamData10", "パラメータ10", nullptr},
    {2, "MnParamData11", "パラメータ11", nullptr},
    {2, "MnParamData12", "パラメータ12", nullptr},
    {2, "MnParamData13", "パラメータ13", nullptr},
    {2, "MnParamData14", "パラメータ14", nullptr},
    {2, "MnParamData15", "パラメータ15", nullptr},
    {2, "MnParamData16", "パラメータ16", nullptr},
    {1, "MnScanMode1", "ScanMode値の設定...", nullptr},
    {1, "MnSetEEPROM", "EEPROMの設定...", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnSetRetry", "リトライ回数の設定", nullptr},
    {1, "EEPROM21", "EEPROM2の設定...", nullptr},
    {1, "MnSetRWIDNUM", "Ｒ／ＷのＩＤの登録", nullptr},
    {1, "MnSetAnci", "アンチコリジョン設定", nullptr},
    {2, "MnAntiNormal", "通常処理", nullptr},
    {2, "MnAntiFast", "高速処理", nullptr},
    {1, "MnSetBuz", "ブザーの選択", nullptr},
    {2, "MnSetBuz_1", "他励式ブザー", nullptr},
    {2, "MnSetBuz_2", "自励式ブザー", nullptr},
    {1, "MnNoReadCmd", "ノーリードコマンド", nullptr},
    {2, "MnNoReadCmd_OFF", "使用しない", nullptr},
    {2, "MnNoReadCmd_ON", "使用する", nullptr},
    {1, "MnBuzFreq", "ブザーの周波数", nullptr},
    {2, "MnBuzFreq5KHz", "5KHz", nullptr},
    {2, "MnBuzFreq2KHz", "2KHｚ（可変）", nullptr},
    {1, "MnAFI1", "AFI値の指定", nullptr},
    {2, "MnAFIOff", "指定しない", nullptr},
    {2, "MnAFIOn", "指定する", nullptr},
    {1, "MnInventoryAFI1", "Inventory時のAFI", nullptr},
    {2, "MnInventoryAFI_OFF", "指定しない", nullptr},
    {2, "MnInventoryAFI_ON", "指定する", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnAntSwitch", "アンテナ切替の設定", nullptr},
    {2, "MnKX9P80C1", "KX9-P80C...", nullptr},
    {2, "MnSelAnt2", "切替基板使用...", nullptr},
    {1, "MnSetIO1", "I/Oポートの設定...", nullptr},
    {1, "MnSelAntena", "アンテナの選択...", nullptr},
    {1, "MnEnableEAS1", "EASモードの設定...", nullptr},
    {1, "MnDoubleReadTime", "２度読み禁止時間", nullptr},
    {1, "MnTimingReg", "Timing Registerの設定...", nullptr},
    {1, "MnTxOffTime", "TXｏｆｆ時間の設定...", nullptr},
    {1, "MnBlockSize", "ブロックサイズの設定", nullptr},
    {1, "MnAntennaSet", "アンテナ設定...", nullptr},
    {1, "MnInvTrigger", "インベントリ時のトリガ入力", nullptr},
    {2, "MnInvTriggerOff", "無効", nullptr},
    {2, "MnInvTriggerOn", "有効", nullptr},
    {1, "MnFreqSet", "周波数設定...", nullptr},
    {1, "MnEASSet", "EASの設定", nullptr},
    {2, "MnEASON1", "ON", nullptr},
    {2, "MnEASOFF1", "OFF", nullptr},
    {1, "MnSelTag", "タグの選択", nullptr},
    {2, "MnSelTagTI", "TI,my-d,フィリップス", nullptr},
    {2, "MnSelTagFuji", "富士通", nullptr},
    {1, "MnRDLoop1", "RDLoopモードの設定...", nullptr},
    {1, "MnTagTest1", "タグ検査モードの設定", nullptr},
    {2, "MnTagTest1ON", "ON", nullptr},
    {2, "MnTagTest1OFF", "OFF", nullptr},
    {2, "MnTagTest1Para", "パラメータ", nullptr},
    {1, "-", nullptr, nullptr},
    {1, "MnSetCOMPort", "COMポートの設定...", nullptr},
    {1, "MnComPara", "通信パラメータ...", nullptr},
    {1, "MnSetSpeed", "通信スピードの設定", nullptr},
    {2, "Mn9600bps", "9600bps", nullptr},
    {2, "Mn192kbps", "19.2kbps", nullptr},
    {2, "Mn384kbps", "38.4kbps", nullptr},
    {1, "MnChkPort", "ポートチェック", nullptr},
    {1, "MnSetTCPIP1", "LAN接続の設定...", nullptr},
    {1, "MnPing", "PINGの実行...", nullptr},
    {1, "MnTelnet1", "ネットワークボードの設定値...", nullptr},

    {0, "MnHelp", "ヘルプ(&H)", nullptr},
    {1, "MnAbout", "バージョン情報(&A)...", nullptr},
};

} // namespace

void TKX9AppForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    // Open menus by depth; a line with deeper lines after it opens a submenu.
    std::vector<QMenu *> open;
    const int n = int(std::size(kMainMenu));
    for (int i = 0; i < n; ++i) {
        const MenuLine &line = kMainMenu[i];
        open.resize(line.depth);
        QMenu *parentMenu = line.depth ? open.back() : nullptr;
        const QString name = QString::fromLatin1(line.name);
        if (name.startsWith(QLatin1Char('-'))) {
            QAction *sep = parentMenu->addSeparator();
            sep->setObjectName(name.mid(1));
            continue;
        }
        const bool isMenu = line.depth == 0 || (i + 1 < n && kMainMenu[i + 1].depth > line.depth);
        const QString caption = QString::fromUtf8(line.caption);
        if (isMenu) {
            QMenu *m = parentMenu ? parentMenu->addMenu(caption) : bar->addMenu(caption);
            m->setObjectName(name);
            m->menuAction()->setObjectName(name);
            open.push_back(m);
            continue;
        }
        QAction *a = parentMenu->addAction(caption);
        a->setObjectName(name);
        if (line.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(line.shortcut)));
    }
}

} // namespace kx9
