// The serial parameter dialog on the real widgets, offscreen: the values it
// shows, the values it gives back, and the operator's edit filled the way an
// operator script fills it.
#include "../link/pty_pair.h"
#include "../support/memory_log.h"
#include "link/comm_module.h"
#include "link/ini_file.h"
#include "link/main_state.h"
#include "script/dialog_answerer.h"
#include "ui/serial_param_dialog.h"

#include <QFile>
#include <QTemporaryDir>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

using namespace kx9;

Q_DECLARE_METATYPE(kx9::SerialLineParams)

namespace {

QStringList shownTexts(const TSerialParamDlg &d)
{
    return {d.CBBitRate->currentText(), d.CBDataBits->currentText(), d.CBParity->currentText(),
            d.CBStopBits->currentText(), d.CBFlowCtrl->currentText()};
}

// Answers the next dialog once its modal loop runs.
void answerSoon(const QList<QPair<QString, QString>> &fields, const QString &button, QString *error, QString *caption)
{
    QTimer::singleShot(0, [=] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        QWidget *dlg = QApplication::activeModalWidget();
        *caption = dlg->windowTitle();
        *error = AnswerDialog(dlg, fields, button);
    });
}

} // namespace

class TestUiSerialParamDialog : public QObject {
    Q_OBJECT
private slots:
    void showsAndGivesBack_data()
    {
        QTest::addColumn<SerialLineParams>("params");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("module defaults") << SerialLineParams{19200, 8, 0, 0, FlowControl::None}
                                         << QStringList{"19200", "8", "なし", "1", "なし"};
        QTest::newRow("odd parity, hardware") << SerialLineParams{9600, 7, 1, 2, FlowControl::Hardware}
                                              << QStringList{"9600", "7", "奇数", "2", "ハードウェア (RTS/CTS)"};
        QTest::newRow("even parity, Xon/Xoff, 1.5") << SerialLineParams{38400, 5, 2, 1, FlowControl::XonXoff}
                                                    << QStringList{"38400", "5", "偶数", "1.5", "Xon / Xoff"};
        // Values the lists do not hold survive the dialog untouched.
        QTest::newRow("a rate outside the list") << SerialLineParams{14400, 8, 0, 0, FlowControl::None}
                                                 << QStringList{"14400", "8", "なし", "1", "なし"};
        QTest::newRow("unknown parity and stop bits") << SerialLineParams{19200, 8, 3, 7, FlowControl::None}
                                                      << QStringList{"19200", "8", "", "", "なし"};
    }
    void showsAndGivesBack()
    {
        QFETCH(SerialLineParams, params);
        QFETCH(QStringList, shown);
        TSerialParamDlg d;
        d.Show(params, 5);
        QCOMPARE(d.objectName(), QStringLiteral("TSerialParamDlg"));
        QCOMPARE(d.windowTitle(), QStringLiteral("COM5 の通信パラメータ"));
        QCOMPARE(shownTexts(d), shown);
        QCOMPARE(d.Take(), params);
    }

    void operatorEditsAndConfirms()
    {
        SerialLineParams p{19200, 8, 0, 0, FlowControl::None};
        QString error = "not answered", caption;
        answerSoon({{"CBBitRate", "38400"}, {"CBDataBits", "7"}, {"CBParity", "偶数"}, {"CBStopBits", "2"},
                    {"CBFlowCtrl", "ハードウェア (RTS/CTS)"}},
                   "ok", &error, &caption);
        QVERIFY(EditSerialParams(nullptr, p, 12));
        QCOMPARE(error, QString());
        QCOMPARE(caption, QStringLiteral("COM12 の通信パラメータ"));
        QCOMPARE(p, (SerialLineParams{38400, 7, 2, 2, FlowControl::Hardware}));
    }

    void cancelChangesNothing()
    {
        const SerialLineParams before{9600, 8, 1, 0, FlowControl::XonXoff};
        SerialLineParams p = before;
        QString error = "not answered", caption;
        answerSoon({{"CBBitRate", "1200"}, {"CBFlowCtrl", "なし"}}, "cancel", &error, &caption);
        QVERIFY(!EditSerialParams(nullptr, p, 1));
        QCOMPARE(error, QString());
        QCOMPARE(p, before);
    }

    void menuEditOnTheModulesPort()
    {
        // The whole edit on a port: the module closes it, the dialog edits the
        // values, they are saved and the port reopens with them.
        kx9test::PtyPair pty;
        QVERIFY(pty.ok());
        QTemporaryDir dir;
        const QString ini = dir.filePath("kx9monitor.ini");
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[ComPorts]\nCOM22=" + pty.path().toLocal8Bit() + "\n");
        }
        AppOptions opts;
        MainState state;
        kx9test::MemoryLog log;
        LinkConfig cfg;
        cfg.LinkMode = 0;
        cfg.ComPort = 22;
        CommModule m(cfg, ini, opts, state, &log);
        m.Open();
        QVERIFY(m.IsLinkOpen());
        QString error = "not answered", caption;
        answerSoon({{"CBBitRate", "9600"}, {"CBFlowCtrl", "Xon / Xoff"}}, "ok", &error, &caption);
        SerialParamDialog(nullptr, m);
        QCOMPARE(error, QString());
        QCOMPARE(caption, QStringLiteral("COM22 の通信パラメータ"));
        QCOMPARE(log.count(QStringLiteral("設定OK")), 1);
        QVERIFY(m.IsLinkOpen());
        const termios t = pty.line();
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QVERIFY(t.c_iflag & IXOFF);
        IniFile saved;
        QVERIFY(saved.load(ini));
        QCOMPARE(saved.readInteger("ComDebug", "BaudRate", 0), 9600);
        QCOMPARE(saved.readInteger("ComDebug", "FlowCont", 0), 2);
    }
};

QTEST_MAIN(TestUiSerialParamDialog)
#include "test_ui_serial_param_dialog.moc"
