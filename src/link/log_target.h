#pragma once
#include <QString>

namespace kx9 {

// A log control the writers append lines to. The main window adapts its log
// page to this; tests use an in-memory one.
class LogTarget {
public:
    virtual ~LogTarget() = default;
    virtual int lineCount() const = 0;
    virtual void clearLog() = 0;
    virtual void appendLine(const QString &line) = 0;
};

} // namespace kx9
