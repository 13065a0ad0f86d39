#pragma once
// Small widgets the runner's dialogs are built from: a radio group that hands
// out the index of its chosen item and a log control for the runner's own log.
#include "link/log_target.h"
#include "ui/radio_group.h"

#include <QPlainTextEdit>
#include <QStringList>

namespace kx9 {

// A titled group of radio buttons; the index of the chosen item is the value
// (a bit of a mode byte, a check mode ...). Named by the caller, since the
// scripts and the dialog driver find each group by its objectName.
class ChoiceGroup : public RadioGroup {
    Q_OBJECT
public:
    // Its buttons are named objectName_0, objectName_1, ...
    ChoiceGroup(const QString &objectName, const QString &title, const QStringList &items, int columns = 0,
                QWidget *parent = nullptr);
};

// The bits of a byte from eight radio groups (group i gives bit i).
uint8_t BitsFromGroups(const QList<ChoiceGroup *> &groups);
void GroupsFromBits(const QList<ChoiceGroup *> &groups, uint8_t bits);

// A multi-line log control (the runner's Memo1).
class LogMemo : public QPlainTextEdit, public LogTarget {
    Q_OBJECT
public:
    explicit LogMemo(QWidget *parent = nullptr);
    int lineCount() const override;
    void clearLog() override;
    void appendLine(const QString &line) override;
    QStringList lines() const;

private:
    bool empty_ = true;
};

} // namespace kx9
