#include "script/script_parser.h"

#include <QTest>

using kx9::ParseScript;
using kx9::ScriptParseError;
using kx9::ScriptStep;
using kx9::SplitScriptLine;

class TestScriptParser : public QObject {
    Q_OBJECT
private slots:
    void splitsWords_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks") << "menu   MnInventory1Slot1 " << QStringList{"menu", "MnInventory1Slot1"};
        QTest::newRow("quoted blank") << "expect-log \"data: AB CD\"" << QStringList{"expect-log", "data: AB CD"};
        QTest::newRow("quoted value in field") << "dialog EdString=\"A B\" ok" << QStringList{"dialog", "EdString=A B", "ok"};
        QTest::newRow("comment") << "wait 100 # settle" << QStringList{"wait", "100"};
        QTest::newRow("hash inside quotes") << "expect-log \"#1\"" << QStringList{"expect-log", "#1"};
        QTest::newRow("escaped quote") << "expect-log \"say \\\"hi\\\"\"" << QStringList{"expect-log", "say \"hi\""};
        QTest::newRow("empty quotes") << "dialog EdString=\"\" ok" << QStringList{"dialog", "EdString=", "ok"};
        QTest::newRow("only comment") << "   # nothing" << QStringList{};
    }
    void splitsWords()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, words);
        const auto got = SplitScriptLine(line);
        QVERIFY(got.has_value());
        QCOMPARE(*got, words);
    }

    void parsesEveryCommand()
    {
        const QString text = QStringLiteral(
            "# start-up\n"
            "dialog EdTCPPort=3335 接続\n"
            "menu TBtSetCmdMode\n"
            "menu MnWriteSingleBlock\n"
            "dialog IntEd1=3 EdString=\"AB CD\" ok\n"
            "question yes\n"
            "message\n"
            "wait 250\n"
            "expect-log \"ISO15693_WriteSingleBlock受信\" 5000\n"
            "expect-log text\r\n"
            "save-log out.log\n"
            "save-grid grid.tsv\n"
            "quit\n");
        ScriptParseError error;
        const auto program = ParseScript(text, &error);
        QVERIFY2(program.has_value(), qPrintable(error.message));
        const QList<ScriptStep> &s = program->steps;
        QCOMPARE(s.size(), 12);
        QCOMPARE(s[0].kind, ScriptStep::Dialog);
        QCOMPARE(s[0].line, 2);
        QCOMPARE(s[0].name, QStringLiteral("接続"));
        QCOMPARE(s[0].fields.size(), 1);
        QCOMPARE(s[3].fields.at(1).first, QStringLiteral("EdString"));
        QCOMPARE(s[3].fields.at(1).second, QStringLiteral("AB CD"));
        QCOMPARE(s[3].name, QStringLiteral("ok"));
        QCOMPARE(s[4].kind, ScriptStep::Question);
        QCOMPARE(s[5].kind, ScriptStep::Message);
        QCOMPARE(s[6].ms, 250);
        QCOMPARE(s[7].ms, 5000);
        QCOMPARE(s[8].ms, 3000);               // default, and the CR of a CR LF line is not part of the text
        QCOMPARE(s[8].name, QStringLiteral("text"));
        QCOMPARE(s[9].kind, ScriptStep::SaveLog);
        QCOMPARE(s[11].kind, ScriptStep::Quit);
        QCOMPARE(s[11].line, 13);
    }

    void reportsTheFaultyLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("unknown command") << "menu A\nfrobnicate\n" << 2;
        QTest::newRow("unterminated quote") << "\n\nexpect-log \"abc\n" << 3;
        QTest::newRow("wait without time") << "wait\n" << 1;
        QTest::newRow("wait not a number") << "wait soon\n" << 1;
        QTest::newRow("negative time") << "expect-log x -5\n" << 1;
        QTest::newRow("dialog without button") << "dialog\n" << 1;
        QTest::newRow("dialog ending in a field") << "dialog IntEd=3\n" << 1;
        QTest::newRow("field without name") << "dialog =3 ok\n" << 1;
        QTest::newRow("question maybe") << "question maybe\n" << 1;
        QTest::newRow("menu two names") << "menu A B\n" << 1;
        QTest::newRow("quit with argument") << "menu A\n# c\nquit now\n" << 3;
    }
    void reportsTheFaultyLine()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        ScriptParseError error;
        QVERIFY(!ParseScript(text, &error).has_value());
        QCOMPARE(error.line, line);
        QVERIFY(!error.message.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScriptParser)
#include "test_script_parser.moc"
