#include "commands/ttcomxdlg.h"

namespace kx9 {

TTComXDlg::TTComXDlg(const LinkConfig &config, const QString &iniPath, AppOptions &options,
                     MainState &state, LogTarget *logPane, QObject *parent)
    : CommModule(config, iniPath, options, state, logPane, parent)
{
}

TTComXDlg::~TTComXDlg() = default;

} // namespace kx9
