#pragma once
// The menu actions of repeated execution and the tag memory viewer: the
// command runner, the reader loop commands (Read Loop, Inventory 16 Slots,
// RDLoop polling and its parameter), the tag test mode and its parameters,
// the raw command sender and "Tag Data...". They attach to the main window's
// menu items by objectName.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace kx9 {

class ActionHost;
struct AppOptions;
class TTComXDlg;

// Loop-command memory: kept while the program runs, not saved.
struct LoopMemory {
    uint8_t LoopStartBlock = 0;
    uint8_t LoopDataLength = 4;
    uint8_t LoopAfi = 0;
    bool LoopUseAfi = false;
    uint8_t ReadLoopMode = 0;
    uint8_t Inv16Mode = 0;
    uint8_t Inv16MaskLength = 0;
    uint8_t Inv16Mask[8] = {};
    uint8_t TagTestCheckMode = 0;
    uint8_t TagTestWord10High = 0;
    uint8_t RDLoopStartBlock = 0;
    uint8_t RDLoopDataLength = 0;
    QString LastRawCommand;
};

// Connects the handlers below to the host's items. A second call for the same
// host does nothing.
void AttachRunnerActions(ActionHost &host);

class RunnerActions : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRawText = 512;
    static constexpr int kMaxRawBytes = 256;

    explicit RunnerActions(ActionHost &host, QObject *parent = nullptr);
    void attach();

    LoopMemory &memory() { return mem_; }

    void N14Click();                      // "コマンドダイアログの実行..."
    void ReadLoop1Click();                // "ReadLoopコマンド..."
    void Inventory16Slots1Click();        // "Inventory16Slotsコマンド..."
    void MnRDLoopPolCmdClick();           // "ReadLoop Pollingコマンド" > "スタート"
    void MnRDLoopPolGetClick();           // "データ受信"
    void MnCmdOutpClick();                // "コマンド発行..."
    void MnTagTest1ONClick(bool on);      // "タグ検査モードの設定" > "ON" / "OFF"
    void MnTagTest1ParaClick();           // "パラメータ"
    void MnRDLoop1Click();                // "RDLoopモードの設定..."
    void MnTagData1Click();               // "Tag Data..."

private:
    AppOptions &opt();
    TTComXDlg *comm();
    void guarded(const std::function<void()> &body);

    ActionHost &host_;
    LoopMemory mem_;
    bool busy_ = false;
};

} // namespace kx9
