// The dialog driver itself: it fills and presses real widgets, and it fails
// (instead of hanging) on a dialog nobody expected or an answer nobody takes.
#include "dialog_driver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using kx9test::DialogDriver;

namespace {

class SampleDlg : public QDialog {
public:
    SampleDlg()
    {
        setObjectName(QStringLiteral("TSampleDlg"));
        setWindowTitle(QStringLiteral("見本"));
        auto *lay = new QVBoxLayout(this);
        edit = new QLineEdit(QStringLiteral("old"), this);
        edit->setObjectName(QStringLiteral("EdName"));
        spin = new QSpinBox(this);
        spin->setObjectName(QStringLiteral("EdPort"));
        spin->setRange(0, 65535);
        combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("CBSpeed"));
        combo->addItems({QStringLiteral("9600bps"), QStringLiteral("19.2kbps"), QStringLiteral("38.4kbps")});
        check = new QCheckBox(QStringLiteral("有効"), this);
        check->setObjectName(QStringLiteral("CBReOpen"));
        disabled = new QLineEdit(this);
        disabled->setObjectName(QStringLiteral("EdLocked"));
        disabled->setEnabled(false);
        group = new QGroupBox(QStringLiteral("動作モード"), this);
        group->setObjectName(QStringLiteral("RadioGroup1"));
        auto *gl = new QVBoxLayout(group);
        for (const char *t : {"クライアント", "サーバー"}) {
            auto *r = new QRadioButton(QString::fromUtf8(t), group);
            gl->addWidget(r);
        }
        auto *go = new QPushButton(QStringLiteral("接続"), this);
        connect(go, &QPushButton::clicked, this, &QDialog::accept);
        auto *bb = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
        connect(bb, &QDialogButtonBox::rejected, this, &QDialog::reject);
        for (QWidget *w : {static_cast<QWidget *>(edit), static_cast<QWidget *>(spin), static_cast<QWidget *>(combo),
                           static_cast<QWidget *>(check), static_cast<QWidget *>(disabled),
                           static_cast<QWidget *>(group), static_cast<QWidget *>(go), static_cast<QWidget *>(bb)})
            lay->addWidget(w);
        connect(edit, &QLineEdit::textEdited, this, [this] { ++edits; });
    }
    QLineEdit *edit, *disabled;
    QSpinBox *spin;
    QComboBox *combo;
    QCheckBox *check;
    QGroupBox *group;
    int edits = 0;
};

} // namespace

class DialogDriverTest : public QObject {
    Q_OBJECT
private slots:
    void fillsWidgetsAndPressesCaption()
    {
        DialogDriver driver;
        QString seen;
        driver.expect(QStringLiteral("TSampleDlg"))
            .setText(QStringLiteral("EdName"), QStringLiteral("新しい"))
            .setValue(QStringLiteral("EdPort"), 3335)
            .setItem(QStringLiteral("CBSpeed"), QStringLiteral("38.4kbps"))
            .setChecked(QStringLiteral("CBReOpen"))
            .setIndex(QStringLiteral("RadioGroup1"), 1)
            .then([&seen](QWidget *d) { seen = d->findChild<QLineEdit *>(QStringLiteral("EdName"))->text(); })
            .press(QStringLiteral("接続"));
        SampleDlg dlg;
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QCOMPARE(dlg.edit->text(), QStringLiteral("新しい"));
        QCOMPARE(dlg.edits, 1);   // typed, not set behind the widget's back
        QCOMPARE(seen, QStringLiteral("新しい"));
        QCOMPARE(dlg.spin->value(), 3335);
        QCOMPARE(dlg.combo->currentIndex(), 2);
        QVERIFY(dlg.check->isChecked());
        QVERIFY(dlg.group->findChildren<QRadioButton *>().at(1)->isChecked());
        QCOMPARE(driver.answered(), QStringList{QStringLiteral("見本")});
    }

    void disabledWidgetIsAFailure()
    {
        DialogDriver driver;
        driver.expect().setText(QStringLiteral("EdLocked"), QStringLiteral("x")).pressCancel();
        SampleDlg dlg;
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(!driver.ok());
        QVERIFY(driver.report().contains(QStringLiteral("disabled")));
    }

    void missingButtonRejectsInsteadOfHanging()
    {
        DialogDriver driver;
        driver.expect().press(QStringLiteral("存在しない"));
        SampleDlg dlg;
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(driver.report().contains(QStringLiteral("存在しない")));
    }

    void answersMessageBoxes_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("yes") << int(QDialogButtonBox::Yes);
        QTest::newRow("no") << int(QDialogButtonBox::No);
    }
    void answersMessageBoxes()
    {
        QFETCH(int, button);
        DialogDriver driver;
        driver.expectMessage(QStringLiteral("宜しいですか")).pressStandard(QDialogButtonBox::StandardButton(button));
        const auto r = QMessageBox::question(nullptr, QStringLiteral("確認"), QStringLiteral("Lockしますが宜しいですか？"));
        QCOMPARE(int(r), button);
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
    }

    void unexpectedDialogIsClosedAndReported()
    {
        DialogDriver driver;
        driver.setUnexpectedTimeout(200);
        SampleDlg dlg;
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(!driver.ok());
        QVERIFY(driver.report().contains(QStringLiteral("unexpected dialog")));
    }

    void toleratedDialogIsLeftAlone()
    {
        DialogDriver driver;
        driver.setUnexpectedTimeout(100);
        driver.tolerate(QStringLiteral("TSampleDlg"));
        SampleDlg dlg;
        QTimer::singleShot(400, &dlg, &QDialog::accept);
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
    }

    void answerNobodyTakesTimesOut()
    {
        DialogDriver driver;
        driver.expect(QStringLiteral("TNeverDlg")).within(100).pressOk();
        QVERIFY(driver.waitAllAnswered(2000));
        QVERIFY(!driver.ok());
        QVERIFY(driver.report().contains(QStringLiteral("TNeverDlg")));
    }

    void answersInOrderAcrossNestedDialogs()
    {
        // The first dialog's button opens a message box: the poll must go on inside it.
        DialogDriver driver;
        driver.expect(QStringLiteral("TSampleDlg")).press(QStringLiteral("接続"));
        driver.expectMessage().pressOk();
        SampleDlg dlg;
        connect(&dlg, &QDialog::accepted, &dlg,
                [] { QMessageBox::information(nullptr, QStringLiteral("情報"), QStringLiteral("完了")); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QCOMPARE(driver.pendingAnswers(), 0);
    }

    // The same dialog object shown again is answered again without again(), a
    // file dialog opened from its button takes a path and a filter, and a
    // click carries the keys held.
    void reappearingDialogFileDialogAndModifierClick()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.KXI"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

        SampleDlg dlg;
        QString chosen, filter;
        Qt::KeyboardModifiers seen;
        auto *load = new QPushButton(QStringLiteral("Load"), &dlg);
        load->setObjectName(QStringLiteral("BtLoad"));
        dlg.layout()->addWidget(load);
        connect(load, &QPushButton::clicked, &dlg, [&] {
            chosen = QFileDialog::getOpenFileName(&dlg, QString(), QString(), QStringLiteral("設定 (*.KXI);;全部 (*)"), &filter);
        });
        auto *panel = new QPushButton(QStringLiteral("panel"), &dlg);
        panel->setObjectName(QStringLiteral("Panel"));
        dlg.layout()->addWidget(panel);
        panel->installEventFilter(this);
        connect(this, &DialogDriverTest::pressed, &dlg, [&](Qt::KeyboardModifiers m) { seen = m; });

        DialogDriver driver;
        driver.expect(QStringLiteral("TSampleDlg")).click(QStringLiteral("Panel"), Qt::ControlModifier | Qt::ShiftModifier)
            .press(QStringLiteral("BtLoad"));
        driver.expect(QStringLiteral("QFileDialog")).chooseFile(file, QStringLiteral("全部"));
        driver.expect(QStringLiteral("TSampleDlg")).again().setText(QStringLiteral("EdName"), QStringLiteral("one")).press(QStringLiteral("接続"));
        driver.expect(QStringLiteral("TSampleDlg")).expectShown(QStringLiteral("EdName"), QStringLiteral("one"))
            .setText(QStringLiteral("EdName"), QStringLiteral("two")).press(QStringLiteral("接続"));
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.edit->text(), QStringLiteral("one"));
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.edit->text(), QStringLiteral("two"));
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QCOMPARE(chosen, file);
        QCOMPARE(filter, QStringLiteral("全部 (*)"));
        QCOMPARE(seen, Qt::ControlModifier | Qt::ShiftModifier);
    }

signals:
    void pressed(Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            emit pressed(static_cast<QMouseEvent *>(e)->modifiers());
        return QObject::eventFilter(o, e);
    }
};

QTEST_MAIN(DialogDriverTest)
#include "dialog_driver_test.moc"
