#pragma once
// A multi-line log control the log writers append to (the main window's
// Memo1, the command runner's own log).
#include "link/log_target.h"

#include <QPlainTextEdit>

namespace kx9 {

class LogPane : public QPlainTextEdit, public LogTarget {
    Q_OBJECT
public:
    explicit LogPane(QWidget *parent = nullptr);

    int lineCount() const override;
    void clearLog() override;
    void appendLine(const QString &line) override;
    // The lines as shown, for whoever needs to read the log back.
    QStringList lines() const;

private:
    bool oneEmptyLine_ = false;
};

} // namespace kx9
