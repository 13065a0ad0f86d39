#include "simcontrol.h"

#include "simdevice.h"
#include "simgate.h"
#include "simreader.h"
#include "simrules.h"
#include "simtag.h"

#include <QFile>
#include <QRegularExpression>

namespace kx9sim {

namespace {
bool hexByte(const QString &s, uint8_t &out)
{
    bool ok = false;
    const uint v = s.toUInt(&ok, 16);
    if (!ok || v > 0xFF)
        return false;
    out = uint8_t(v);
    return true;
}

bool decInt(const QString &s, int lo, int hi, int &out)
{
    bool ok = false;
    const int v = s.toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool hexData(const QString &s, QByteArray &out)
{
    QString t = s;
    t.remove(' ').remove(':');
    if (t.size() % 2 || t.contains(QRegularExpression(QStringLiteral("[^0-9A-Fa-f]"))))
        return false;
    out = QByteArray::fromHex(t.toLatin1());
    return true;
}

QString hexText(const QByteArray &b) { return QString::fromLatin1(b.toHex().toUpper()); }

QString hex2(uint8_t v) { return hexText(QByteArray(1, char(v))); }

QString stateName(Tag::State s)
{
    return s == Tag::State::Quiet ? QStringLiteral("quiet")
                                  : s == Tag::State::Selected ? QStringLiteral("selected") : QStringLiteral("ready");
}

QStringList split(const QString &line)
{
    return line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}
} // namespace

QString applyTagKeys(const QStringList &tokens, Tag &tag)
{
    // Geometry first, so that data and locks apply to the final layout.
    for (const QString &tok : tokens) {
        const QString key = tok.section('=', 0, 0).toLower();
        const QString val = tok.section('=', 1);
        int n;
        if (key == QLatin1String("blocks") || key == QLatin1String("bs")) {
            if (!decInt(val, 1, key == QLatin1String("bs") ? 32 : 256, n))
                return QStringLiteral("bad %1").arg(tok);
            if (key == QLatin1String("bs"))
                tag.resize(tag.blockCount, n);
            else
                tag.resize(n, tag.blockSize);
        }
    }
    for (const QString &tok : tokens) {
        if (!tok.contains('='))
            return QStringLiteral("expected key=value: %1").arg(tok);
        const QString key = tok.section('=', 0, 0).toLower();
        const QString val = tok.section('=', 1);
        uint8_t b;
        int n;
        QByteArray data;
        auto flag = [&](bool &field) {
            if (!decInt(val, 0, 1, n))
                return false;
            field = n;
            return true;
        };
        bool ok = true;
        if (key == QLatin1String("blocks") || key == QLatin1String("bs")) {
            continue;
        } else if (key == QLatin1String("dsfid")) {
            ok = hexByte(val, b) && ((tag.dsfid = b), true);
        } else if (key == QLatin1String("afi")) {
            ok = hexByte(val, b) && ((tag.afi = b), true);
        } else if (key == QLatin1String("ic")) {
            ok = hexByte(val, b) && ((tag.icRef = b), true);
        } else if (key == QLatin1String("data") || key == QLatin1String("text")) {
            if (key == QLatin1String("data"))
                ok = hexData(val, data);
            else
                data = val.toLatin1();
            if (ok && data.size() <= tag.mem.size())
                tag.mem.replace(0, data.size(), data);
            else
                ok = false;
        } else if (key == QLatin1String("lock")) {
            for (const QString &blk : val.split(',', Qt::SkipEmptyParts)) {
                if (!decInt(blk, 0, tag.blockCount - 1, n)) {
                    ok = false;
                    break;
                }
                tag.locked[n] = true;
            }
        } else if (key == QLatin1String("afilock")) {
            ok = flag(tag.afiLocked);
        } else if (key == QLatin1String("dsfidlock")) {
            ok = flag(tag.dsfidLocked);
        } else if (key == QLatin1String("eas")) {
            ok = flag(tag.eas);
        } else if (key == QLatin1String("easlock")) {
            ok = flag(tag.easLocked);
        } else if (key == QLatin1String("killed")) {
            ok = flag(tag.killed);
        } else if (key == QLatin1String("pwd")) {
            ok = hexData(val, data) && data.size() == 4 && ((tag.password = data), true);
        } else if (key == QLatin1String("state")) {
            if (val == QLatin1String("ready"))
                tag.state = Tag::State::Ready;
            else if (val == QLatin1String("quiet"))
                tag.state = Tag::State::Quiet;
            else if (val == QLatin1String("selected"))
                tag.state = Tag::State::Selected;
            else
                ok = false;
        } else {
            return QStringLiteral("unknown key %1").arg(key);
        }
        if (!ok)
            return QStringLiteral("bad %1").arg(tok);
    }
    return {};
}

QString parseTagSpec(const QStringList &tokens, Tag &tag)
{
    if (tokens.isEmpty())
        return QStringLiteral("missing UID");
    tag = Tag();
    tag.resize(28, 4);
    int keysFrom = 1;
    if (tokens.first().compare(QLatin1String("tagit"), Qt::CaseInsensitive) == 0) {
        tag.tagit = true;
        tag.sid = parseIdText(tokens.value(1), 4);
        if (tag.sid.isEmpty())
            return QStringLiteral("bad Tag-it SID (8 hex digits): %1").arg(tokens.value(1));
        tag.uid.clear();
        tag.resize(8, 4);
        keysFrom = 2;
    } else {
        tag.uid = parseIdText(tokens.first(), 8);
        if (tag.uid.isEmpty())
            return QStringLiteral("bad UID (16 hex digits, most significant first): %1").arg(tokens.first());
        if (uint8_t(tag.uid.at(7)) != 0xE0)
            return QStringLiteral("an ISO 15693 UID starts with E0: %1").arg(tokens.first());
    }
    return applyTagKeys(tokens.mid(keysFrom), tag);
}

QString loadTagFile(const QString &path, Device &dev)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        QString line = QString::fromUtf8(f.readLine());
        line = line.section('#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        Tag t;
        const QString err = parseTagSpec(split(line), t);
        if (!err.isEmpty())
            return QStringLiteral("%1:%2: %3").arg(path).arg(lineNo).arg(err);
        if (dev.field.indexOf(t.tagit ? t.sid : t.uid) >= 0)
            return QStringLiteral("%1:%2: duplicate tag").arg(path).arg(lineNo);
        dev.field.tags.append(t);
    }
    return {};
}

void addDemoTags(Device &dev)
{
    static const char *const demo[] = {
        "E007000012345601 blocks=64 bs=4 text=TI-TAG-IT-PLUS",            // TI
        "E004010087654302 blocks=28 bs=4 afi=07 eas=1 text=NXP-SLI-TAG",  // NXP
        "E005000011223303 blocks=29 bs=8 text=INFINEON-MY-D",             // Infineon
        "E008010055AA3304 blocks=250 bs=8 text=FUJITSU-FRAM",             // Fujitsu
        "E002000099887705 blocks=16 bs=4 text=ST-LRI-TAG",                // ST
        "tagit 1A2B3C4D blocks=8 bs=4 text=TAGITHF",                     // Tag-it HF
    };
    for (const char *spec : demo) {
        Tag t;
        parseTagSpec(split(QString::fromLatin1(spec)), t);
        dev.field.tags.append(t);
    }
}

Tag *Control::findTag(const QString &id, QString &err)
{
    QByteArray wire = parseIdText(id, 8);
    if (wire.isEmpty())
        wire = parseIdText(id, 4);
    const int i = wire.isEmpty() ? -1 : m_dev.field.indexOf(wire);
    if (i < 0) {
        err = QStringLiteral("ERR no such tag %1").arg(id);
        return nullptr;
    }
    return &m_dev.field.tags[i];
}

QString Control::exec(const QString &line)
{
    const QStringList a = split(line);
    if (a.isEmpty())
        return QStringLiteral("ERR empty command");
    const QString cmd = a.first().toLower();
    if (cmd == QLatin1String("ping"))
        return QStringLiteral("OK");
    if (cmd == QLatin1String("quit")) {
        m_quit = true;
        return QStringLiteral("OK");
    }
    if (cmd == QLatin1String("tag"))
        return tagCmd(a.mid(1));
    if (cmd == QLatin1String("tags")) {
        QStringList ids;
        for (const Tag &t : std::as_const(m_dev.field.tags))
            ids << t.idText();
        return QStringLiteral("OK %1 %2").arg(ids.size()).arg(ids.join(' ')).trimmed();
    }
    if (cmd == QLatin1String("block"))
        return blockCmd(a.mid(1));
    if (cmd == QLatin1String("gate"))
        return gateCmd(a.mid(1));
    if (cmd == QLatin1String("fault"))
        return faultCmd(a.mid(1));
    if (cmd == QLatin1String("get"))
        return getCmd(a.mid(1));
    if (cmd == QLatin1String("lan"))
        return lanCmd(a.mid(1));
    if (cmd == QLatin1String("eeprom"))
        return eepromCmd(a.mid(1));
    if (cmd == QLatin1String("mode")) {
        uint8_t mode = 0, flags = m_dev.reader()->modeFlags();
        int poll = 5;
        if (a.size() < 2 || !hexByte(a[1], mode) || (a.size() > 2 && !hexByte(a[2], flags)) ||
            (a.size() > 3 && !decInt(a[3], 0, 65535, poll)))
            return QStringLiteral("ERR usage: mode <code hex> [<flags hex>] [<polling time>]");
        if (!isModeCode(mode))
            return QStringLiteral("ERR no operating mode %1").arg(hex2(mode));
        m_dev.reader()->setMode(mode, 0, flags, uint16_t(poll), 0);
        return QStringLiteral("OK");
    }
    if (cmd == QLatin1String("rom")) {
        // The ROM version text from now on (the rest of the line, blanks kept).
        const QString text = line.trimmed().mid(3).trimmed();
        if (text.isEmpty())
            return QStringLiteral("ERR usage: rom <version text>");
        m_dev.reader()->setRomText(text.toLatin1());
        return QStringLiteral("OK");
    }
    if (cmd == QLatin1String("errrate")) {
        // errrate <successes> <failures>: preset the error-rate counters.
        bool okS = false, okF = false;
        const uint s = a.value(1).toUInt(&okS, 10), f = a.value(2).toUInt(&okF, 10);
        if (a.size() != 3 || !okS || !okF)
            return QStringLiteral("ERR usage: errrate <successes> <failures>");
        m_dev.reader()->okCount = s;
        m_dev.reader()->failCount = f;
        return QStringLiteral("OK");
    }
    if (cmd == QLatin1String("trigger")) {
        m_dev.reader()->trigger();
        return QStringLiteral("OK");
    }
    if (cmd == QLatin1String("restart")) {
        m_dev.reader()->restart();
        return QStringLiteral("OK %1").arg(m_dev.baud());
    }
    if (cmd == QLatin1String("send") || cmd == QLatin1String("report")) {
        QByteArray data;
        if (cmd == QLatin1String("send")) {
            if (a.size() < 2 || !hexData(a.mid(1).join(QString()), data))
                return QStringLiteral("ERR usage: send <hex bytes>");
            m_dev.sendRawBytes(data);
            return QStringLiteral("OK");
        }
        if (a.size() < 2 || a[1].size() != 1 || !hexData(a.mid(2).join(QString()), data))
            return QStringLiteral("ERR usage: report <kind char> <hex data>");
        m_dev.sendFrame(uint8_t(a[1].at(0).toLatin1()), data);
        return QStringLiteral("OK");
    }
    return QStringLiteral("ERR unknown command %1").arg(cmd);
}

QString Control::tagCmd(const QStringList &a)
{
    const QString sub = a.value(0).toLower();
    QString err;
    if (sub == QLatin1String("add")) {
        Tag t;
        err = parseTagSpec(a.mid(1), t);
        if (!err.isEmpty())
            return QStringLiteral("ERR ") + err;
        if (m_dev.field.indexOf(t.tagit ? t.sid : t.uid) >= 0)
            return QStringLiteral("ERR tag already in the field");
        m_dev.field.tags.append(t);
        return QStringLiteral("OK ") + t.idText();
    }
    if (sub == QLatin1String("remove")) {
        if (a.value(1) == QLatin1String("all")) {
            m_dev.field.tags.clear();
            return QStringLiteral("OK");
        }
        Tag *t = findTag(a.value(1), err);
        if (!t)
            return err;
        m_dev.field.tags.removeAt(int(t - m_dev.field.tags.data()));
        return QStringLiteral("OK");
    }
    if (sub == QLatin1String("set") || sub == QLatin1String("edit")) {
        Tag *t = findTag(a.value(1), err);
        if (!t)
            return err;
        err = applyTagKeys(a.mid(2), *t);
        return err.isEmpty() ? QStringLiteral("OK") : QStringLiteral("ERR ") + err;
    }
    if (sub == QLatin1String("get")) {
        Tag *t = findTag(a.value(1), err);
        if (!t)
            return err;
        QStringList locks;
        for (int i = 0; i < t->locked.size(); ++i)
            if (t->locked[i])
                locks << QString::number(i);
        return QStringLiteral("OK dsfid=%1 afi=%2 ic=%3 bs=%4 blocks=%5 state=%6 eas=%7 afilock=%8 dsfidlock=%9 "
                              "killed=%10 lock=%11")
            .arg(hex2(t->dsfid), hex2(t->afi), hex2(t->icRef))
            .arg(t->blockSize)
            .arg(t->blockCount)
            .arg(stateName(t->state))
            .arg(int(t->eas))
            .arg(int(t->afiLocked))
            .arg(int(t->dsfidLocked))
            .arg(int(t->killed))
            .arg(locks.join(','))
            .trimmed();
    }
    return QStringLiteral("ERR usage: tag add|remove|set|get ...");
}

QString Control::blockCmd(const QStringList &a)
{
    const QString sub = a.value(0).toLower();
    QString err;
    Tag *t = findTag(a.value(1), err);
    if (!t)
        return err;
    int n;
    if (!decInt(a.value(2), 0, t->blockCount - 1, n))
        return QStringLiteral("ERR bad block number %1").arg(a.value(2));
    if (sub == QLatin1String("get"))
        return QStringLiteral("OK %1%2").arg(hexText(t->mem.mid(n * t->blockSize, t->blockSize)),
                                             t->locked[n] ? QStringLiteral(" locked") : QString());
    if (sub == QLatin1String("set")) {
        QByteArray data;
        if (!hexData(a.mid(3).join(QString()), data) || data.size() != t->blockSize)
            return QStringLiteral("ERR block data must be %1 bytes of hex").arg(t->blockSize);
        t->mem.replace(n * t->blockSize, t->blockSize, data);
        return QStringLiteral("OK");
    }
    if (sub == QLatin1String("lock") || sub == QLatin1String("unlock")) {
        t->locked[n] = sub == QLatin1String("lock");
        return QStringLiteral("OK");
    }
    return QStringLiteral("ERR usage: block get|set|lock|unlock <id> <n> [hex]");
}

QString Control::gateCmd(const QStringList &a)
{
    const QString sub = a.value(0).toLower();
    if (sub == QLatin1String("model")) {
        const QString m = a.value(1).toUpper();
        if (m == QLatin1String("W20") || m == QLatin1String("W30") || m == QLatin1String("NONE")) {
            m_dev.setGate(m == QLatin1String("W20") ? 20 : m == QLatin1String("W30") ? 30 : 0);
            return QStringLiteral("OK");
        }
        return QStringLiteral("ERR usage: gate model W20|W30|none");
    }
    Gate *g = m_dev.gate();
    if (!g)
        return QStringLiteral("ERR no gate (use --gate or gate model)");
    // Everything else about the gate is the gate model's own.
    return g->control(a);
}

QString Control::faultCmd(const QStringList &a)
{
    const QString kind = a.value(0).toLower();
    if (kind == QLatin1String("clear")) {
        m_dev.clearFaults();
        return QStringLiteral("OK");
    }
    Fault f;
    f.kind = Fault::Kind::Drop;
    int argc = 0; // arguments before the count
    int v1 = 0, v2 = 0;
    if (kind == QLatin1String("drop")) {
        f.kind = Fault::Kind::Drop;
    } else if (kind == QLatin1String("delay")) {
        f.kind = Fault::Kind::Delay;
        argc = 1;
        if (!decInt(a.value(1), 0, 60000, v1))
            return QStringLiteral("ERR usage: fault delay <ms> [<count>]");
        f.a = v1;
    } else if (kind == QLatin1String("split")) {
        f.kind = Fault::Kind::Split;
        argc = 2;
        if (!decInt(a.value(1), 1, 262, v1) || !decInt(a.value(2), 0, 60000, v2))
            return QStringLiteral("ERR usage: fault split <chunk bytes> <pause ms> [<count>]");
        f.a = v1;
        f.b = v2;
    } else if (kind == QLatin1String("sum")) {
        f.kind = Fault::Kind::BadSum;
    } else if (kind == QLatin1String("nocr")) {
        f.kind = Fault::Kind::NoCr;
    } else if (kind == QLatin1String("garbage")) {
        f.kind = Fault::Kind::Garbage;
        argc = 1;
        if (!hexData(a.value(1), f.bytes) || f.bytes.isEmpty())
            return QStringLiteral("ERR usage: fault garbage <hex bytes, no blanks> [<count>]");
    } else if (kind == QLatin1String("nack")) {
        f.kind = Fault::Kind::Nack;
        argc = 1;
        const QStringList codes = a.value(1).split(',');
        uint8_t c1, c2;
        if (codes.size() > 2 || !hexByte(codes.value(0), c1) || (codes.size() == 2 && !hexByte(codes[1], c2)))
            return QStringLiteral("ERR usage: fault nack <code hex>[,<second byte hex>] [<count>]");
        f.a = c1;
        f.b = codes.size() == 2 ? c2 : -1;
    } else if (kind == QLatin1String("disconnect")) {
        f.kind = Fault::Kind::Disconnect;
    } else {
        return QStringLiteral("ERR unknown fault %1").arg(kind);
    }
    int count = 1;
    if (a.size() > argc + 1 && !decInt(a[argc + 1], 1, 1000000, count))
        return QStringLiteral("ERR bad count %1").arg(a[argc + 1]);
    f.remaining = count;
    m_dev.addFault(f);
    return QStringLiteral("OK");
}

QString Control::lanCmd(const QStringList &a)
{
    const QString what = a.value(0).toLower();
    LanSettings &lan = m_dev.lan;
    if (what == QLatin1String("ng") || what == QLatin1String("answer")) {
        // lan ng <key> [<lines>] | lan answer <key> <text> [<lines>] | lan ng clear
        const bool ng = what == QLatin1String("ng");
        const QByteArray key = a.value(1).toLower().toLatin1();
        if (ng && key == "clear" && a.size() == 2) {
            lan.forced.clear();
            return QStringLiteral("OK");
        }
        const int countAt = ng ? 2 : 3;
        int n = 1;
        const bool keyOk = !key.isEmpty() && key != "=" && key.count('=') <= 1 && (!key.contains('=') || key.endsWith('='));
        const bool argsOk = a.size() == countAt || (a.size() == countAt + 1 && decInt(a[countAt], 0, 1000000, n));
        if (!keyOk || !argsOk)
            return QStringLiteral("ERR usage: lan ng <key>[=] [<lines>, 0 = every line] | lan answer <key>[=] <text> [<lines>] | lan ng clear");
        lan.forced[key] = {ng ? QByteArray("NG") : a[2].toLatin1(), n};
        return QStringLiteral("OK");
    }
    if (what == QLatin1String("drop") && a.size() == 1)
        return QStringLiteral("OK %1").arg(lan.hangUp ? lan.hangUp() : 0);
    if (what == QLatin1String("sessions") && a.size() == 1)
        return QStringLiteral("OK %1").arg(lan.sessions ? lan.sessions() : 0);
    if (what == QLatin1String("saves") && a.size() == 1)
        return QStringLiteral("OK %1").arg(lan.saves);
    if (what == QLatin1String("prompt") && a.size() == 2) {
        lan.prompt = a[1].toLatin1();
        return QStringLiteral("OK");
    }
    if (what == QLatin1String("set") && a.size() > 1) {
        for (const QString &kv : a.mid(1)) {
            const int eq = kv.indexOf('=');
            if (eq <= 0 || !lan.set(kv.left(eq).toLower().toLatin1(), kv.mid(eq + 1).toLatin1()))
                return QStringLiteral("ERR bad setting %1").arg(kv);
        }
        return QStringLiteral("OK");
    }
    return QStringLiteral("ERR usage: lan ng|answer|drop|sessions|saves|prompt|set ...");
}

QString Control::eepromCmd(const QStringList &a)
{
    // eeprom get area1|area2 [<word> [<count>]] | eeprom set area1|area2 <word> <hex>
    // eeprom nack|nack-read <n> [<code>] | eeprom nack|nack-read off | eeprom writes
    const QString sub = a.value(0).toLower();
    Reader *r = m_dev.reader();
    if (sub == QLatin1String("nack") || sub == QLatin1String("nack-read")) {
        const bool reads = sub == QLatin1String("nack-read");
        int n = 0;
        uint8_t code = 0x41;
        if (a.size() == 2 && a[1].toLower() == QLatin1String("off")) {
            reads ? r->nackEepromRead(0) : r->nackEepromWrite(0);
            return QStringLiteral("OK");
        }
        if (a.size() < 2 || a.size() > 3 || !decInt(a[1], 1, 1000000, n) || (a.size() == 3 && !hexByte(a[2], code)))
            return QStringLiteral("ERR usage: eeprom nack|nack-read <n> [<code hex>] | eeprom nack|nack-read off");
        reads ? r->nackEepromRead(n, code) : r->nackEepromWrite(n, code);
        return QStringLiteral("OK");
    }
    if (sub == QLatin1String("writes") && a.size() == 1)
        return QStringLiteral("OK %1").arg(r->eepromWrites());
    const QString which = a.value(1).toLower();
    QByteArray *area = which == QLatin1String("area1") ? &r->area1 : which == QLatin1String("area2") ? &r->area2 : nullptr;
    if (!area || (sub != QLatin1String("get") && sub != QLatin1String("set")))
        return QStringLiteral("ERR usage: eeprom get|set area1|area2 ... | eeprom nack|nack-read <n> [<code>] | eeprom writes");
    const int words = int(area->size() / 2);
    if (sub == QLatin1String("get")) {
        int first = 1, count = 0;
        if ((a.size() > 2 && !decInt(a[2], 1, words, first)) ||
            (a.size() > 3 && !decInt(a[3], 1, words - first + 1, count)) || a.size() > 4)
            return QStringLiteral("ERR usage: eeprom get area1|area2 [<word from 1> [<count>]]");
        if (count == 0)
            count = a.size() > 2 ? 1 : words;
        return QStringLiteral("OK ") + hexText(area->mid((first - 1) * 2, count * 2));
    }
    int first = 1;
    QByteArray data;
    if (a.size() < 4 || !decInt(a[2], 1, words, first) || !hexData(a.mid(3).join(QString()), data) ||
        data.isEmpty() || data.size() % 2 || (first - 1) * 2 + data.size() > area->size())
        return QStringLiteral("ERR usage: eeprom set area1|area2 <first word from 1> <whole words of hex>");
    area->replace((first - 1) * 2, data.size(), data);
    return QStringLiteral("OK");
}

QString Control::getCmd(const QStringList &a)
{
    const QString what = a.value(0).toLower();
    Reader *r = m_dev.reader();
    if (what == QLatin1String("mode"))
        return QStringLiteral("OK %1 %2").arg(hex2(r->mode()), hex2(r->modeFlags()));
    if (what == QLatin1String("speed"))
        return QStringLiteral("OK %1").arg(m_dev.baud());
    if (what == QLatin1String("id"))
        return QStringLiteral("OK %1").arg(r->readerId());
    if (what == QLatin1String("rom"))
        return QStringLiteral("OK ") + QString::fromLatin1(r->romText());
    if (what == QLatin1String("area1"))
        return QStringLiteral("OK ") + hexText(r->area1);
    if (what == QLatin1String("area2"))
        return QStringLiteral("OK ") + hexText(r->area2);
    if (what == QLatin1String("uid"))
        return QStringLiteral("OK ") + hexText(r->currentUid);
    if (what == QLatin1String("s6700"))
        return QStringLiteral("OK ") + hex2(r->s6700());
    if (what == QLatin1String("errrate"))
        return QStringLiteral("OK %1 %2").arg(r->okCount).arg(r->failCount);
    if (what == QLatin1String("tx"))
        return r->txOn ? QStringLiteral("OK on") : QStringLiteral("OK off");
    if (what == QLatin1String("led"))
        return QStringLiteral("OK %1 %2").arg(hex2(r->ledState[0]), hex2(r->ledState[1]));
    if (what == QLatin1String("buzzer"))
        return QStringLiteral("OK %1").arg(r->lastBuzzer);
    if (what == QLatin1String("port"))
        return QStringLiteral("OK ") + hex2(r->ioPort);
    if (what == QLatin1String("antenna"))
        return QStringLiteral("OK %1").arg(r->antenna);
    if (what == QLatin1String("faults"))
        return QStringLiteral("OK %1").arg(m_dev.pendingFaults());
    if (what == QLatin1String("lan"))
        return QStringLiteral("OK l_ip=%1 l_pt=%2 f_ip=%3 f_pt=%4 mask=%5 conn=%6 bps=%7 timv=%8 keep=%9 timr=%10")
            .arg(m_dev.lan.lIp)
            .arg(m_dev.lan.lPt)
            .arg(m_dev.lan.fIp)
            .arg(m_dev.lan.fPt)
            .arg(m_dev.lan.mask)
            .arg(m_dev.lan.conn)
            .arg(m_dev.lan.bps)
            .arg(m_dev.lan.timv)
            .arg(m_dev.lan.keep)
            .arg(m_dev.lan.timr);
    return QStringLiteral("ERR usage: get mode|speed|id|rom|area1|area2|uid|s6700|errrate|tx|led|buzzer|port|antenna|faults|lan");
}

} // namespace kx9sim
