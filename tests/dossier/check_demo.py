# Independent check of a generated dossier, read with python3-dbfread: every line's francs are
# its euros x 6.55957 rounded to the cent, every journal-month balances in both currencies and
# equals its C10 header, every line has one sort record pointing back at it, and the C20
# totals are the sums of the lines (a collective also sums its auxiliary accounts).
# Prints "OK lines pieces headers accounts" or one line per fault.
import sys
from collections import defaultdict
from decimal import Decimal, ROUND_HALF_UP
from dbfread import DBF

folder, code = sys.argv[1], sys.argv[2].lower()
def table(kind):
    return DBF('%s/%s%s.dbf' % (folder, kind, code), encoding='cp1252')
def cents(value):
    return int((Decimal(str(value)) * 100).to_integral_value(ROUND_HALF_UP))
def text_cents(text):
    return cents(Decimal(text.strip() or '0'))

faults = []
def fault(text):
    if len(faults) < 20:
        faults.append(text)

lines = list(table('c50'))
months = defaultdict(lambda: [0, 0, 0, 0])     # debit F, credit F, debit E, credit E
accounts = defaultdict(lambda: [0, 0, 0, 0])
pieces = set()
for n, l in enumerate(lines, 1):
    f, e = cents(l['BMONTANTF']), cents(l['BMONTANTE'])
    if f != int((Decimal(e) * Decimal('6.55957')).to_integral_value(ROUND_HALF_UP)):
        fault('line %d: %s francs for %s euros' % (n, f, e))
    if l['BCLE'] != 'Z' or l['BNUMA'] != '0001' or l['BEURO'] != 'O' or l['BSENS'] not in 'DC':
        fault('line %d: kind, sub-number, currency or sense %r' % (n, l))
    side = 0 if l['BSENS'] == 'D' else 1
    key = l['BMOIS'] + l['BJAL'].ljust(3)
    months[key][side] += f
    months[key][2 + side] += e
    accounts[l['BCODE']][side] += f
    accounts[l['BCODE']][2 + side] += e
    pieces.add(l['BPIECE'])

headers = {}
collectives = {}
for r in table('c10'):
    if r['GCLE'] == 'C':
        if r['GCODE'][7:8] != 'B':
            fault('header %s is not a draft header' % r['GCODE'])
        z4, z5 = r['GZONE1'].ljust(28), r['GZONE2'].ljust(28)
        headers[r['GCODE'][:7]] = [text_cents(z4[:14]), text_cents(z4[14:28]), text_cents(z5[:14]), text_cents(z5[14:28])]
    elif r['GCLE'] == 'B':
        collectives[r['GCODE'][:1]] = r['GZONE1'][:8]
for key, sums in months.items():
    if sums[0] != sums[1] or sums[2] != sums[3]:
        fault('journal-month %s does not balance: %r' % (key, sums))
    if headers.get(key) != sums:
        fault('journal-month %s: header %r, lines %r' % (key, headers.get(key), sums))
for key in headers:
    if key not in months:
        fault('header %s has no line' % key)

sort = list(table('c60'))
if len(sort) != len(lines):
    fault('%d sort records for %d lines' % (len(sort), len(lines)))
seen = set()
for t in sort:
    n = int(t['TREC'])
    if t['TFIC'] != 'B' or n < 1 or n > len(lines) or n in seen:
        fault('sort record %r points nowhere or twice' % t)
        continue
    seen.add(n)
    l = lines[n - 1]
    pairs = [('TCLE', 'BCLE'), ('TCODE', 'BCODE'), ('TMOIS', 'BMOIS'), ('TJOUR', 'BJOUR'), ('TJAL', 'BJAL'),
             ('TPIECE', 'BPIECE'), ('TNUM', 'BNUM'), ('TTVA', 'BTVA')]
    for a, b in pairs:
        if t[a] != l[b]:
            fault('sort record of line %d: %s %r, line %s %r' % (n, a, t[a], b, l[b]))

totals = dict(accounts)
for acc, sums in accounts.items():
    if acc[:1].isalpha():
        coll = collectives.get(acc[:1], '').rstrip().ljust(8, '0')
        c = totals.setdefault(coll, [0, 0, 0, 0])
        totals[coll] = [x + y for x, y in zip(c, sums)]
c20 = list(table('c20'))
codes = set()
for a in c20:
    codes.add(a['CCODE'])
    got = [cents(a['CDEBITF']), cents(a['CCREDITF']), cents(a['CDEBITE']), cents(a['CCREDITE'])]
    want = totals.get(a['CCODE'], [0, 0, 0, 0])
    if got != want:
        fault('account %s: totals %r, lines %r' % (a['CCODE'], got, want))
for acc in totals:
    if acc not in codes:
        fault('account %s of the lines is not in C20' % acc)

if faults:
    print('\n'.join(faults))
else:
    print('OK %d %d %d %d' % (len(lines), len(pieces), len(headers), len(c20)))
