#pragma once
// An in-memory log control the module under test writes its lines to.
#include "link/log_target.h"

#include <QStringList>
#include <functional>

namespace kx9test {

class MemoryLog : public kx9::LogTarget {
public:
    int lineCount() const override { return int(lines.size()); }
    void clearLog() override { lines.clear(); ++clears; }
    void appendLine(const QString &line) override
    {
        lines.append(line);
        if (onAppend)
            onAppend(line);
    }
    int count(const QString &line) const { return int(lines.count(line)); }

    QStringList lines;
    int clears = 0;
    std::function<void(const QString &)> onAppend;
};

} // namespace kx9test
