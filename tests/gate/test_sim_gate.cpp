// kx9sim's gate model on its own: the control words that set up and show its
// state, and what its commands change. (The wire-level behaviour is covered
// end to end against the monitor.)
#include "simgate.h"

#include <QTest>

using kx9sim::Gate;

namespace {

struct Sent {
    uint8_t kind;
    QByteArray data;
};

QStringList words(const char *line) { return QString::fromLatin1(line).split(u' '); }

QString value(const QString &get, const QString &key)
{
    for (const QString &kv : get.split(u' '))
        if (kv.startsWith(key + u'='))
            return kv.mid(key.size() + 1);
    return QStringLiteral("<none>");
}

} // namespace

class TestSimGate : public QObject {
    Q_OBJECT
private slots:
    void getShowsEveryWrite();
    void setPreparesState();
    void halfCountPairsInterruptions();
    void passReportsWhenAsked();
    void badControlWords_data();
    void badControlWords();
};

void TestSimGate::getShowsEveryWrite()
{
    Gate g(true);
    QList<Sent> sent;
    g.setSend([&](uint8_t k, const QByteArray &d) { sent.append({k, d}); });
    g.handle(QByteArray::fromHex("210301ABCD"));
    g.handle(QByteArray::fromHex("23110022003300"));
    g.handle(QByteArray::fromHex("2A020000009600"));
    g.handle(QByteArray::fromHex("9C02"));
    g.handle(QByteArray::fromHex("9B") + "583914270");
    QCOMPARE(sent.size(), 5);
    for (const Sent &s : sent)
        QCOMPARE(s.kind, uint8_t('0'));
    const QString get = g.control(words("get"));
    QVERIFY(get.startsWith("OK model=W30 mode=00 "));
    QCOMPARE(value(get, "words"), QStringLiteral("5151,2824,CDAB,2341,2453,1424,0004"));
    QCOMPARE(value(get, "countmode"), QStringLiteral("0011,0022,0033"));
    QCOMPARE(value(get, "melody"), QStringLiteral("2A020000009600"));
    QCOMPARE(value(get, "speed"), QStringLiteral("1"));
    QCOMPARE(value(get, "nextspeed"), QStringLiteral("2"));
    QCOMPARE(value(get, "prog"), QStringLiteral("1"));
}

void TestSimGate::setPreparesState()
{
    Gate g(false);
    QList<Sent> sent;
    g.setSend([&](uint8_t k, const QByteArray &d) { sent.append({k, d}); });
    QCOMPARE(g.control(words("set mode 80")), QStringLiteral("OK"));
    QCOMPARE(g.control(words("set word 3 1098")), QStringLiteral("OK"));
    QCOMPARE(g.control(words("set out 81 F0 00")), QStringLiteral("OK"));
    QCOMPARE(g.control(words("set people 2 70000")), QStringLiteral("OK"));
    QCOMPARE(g.control(words("set alarms 1 9")), QStringLiteral("OK"));
    g.handle(QByteArray::fromHex("00"));
    g.handle(QByteArray::fromHex("010301"));
    g.handle(QByteArray::fromHex("02"));
    g.handle(QByteArray::fromHex("07"));
    QCOMPARE(sent.size(), 4);
    QCOMPARE(sent[0].data, QByteArray::fromHex("0080"));
    QCOMPARE(sent[1].data, QByteArray::fromHex("0103019810"));
    QCOMPARE(sent[2].data, QByteArray::fromHex("0281F0"));
    QCOMPARE(sent[3].data, QByteArray::fromHex("07 00000000 70110100 0900 0000"));
}

void TestSimGate::halfCountPairsInterruptions()
{
    Gate g(false);
    g.setSend([](uint8_t, const QByteArray &) {});
    QCOMPARE(g.control(words("set countmode 0133 0000 00FF")), QStringLiteral("OK"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(g.control(words("pass 1")), QStringLiteral("OK"));
    QCOMPARE(value(g.control(words("get")), "people"), QStringLiteral("1,0"));
    QCOMPARE(g.control(words("pass 1")), QStringLiteral("OK"));
    QCOMPARE(value(g.control(words("get")), "people"), QStringLiteral("2,0"));
}

void TestSimGate::passReportsWhenAsked()
{
    Gate g(true);
    QList<Sent> sent;
    g.setSend([&](uint8_t k, const QByteArray &d) { sent.append({k, d}); });
    QCOMPARE(g.control(words("pass 4 2 1")), QStringLiteral("OK"));
    QVERIFY(sent.isEmpty());    // factory words: no automatic transmission
    QCOMPARE(g.control(words("set countmode 0033 0001 00FF")), QStringLiteral("OK"));
    QCOMPARE(g.control(words("pass 5 1")), QStringLiteral("OK"));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].kind, uint8_t('G'));
    QCOMPARE(sent[0].data.size(), 37);
    QCOMPARE(sent[0].data.toHex(), QByteArray("81"
                                              "000000000000000000000000"
                                              "000000000200000000000100"
                                              "010000000000000000000000"));
    QCOMPARE(g.control(words("report")), QStringLiteral("OK"));
    QCOMPARE(sent.size(), 2);
    QCOMPARE(g.control(words("sensors 01 A5 2A 01")), QStringLiteral("OK"));
    g.handle(QByteArray::fromHex("03"));
    QCOMPARE(sent.last().data, QByteArray::fromHex("0301A5"));
}

void TestSimGate::badControlWords_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("sensor 7") << "pass 7";
    QTest::newRow("people not a number") << "pass 1 x";
    QTest::newRow("word 32") << "set word 32 0000";
    QTest::newRow("word value too wide") << "set word 1 12345";
    QTest::newRow("mode not hex") << "set mode zz";
    QTest::newRow("sensors short") << "sensors 01 02 03";
    QTest::newRow("people of sensor 3 on a W20") << "set people 3 1";
    QTest::newRow("unknown") << "frobnicate";
}

void TestSimGate::badControlWords()
{
    QFETCH(QString, line);
    Gate g(false);
    g.setSend([](uint8_t, const QByteArray &) {});
    const QString before = g.control(words("get"));
    QVERIFY(g.control(line.split(u' ')).startsWith("ERR"));
    QCOMPARE(g.control(words("get")), before);
}

QTEST_MAIN(TestSimGate)
#include "test_sim_gate.moc"
