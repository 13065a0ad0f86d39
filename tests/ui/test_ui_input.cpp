// The number box and the four input dialogs, on the real widgets, offscreen.
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace kx9;

namespace {

// Runs `act` on the dialog once its modal loop runs, and returns exec()'s result.
int execWith(QDialog &dlg, std::function<void()> act)
{
    QTimer::singleShot(0, &dlg, [&dlg, act] {
        QTRY_VERIFY(dlg.isVisible());
        act();
    });
    return dlg.exec();
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

class TestUiInput : public QObject {
    Q_OBJECT
private slots:
    void numberBoxSetValue_data();
    void numberBoxSetValue();
    void numberBoxTyped_data();
    void numberBoxTyped();
    void numberBoxRefusesForeignCharacters();
    void numberBoxRadixChangeKeepsValue();

    void modalResults_data();
    void modalResults();
    void inputIntDialogControls();
    void inp3Data1Controls();
    void inp3Data2FocusFlag();
    void wrData1Controls();
};

void TestUiInput::numberBoxSetValue_data()
{
    QTest::addColumn<int>("radix");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("dec inside") << 10 << 0 << 255 << 17 << 17 << "17";
    QTest::newRow("dec above") << 10 << 0 << 255 << 300 << 255 << "255";
    QTest::newRow("dec below") << 10 << 5 << 10 << -3 << 5 << "5";
    QTest::newRow("hex inside padded") << 16 << 0 << 255 << 10 << 10 << "0A";
    QTest::newRow("hex above") << 16 << 0 << 255 << 0x1FF << 255 << "FF";
    QTest::newRow("hex 16 bit width") << 16 << 0 << 0xFFFF << 0xAB << 0xAB << "00AB";
}

void TestUiInput::numberBoxSetValue()
{
    QFETCH(int, radix);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, set);
    IntEdit e;
    e.setRadix(radix);
    e.setRange(min, max);
    e.setValue(set);
    QTEST(e.value(), "value");
    QTEST(e.text(), "text");
}

void TestUiInput::numberBoxTyped_data()
{
    QTest::addColumn<int>("radix");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("dec 300 -> 255") << 10 << "300" << 255 << "255";
    QTest::newRow("dec 42") << 10 << "42" << 42 << "42";
    QTest::newRow("dec empty -> min") << 10 << "" << 0 << "0";
    QTest::newRow("dec many digits -> max") << 10 << "99999999999" << 255 << "255";
    QTest::newRow("hex 1f") << 16 << "1f" << 31 << "1F";
    QTest::newRow("hex 100 -> FF") << 16 << "100" << 255 << "FF";
}

void TestUiInput::numberBoxTyped()
{
    QFETCH(int, radix);
    QFETCH(QString, typed);
    QWidget w;
    auto *e = new IntEdit(&w);
    auto *other = new QLineEdit(&w);
    e->setRadix(radix);
    e->setRange(0, 255);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    typeInto(e, typed);
    // Before editing ends the value handed out is already limited.
    QTEST(e->value(), "value");
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QTEST(e->text(), "text");
    QTEST(e->value(), "value");
}

void TestUiInput::numberBoxRefusesForeignCharacters()
{
    IntEdit e;
    e.setRadix(10);
    e.setRange(0, 255);
    e.clear();
    QTest::keyClicks(&e, "1x2F");
    QCOMPARE(e.text(), QString("12"));
    e.setRadix(16);
    e.clear();
    QTest::keyClicks(&e, "g1-F");
    QCOMPARE(e.text(), QString("1F"));
}

void TestUiInput::numberBoxRadixChangeKeepsValue()
{
    IntEdit e;
    e.setRange(0, 255);
    e.setValue(200);
    e.setRadix(16);
    QCOMPARE(e.text(), QString("C8"));
    e.setRange(0, 100);
    QCOMPARE(e.value(), 100);
    QCOMPARE(e.text(), QString("64"));
}

void TestUiInput::modalResults_data()
{
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("how");   // 0 OK button, 1 Cancel button, 2 Escape, 3 close, 4 Return
    QTest::addColumn<int>("result");
    for (int d = 0; d < 4; ++d) {
        const QByteArray n = QByteArray::number(d);
        QTest::newRow(n + " OK") << d << 0 << kModalOk;
        QTest::newRow(n + " Cancel") << d << 1 << kModalCancel;
        QTest::newRow(n + " Escape") << d << 2 << kModalCancel;
        QTest::newRow(n + " close") << d << 3 << kModalCancel;
        QTest::newRow(n + " Return") << d << 4 << kModalOk;
    }
}

void TestUiInput::modalResults()
{
    QFETCH(int, dialog);
    QFETCH(int, how);
    std::unique_ptr<InputDialogBase> dlg;
    switch (dialog) {
    case 0: dlg = std::make_unique<TInputIntDlg>(); break;
    case 1: dlg = std::make_unique<TInp3Data1Dlg>(); break;
    case 2: dlg = std::make_unique<TInp3Data2Dlg>(); break;
    default: dlg = std::make_unique<TWrData1Dlg>(); break;
    }
    InputDialogBase *d = dlg.get();
    const int r = execWith(*d, [d, how] {
        switch (how) {
        case 0: QTest::mouseClick(d->OKBtn, Qt::LeftButton); break;
        case 1: QTest::mouseClick(d->CancelBtn, Qt::LeftButton); break;
        case 2: QTest::keyClick(d, Qt::Key_Escape); break;
        case 3: d->close(); break;
        default: QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : d, Qt::Key_Return); break;
        }
    });
    QTEST(r, "result");
}

void TestUiInput::inputIntDialogControls()
{
    TInputIntDlg dlg;
    QCOMPARE(dlg.windowTitle(), QString("ダイアログ"));
    QCOMPARE(dlg.findChild<QLabel *>("STTitle")->text(), QString("STTitle"));
    QCOMPARE(dlg.findChild<QPushButton *>("OKBtn")->text(), QString("OK"));
    QCOMPARE(dlg.findChild<QPushButton *>("CancelBtn")->text(), QString("キャンセル"));
    QVERIFY(dlg.OKBtn->isDefault());
    auto *ed = dlg.findChild<IntEdit *>("IntEd");
    QVERIFY(ed);
    ed->setRange(0, 255);
    const int r = execWith(dlg, [&] {
        typeInto(ed, "999");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    QCOMPARE(r, kModalOk);
    QCOMPARE(ed->value(), 255);
    QCOMPARE(ed->text(), QString("255"));
}

void TestUiInput::inp3Data1Controls()
{
    TInp3Data1Dlg dlg;
    for (const char *n : {"IntEd1", "IntEd2", "IntEd3"}) {
        auto *e = dlg.findChild<IntEdit *>(n);
        QVERIFY2(e, n);
        QCOMPARE(e->radix(), 16);
    }
    for (const char *n : {"STTitle1", "STTitle2", "STTitle3"})
        QVERIFY2(dlg.findChild<QLabel *>(n), n);
    dlg.IntEd1->hide();
    dlg.IntEd2->hide();
    const int r = execWith(dlg, [&] {
        QVERIFY(!dlg.IntEd1->isVisible());
        QVERIFY(dlg.IntEd3->isVisible());
        typeInto(dlg.IntEd3, "7e");
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    QCOMPARE(r, kModalOk);
    QCOMPARE(dlg.IntEd3->value(), 0x7E);
}

void TestUiInput::inp3Data2FocusFlag()
{
    for (bool flag : {false, true}) {
        TInp3Data2Dlg dlg(flag);
        QVERIFY(dlg.findChild<QLineEdit *>("EdString"));
        QVERIFY(dlg.findChild<IntEdit *>("IntEd1"));
        QVERIFY(dlg.findChild<IntEdit *>("IntEd2"));
        QWidget *focused = nullptr;
        const int r = execWith(dlg, [&] {
            QTest::qWait(50);
            focused = QApplication::focusWidget();
            // Typing goes wherever the focus is, as a scanner's keystrokes would.
            QTest::keyClicks(focused, "ABC");
            QTest::keyClick(focused, Qt::Key_Return);
        });
        QCOMPARE(r, kModalOk);
        if (flag) {
            QCOMPARE(focused, static_cast<QWidget *>(dlg.EdString));
            QCOMPARE(dlg.EdString->text(), QString("ABC"));
        } else {
            QVERIFY(focused != dlg.EdString);
            QVERIFY(dlg.EdString->text().isEmpty());
        }
    }
    // A hidden text field never takes the focus.
    TInp3Data2Dlg dlg(true);
    dlg.EdString->hide();
    QWidget *focused = nullptr;
    execWith(dlg, [&] {
        QTest::qWait(50);
        focused = QApplication::focusWidget();
        dlg.reject();
    });
    QVERIFY(focused != dlg.EdString);
}

void TestUiInput::wrData1Controls()
{
    TWrData1Dlg dlg;
    QCOMPARE(dlg.windowTitle(), QString("１ブロック書込"));
    QStringList labels;
    for (auto *l : dlg.findChildren<QLabel *>())
        labels << l->text();
    for (const char *t : {"アドレス(HEX)", "データ(HEX)", "上位バイト", "下位バイト"})
        QVERIFY2(labels.contains(QString::fromUtf8(t)), t);
    const QList<IntEdit *> data{dlg.EdData3, dlg.EdData2, dlg.EdData1, dlg.EdData0};
    const char *names[] = {"EdData3", "EdData2", "EdData1", "EdData0"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(dlg.findChild<IntEdit *>(names[i]), data[i]);
        QCOMPARE(data[i]->radix(), 16);
        QCOMPARE(data[i]->maximum(), 255);
    }
    // Upper byte on the left: the fields run left to right 3, 2, 1, 0.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (int i = 0; i + 1 < 4; ++i)
        QVERIFY(data[i]->x() < data[i + 1]->x());
    QCOMPARE(dlg.findChild<IntEdit *>("EdAddr"), dlg.EdAddr);
    QCOMPARE(dlg.EdAddr->radix(), 16);
}

QTEST_MAIN(TestUiInput)
#include "test_ui_input.moc"
