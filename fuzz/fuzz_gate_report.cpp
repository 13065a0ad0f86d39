// The gate count report hand-off: 'G' frames with sub-kind 0x80 (W20) or 0x81
// (W30) go from the router to the open people-count dialog (or, with none
// open, to the log as text), the way the gate actions route them.
#include "frame_stream.h"

#include "commands/ttcomxdlg.h"
#include "gate/count_dialogs.h"
#include "gate/gate_bits.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QDateTime>

using namespace kx9;
using namespace kx9::gate;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kx9fuzz::App();
    // Kept for the run: their charts keep a bounded number of points.
    static const GateCountDialog::Poller noPoll = [](CountValues &) { return false; };
    static auto *w20 = new TGateCountDlg(kx9fuzz::ScratchDir() + QStringLiteral("/w20.csv"), noPoll);
    static auto *w30 = new TGateCount2Dlg(kx9fuzz::ScratchDir() + QStringLiteral("/w30.csv"), noPoll);

    kx9fuzz::Input in(data, size);
    const uint8_t setup = in.byte();
    AppOptions options;
    MainState state;
    LinkConfig config;
    config.LinkMode = 1;
    TTComXDlg module(config, kx9fuzz::ScratchDir() + QStringLiteral("/none.ini"), options, state, nullptr);

    int reports = 0;
    const bool dialogsOpen = setup & 2;
    QObject::connect(&module, &CommModule::gateCountReport, &module, [&](int tag, int count, const QByteArray &bytes) {
        ++reports;
        KX9_FUZZ_CHECK(tag == 10 || tag == 11);
        KX9_FUZZ_CHECK(count >= 13 && count <= 255);
        KX9_FUZZ_CHECK(bytes.size() == count - 1);
        if (dialogsOpen && tag == 10) {
            w20->ShowReport(count, bytes);
        } else if (dialogsOpen && tag == 11) {
            w30->ShowReport(count, bytes);
        } else {
            const QString text = ReportText(bytes);
            KX9_FUZZ_CHECK(text.size() <= 255);
        }
        CountValues v;
        const int taken = DecodeCountRecords(bytes, 3, v);
        KX9_FUZZ_CHECK(taken >= 0 && taken <= 3 && taken * kCountRecordSize <= bytes.size());
        const Model m = tag == 10 ? Model::W20 : Model::W30;
        KX9_FUZZ_CHECK(CountFields(m, v).size() == 4 * RecordCount(m));
        (void)CountLogRecord(m, v, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        // The records re-encode to the bytes they came from.
        if (taken == 3)
            KX9_FUZZ_CHECK(EncodeCountRecords(v, 3) == bytes.left(3 * kCountRecordSize));
    });

    // Gate frames: make most records 'G' with a count sub-kind so the mutations stay on this path.
    QList<kx9fuzz::StreamPiece> pieces = kx9fuzz::BuildStream(in, setup & 1);
    for (const kx9fuzz::StreamPiece &p : pieces) {
        const auto *bytes = reinterpret_cast<const uint8_t *>(p.bytes.constData());
        module.RingPut(bytes, int(p.bytes.size()));
        module.DrainReceiver();
    }
    (void)w20->values();
    (void)w30->values();
    return 0;
}
