// The receive path as the main window runs it: bytes from the link go into the
// 16384-byte ring in the chunks they arrived in, the receive timer drains the
// ring through the frame assembler and the reply router, and every decoder
// updates what it updates: the log, the current tag, the reply buffers, the
// tag list and the result grid.
#include "frame_stream.h"

#include "app/tag_grid.h"
#include "commands/ttcomxdlg.h"
#include "link/log_target.h"
#include "link/main_state.h"
#include "link/options.h"
#include "link/tag_list.h"

using namespace kx9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kx9fuzz::App();
    static TagGrid *grid = new TagGrid;

    kx9fuzz::Input in(data, size);
    const uint8_t setup = in.byte();
    const uint8_t chunking = in.byte();

    AppOptions options;
    options.S6700Conf = in.byte();           // Tag-it mode among others
    options.UidFlag = setup & 0x02 ? 1 : 0;
    options.fUseInOutFormat = setup & 0x04 ? 1 : 0;
    options.InOutMode = (setup >> 3) & 3;
    options.TagBlockSize = (setup & 0x20) ? 8 : 4;
    MainState state;
    kx9fuzz::CountingLog log;

    LinkConfig config;
    config.LinkMode = 1;   // no channel until Open(): the harness is the link
    TTComXDlg module(config, kx9fuzz::ScratchDir() + QStringLiteral("/none.ini"), options, state, &log);
    module.setLogRx(setup & 0x40 ? 1 : 0);
    module.OptionFlagMarker = setup & 0x80 ? 1 : 0;
    grid->setHeadings(options);
    module.tagList().setView(grid);
    module.tagList().ClearTagList();

    const QList<kx9fuzz::StreamPiece> pieces = kx9fuzz::BuildStream(in, setup & 1);
    const int chunk = 1 + (chunking & 0x3F);
    for (const kx9fuzz::StreamPiece &p : pieces) {
        module.setLastCommandCode(p.commandCode);
        const auto *bytes = reinterpret_cast<const uint8_t *>(p.bytes.constData());
        const int n = int(p.bytes.size());
        for (int at = 0; at < n; at += chunk) {
            module.RingPut(bytes + at, std::min(chunk, n - at));
            // A timer tick may come between any two deliveries, or only after several.
            if (!(chunking & 0x40) || at + chunk >= n)
                module.DrainReceiver();
        }
    }
    module.DrainReceiver();
    KX9_FUZZ_CHECK(module.RxHead() == module.RxTail());

    const TagList &tags = module.tagList();
    KX9_FUZZ_CHECK(tags.count() <= tags.capacity());
    for (int i = 0; i < tags.count(); ++i)
        KX9_FUZZ_CHECK(tags.entry(i).readCount >= 1);
    KX9_FUZZ_CHECK(module.LastReply().size() <= kMaxFrameSize);
    KX9_FUZZ_CHECK(module.LastReadCount >= 0 && module.LastReadCount <= module.LastReadData.size());
    (void)module.LastReply().dataBytes();
    (void)module.LastGateReply().dataBytes();
    return 0;
}
