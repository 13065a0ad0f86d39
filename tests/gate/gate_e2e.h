#pragma once
// The monitor's main window with the gate actions attached, against a kx9sim
// with a gate on its line. The reader's ID is 1, so the commands that go out
// with ID 0 show it on the wire.
#include "../e2e/e2e_fixture.h"

#include "commands/ttcomxdlg.h"
#include "gate/gate_actions.h"
#include "link/options.h"

#include <QTest>
#include <QTimer>

namespace gate_e2e {

class GateMonitor : public e2e::Monitor {
public:
    GateMonitor()
        : e2e::Monitor({QStringLiteral("--gate"), QStringLiteral("W20"), QStringLiteral("--id"), QStringLiteral("1")},
                       QStringLiteral("fGateCmd=1\r\nfMenuDisp=1\r\n"))
    {
        if (!ok)
            return;
        window->comm()->comDebug().IDNo = 1;
        kx9::AttachGateActions(*window);
    }

    kx9::TTComXDlg &comm() { return *window->comm(); }
    kx9::AppOptions &options() { return window->appOptions(); }

    // A fresh gate of that model (its factory state) and the matching option.
    bool freshGate(bool w30)
    {
        options().fW30 = w30 ? 1 : 0;
        sim.control(QStringLiteral("fault clear"));
        return sim.control(QStringLiteral("gate model none")) == QLatin1String("OK") &&
               sim.control(w30 ? QStringLiteral("gate model W30") : QStringLiteral("gate model W20")) ==
                   QLatin1String("OK");
    }

    // One value of kx9sim's "gate get".
    QString gateGet(const QString &key)
    {
        const QString reply = sim.control(QStringLiteral("gate get"));
        for (const QString &kv : reply.split(u' '))
            if (kv.startsWith(key + u'='))
                return kv.mid(key.size() + 1);
        return QStringLiteral("<no %1 in: %2>").arg(key, reply);
    }

    // Triggers the item (its dialogs answered by `driver`), then returns the
    // frames kx9sim received meanwhile, as upper-case hex.
    QStringList run(const QString &item, int expectFrames)
    {
        const int before = received();
        QAction *a = this->item(item);
        if (!a)
            return {QStringLiteral("<no item %1>").arg(item)};
        a->trigger();
        (void)QTest::qWaitFor([&] { return received() >= before + expectFrames; }, 3000);
        QTest::qWait(150);   // nothing more may follow
        QStringList hex;
        for (const QByteArray &f : receivedSince(before))
            hex << QString::fromLatin1(f.toHex().toUpper());
        return hex;
    }
};

} // namespace gate_e2e
