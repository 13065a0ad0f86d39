#pragma once
// The communication module with one operation per reader, gate and tag
// command, and the reply decoders attached to the router.
#include "link/comm_module.h"

namespace kx9 {

class TTComXDlg : public CommModule {
    Q_OBJECT
public:
    TTComXDlg(const LinkConfig &config, const QString &iniPath, AppOptions &options,
              MainState &state, LogTarget *logPane, QObject *parent = nullptr);
    ~TTComXDlg() override;
};

} // namespace kx9
