#!/usr/bin/env python3
"""Writes the seed corpora (corpus/<target>/seed-*) from the frames, files and
scripts the tests and docs use. Run again after adding seeds; crash inputs
found by a fuzzer go into corpus/<target>/regress-* and are kept as they are."""
import glob, os, re, sys

here = os.path.dirname(os.path.abspath(__file__))
top = os.path.dirname(here)

def out(target, name, data):
    d = os.path.join(here, 'corpus', target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode('utf-8')
    with open(os.path.join(d, 'seed-' + name), 'wb') as f:
        f.write(data)

def frame(kind, data, rid=1):
    f = bytes([0x02, rid, ord(kind) if isinstance(kind, str) else kind, len(data)]) + data + b'\x03'
    return f + bytes([sum(f) & 0xFF, 0x0D])

def record(cmd, kind, data, rid=1, flags=0):
    # frame_stream.h: [cmd][kind][id][flags][n][DATA n]
    return bytes([cmd, ord(kind) if isinstance(kind, str) else kind, rid, flags, len(data)]) + data

def test_payloads():
    seen = []
    for path in sorted(glob.glob(os.path.join(top, 'tests', '**', '*.cpp'), recursive=True) +
                       glob.glob(os.path.join(top, 'tests', '**', '*.h'), recursive=True)):
        for m in re.finditer(r'hexBytes\("([0-9A-Fa-f ]+)"\)', open(path, encoding='utf-8', errors='replace').read()):
            b = bytes.fromhex(m.group(1).replace(' ', ''))
            if b not in seen:
                seen.append(b)
    return seen

uid = bytes([0x01, 0x56, 0x34, 0x12, 0x00, 0x00, 0x07, 0xE0])
count20 = bytes(range(1, 13))
count30 = bytes(range(1, 37))

# ---- receive path: setup, chunking, S6700Conf, then the stream.
replies = [
    ('0', 0x78, b'\x00' + b'TI-T'), ('0', 0x78, b'\x00\x00' + b'ABCD'), ('0', 0x4F, b'\x90' + b'121 KX9'),
    ('1', 0x78, b'\x12'), ('D', 0, b'HELLO\x00tail'), ('d', 0, uid + b'ABC'), ('i', 0, b'\x02\x00\x00' + uid + uid[::-1]),
    ('I', 0, b'\x00' + uid), ('L', 0, uid + b'\x00\x01\x02\x03'), ('G', 0, b'\x80' + count20),
    ('G', 0, b'\x81' + count30), ('Z', 0, b'\x20\x31'),
]
stream = b''
for i, (kind, cmd, data) in enumerate(replies):
    out('fuzz_receive', 'raw-%02d' % i, bytes([0x40, 0x07, 0xD4, cmd]) + frame(kind, data))
    out('fuzz_receive', 'framed-%02d' % i, bytes([0x41, 0x00, 0xD4]) + record(cmd, kind, data))
    stream += record(cmd, kind, data)
out('fuzz_receive', 'framed-all', bytes([0x41, 0x03, 0xD4]) + stream)
out('fuzz_receive', 'tagit-d', bytes([0x41, 0x00, 0x08]) + record(0, 'd', uid[:4] + b'xyz'))
out('fuzz_receive', 'faults', bytes([0x41, 0x01, 0xD4]) + record(0x78, '0', b'\x00AB', flags=0x11) +
    record(0x78, '0', b'\x00AB', flags=2) + record(0x78, '0', b'\x00AB', flags=3) +
    record(0x78, '0', b'\x00AB', flags=4) + b'\x55')
for k, payload in enumerate(test_payloads()[:80]):
    out('fuzz_receive', 'test-%02d' % k, bytes([0x41, 0x00, 0xD4]) + record(0x78, '0', payload[:255]))

# ---- gate count hand-off
out('fuzz_gate_report', 'w20', bytes([0x03]) + record(0, 'G', b'\x80' + count20))
out('fuzz_gate_report', 'w30', bytes([0x03]) + record(0, 'G', b'\x81' + count30))
out('fuzz_gate_report', 'w30-short', bytes([0x03]) + record(0, 'G', b'\x81' + count30[:25]))
out('fuzz_gate_report', 'nodialog', bytes([0x01]) + record(0, 'G', b'\x80' + b'report text\x00' + b'\x01'))
out('fuzz_gate_report', 'raw', bytes([0x02]) + frame('G', b'\x81' + count30))

# ---- option file
out('fuzz_option_file', 'demo', open(os.path.join(top, 'scripts', 'demo.ini'), 'rb').read())
out('fuzz_option_file', 'crlf', b'[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=3335\r\nTCPServAddr=127.0.0.1\r\n'
    b'S6700Conf=0xD4\r\n\r\n[ComDebug]\r\nPort=3\r\nBaudRate=38400\r\nIDNo=1\r\nFlowCont=2\r\n; comment\r\n')
out('fuzz_option_file', 'cp932', '; 検査ライン\n[Option]\nInOutTitle=入／出\nInString=入\nOutString=出\n[Memo]\n名前=受付①\n'.encode('cp932'))
out('fuzz_option_file', 'odd', b'[Option\nComPort=-2147483648\nComSpeed=0x\n=x\n[ComDebug]\nBaudRate=+0xFFFFFFFF\n[]\nk')

# ---- .KXI
kxi = '[KX9SET]\r\n' + ''.join('SETDATA%d=%d\r\n' % (i, (i * 37) & 0xFF) for i in range(40))
kxi += ''.join('SETDATA%d=%d\r\n' % (240 + j, j) for j in range(20))
out('fuzz_kxi', 'full', b'\x01' + kxi.encode())
out('fuzz_kxi', 'hex', b'\x00[KX9SET]\nSETDATA0=$FF\nSETDATA1=0x7f\nSETDATA2=-1\nSETDATA3=300\nSETDATA4= 12 \n')
out('fuzz_kxi', 'memo', b'\x03' + '; 検査ライン２号機\r\n[Memo]\r\n名前=受付①\r\n[KX9SET]\r\nSETDATA0=7\r\n'.encode('cp932'))

# ---- Telnet console: [op][arg] then [n][bytes] segments
def segs(*parts):
    b = b''
    for p in parts:
        b += bytes([len(p)]) + p
    return b
login = b'\xff\xfb\x01\xff\xfb\x03\xff\xfd\x18PASSWORD:'
answers = [b'madr\r\n>02-4B-58-00-00-01\r\n', b'l_ip\r\n>198.18.0.2\r\n', b'l_pt\r\n>10777\r\n',
           b'f_ip\r\n>198.18.0.1\r\n', b'f_pt\r\n>3335\r\n', b'mask\r\n>24\r\n', b'conn\r\n>1\r\n',
           b'bps\r\n>16\r\n', b'timv\r\n>0\r\n', b'keep\r\n>0\r\n', b'timr\r\n>0\r\n']
out('fuzz_telnet', 'read', b'\x80\x00' + segs(login, b'\r\n', *answers))
out('fuzz_telnet', 'read-ng', b'\x00\x00' + segs(login, b'\r\n', answers[0], b'l_ip\r\n>NG\r\n'))
ok = [b'\r\n>', b'l_ip=0.0.0.0\r\n>OK\r\n', b'l_pt=0\r\n>OK\r\n', b'f_ip=0.0.0.0\r\n>OK\r\n', b'f_pt=0\r\n>OK\r\n',
      b'mask=24\r\n>OK\r\n', b'conn=1\r\n>OK\r\n', b'bps=16\r\n>OK\r\n', b'timv=0\r\n>OK\r\n', b'keep=0\r\n>OK\r\n',
      b'timr=0\r\n>OK\r\n', b'save\r\n>OK\r\n']
out('fuzz_telnet', 'write', b'\x81\x00' + segs(login, b'\r\n', *ok))
out('fuzz_telnet', 'mac', b'\x02\x10' + segs(login, b'\r\n>02.4b.58.0.0.1\r\n'))
out('fuzz_telnet', 'query', b'\x03\x00' + segs(login, b'\r\n', b'l_ip\r\n>127.0.0.1\r\n'))
out('fuzz_telnet', 'iac', b'\x84\x00' + segs(login, b'\xff\xfa\x18\x01\xff\xf0\r\n', b'save\r\n\xff\xff>OK\r\n'))
out('fuzz_telnet', 'speed', b'\x86\x02' + segs(login, b'\r\n', b'\r\n>', b'bps\r\n>16\r\n', b'bps=17\r\n>OK\r\n', b'save\r\n>OK\r\n'))
out('fuzz_telnet', 'prompt', b'\x80\x00' + segs(b'LOGIN:PASSWORD?'))

# ---- LAN text forms
for i, t in enumerate(['192.168.0.100', '198.18.0.2', '0-0-0-0', '255.255.255.255', '1..2.3', '02-4B-58-00-00-01',
                       '02.4b.58.0.0.ff', 'fffffffffffff', ' 10 . 1 . 2 . 3 ', '1.2.3.4.5']):
    out('fuzz_lan_text', '%02d' % i, t)

# ---- operator scripts
scripts = [open(p, encoding='utf-8').read() for p in sorted(glob.glob(os.path.join(top, 'docs', '*.script')))]
scripts += [
    'menu MnReadSingleBlock\ndialog IntEd=3 ok\nexpect-log "data: " 2000\n',
    'trigger MnSetEEPROM\ndialog cancel\nquestion yes\nmessage\nfile "/tmp/a b.KXI" 1\n',
    'click StringGrid1 ctrl+shift\ndouble-click StringGrid1\nwait 100\ndump\nsnapshot x.png\nsave-log l.txt\nsave-grid g.csv\nquit\n',
    'expect-field EdAFIValue=07 EdDSFID="a \\"b\\"" 500\n# comment\n   \n"unterminated\n',
]
for i, s in enumerate(scripts):
    out('fuzz_script', '%02d' % i, s)

# ---- hex text helpers
for i, t in enumerate(['0A FF ', '0a0bzz', 'FFFFFFFF', '1', '12 34\t56\n78', 'G0 0G', '１２']):
    out('fuzz_hex', '%02d' % i, b'\x01' + t.encode('utf-8'))
print('seeds written')
