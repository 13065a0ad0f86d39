#pragma once
// An in-memory log page the module writes its lines to.
#include "link/log_target.h"

#include <QStringList>

class MemoryLog : public kx9::LogTarget {
public:
    int lineCount() const override { return int(lines.size()); }
    void clearLog() override { lines.clear(); }
    void appendLine(const QString &line) override { lines << line; }
    QStringList lines;
};
