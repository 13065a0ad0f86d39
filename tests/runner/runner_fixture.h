#pragma once
// The monitor against kx9sim with the runner's actions attached and every
// option item of the loop commands shown; small helpers to find the dialogs
// shown without blocking and to read the simulator's frame log.
#include "e2e_fixture.h"

#include "commands/ttcomxdlg.h"
#include "runner/runner_actions.h"

#include <QApplication>
#include <QRegularExpression>

namespace runner_test {

inline const QString kLoopOptions = QStringLiteral(
    "fMenuDisp=1\r\nfUseInv16SlotsCmd=1\r\nfCustomCmd1=1\r\nfCmdOutpStr=1\r\nfTagTest1=1\r\nfDispEXTSet1=1\r\n");

inline std::unique_ptr<e2e::Monitor> StartMonitor(const QString &extra = {})
{
    auto m = std::make_unique<e2e::Monitor>(QStringList{}, kLoopOptions + extra);
    if (m->ok)
        kx9::AttachRunnerActions(*m->window);
    return m;
}

// A top-level widget of class T with this objectName, if one is open.
template <class T>
T *OpenWidget(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w); t && t->objectName() == name && t->isVisible())
            return t;
    return nullptr;
}

// Every line of the simulator's frame log with "RX" (received frames,
// including refused ones with their remark), as "hex[ (remark)]".
inline QStringList SimRxLines(const SimProcess &sim)
{
    QStringList out;
    static const QRegularExpression rx(QStringLiteral("^\\S+ RX (.*)$"));
    for (const QByteArray &line : sim.frameLog().split('\n')) {
        const auto m = rx.match(QString::fromLatin1(line).trimmed());
        if (m.hasMatch())
            out << m.captured(1);
    }
    return out;
}

inline QByteArray Hex(const char *text) { return QByteArray::fromHex(text); }

} // namespace runner_test
