# The figures of the ledger reports computed from the dossier's files alone (python3-dbfread),
# sharing no code with the program: the sort file C60 in its orders, each sort record's line in
# the draft C50 or the closed C40, the chart C20 and the general file C10. Amounts in cents.
#
#   ledger_figures.py gl FOLDER CODE LEDGERS FROM TO PRIOR CURRENCY [L]
#       The general ledgers of LEDGERS ("1" general, "2" result, a collective's letter, "T" every
#       ledger: general, result, then each collective), for the period FROM-TO (stored YYMMDD),
#       with the cumulation before the period when PRIOR is "O", in CURRENCY ("F" or "E"):
#       "LEDGER|l", per account with something to show "B|account", "CA|debit|credit" (the lines
#       before the period), "COLL|debit|credit" (a collective's auxiliary lines of the period),
#       "L|date|journal|piece|debit|credit" per line ("|letter" after it with L), "SC|debit|credit"
#       the account's totals; "TG|debit|credit" the ledger's.
#   ledger_figures.py statement FOLDER CODE ACCOUNT FROM TO PRIOR CURRENCY
#       The same for one account: "CA", "COLL", "L|...|letter" per line, "TG".
#   ledger_figures.py journals FOLDER CODE CURRENCY
#       Per journal-month in the order of the listing "J|MM/YY|journal|debit|credit", then per
#       account (an auxiliary account on its collective's) "S|account|debit|credit".
#   ledger_figures.py analytic FOLDER CODE CURRENCY
#       The analytic journal listings, per journal-month "J|MM/YY|journal|debit|credit|general|
#       analytic|gap": the debit and credit of the general lines split on an axis (each line once,
#       from its own record) and of their sections together, the general lines debit less credit,
#       the sections alike, and each split line once per axis it is split on less the sections.
#       Then per general line "L|MM/YY|journal|piece|account|sense|amount" and per section line
#       "W|MM/YY|journal|piece|section|sense|amount".
#   ledger_figures.py central FOLDER CODE CURRENCY
#       The journal-month totals of the general file "R|MM/YY|journal|B or C|debit|credit" (B the
#       draft's, C the closed file's), then "TG|debit|credit".
import sys
from collections import OrderedDict, defaultdict
from decimal import Decimal, ROUND_HALF_UP

from dbfread import DBF

command, folder, code = sys.argv[1], sys.argv[2], sys.argv[3].lower()


def cents(value):
    return int((Decimal(str(value or 0)) * 100).to_integral_value(ROUND_HALF_UP))


def physical(kind):
    """Live records of a data file with their physical numbers."""
    path = '%s/%s%s.dbf' % (folder, kind, code)
    with open(path, 'rb') as f:
        head = f.read(32)
        count = int.from_bytes(head[4:8], 'little')
        header_length = int.from_bytes(head[8:10], 'little')
        record_length = int.from_bytes(head[10:12], 'little')
        marks = []
        for n in range(count):
            f.seek(header_length + n * record_length)
            marks.append(f.read(1) == b'*')
    t = DBF(path, encoding='cp1252')
    t.load()
    live, cancelled = iter(t.records), iter(t.deleted)
    for n, mark in enumerate(marks, 1):
        record = next(cancelled) if mark else next(live)
        if not mark:
            yield n, record


def shown(stored):
    return '%s/%s/%s' % (stored[4:6], stored[2:4], stored[0:2].replace('A', '0').replace('B', '1').replace('C', '2'))


# The lines, by the draft's names.
lines = {}
for n, l in physical('c50'):
    lines[('B', n)] = {'sense': l['BSENS'], 'F': cents(l['BMONTANTF']), 'E': cents(l['BMONTANTE']),
                       'piece': '(%s)' % l['BPIECE'], 'letterF': l['BLET'], 'letterE': l['BLETE']}
for n, d in physical('c40'):
    lines[('C', n)] = {'sense': d['DSENS'], 'F': cents(d['DMONTANTF']), 'E': cents(d['DMONTANTE']),
                       'piece': d['DPIECE'], 'letterF': d['DLET'], 'letterE': d['DLETE']}

sort = []
for n, t in physical('c60'):
    if t['TCLE'] != 'Z':
        continue
    line = lines.get(('B' if t['TFIC'] == 'B' else 'C', int(t['TREC'] or 0)))
    if line is None:
        continue
    sort.append(dict(line, code=t['TCODE'].ljust(8), date=t['TMOIS'] + t['TJOUR'], month=t['TMOIS'],
                     journal=t['TJAL'].ljust(3), day=t['TJOUR'], tpiece=t['TPIECE'], number=t['TNUM'], recno=n))

collectives = OrderedDict()
for r in sorted((r for r in DBF('%s/c10%s.dbf' % (folder, code), encoding='cp1252') if r['GCLE'] == 'B'),
                key=lambda r: r['GCODE']):
    account = (r['GZONE1'] or '')[:8]
    if account.strip():
        collectives[r['GCODE'][:1]] = account.ljust(8)
collective_of = {account: letter for letter, account in reversed(list(collectives.items()))}
chart = sorted(r['CCODE'].ljust(8) for r in DBF('%s/c20%s.dbf' % (folder, code), encoding='cp1252'))


def month_shown(stored):
    """A stored year and month as MM/YY."""
    return '%s/%s' % (stored[2:4], shown('%s01' % stored)[-2:])


def amount(line, currency):
    return line[currency]


def out(*parts):
    print('|'.join(str(p) for p in parts))


def by_code():
    return sorted(sort, key=lambda s: (s['code'], s['date'], s['recno']))


def block(key, date_from, date_to, prior, currency, collective, rows, with_letter=False):
    """The rows of one account (or collective) and its totals; None when it shows nothing."""
    ca, coll, lst = [0, 0], [0, 0], []
    shown_any = False
    for s in rows:
        if not s['code'].startswith(key):
            continue
        a = amount(s, currency)
        if a == 0:
            continue
        side = 0 if s['sense'] == 'D' else 1
        if s['date'] < date_from:
            if prior == 'O':
                ca[side] += a
                shown_any = True
        elif s['date'] <= date_to:
            shown_any = True
            if collective:
                coll[side] += a
            else:
                values = [shown(s['date']), s['journal'].strip(), s['piece'], a if side == 0 else 0,
                          a if side == 1 else 0]
                if with_letter:
                    values.append((s['letterE'] if currency == 'E' else s['letterF']).strip())
                lst.append(values)
    if not shown_any:
        return None
    debit = ca[0] + coll[0] + sum(v[3] for v in lst)
    credit = ca[1] + coll[1] + sum(v[4] for v in lst)
    result = []
    if ca != [0, 0]:
        result.append(['CA', ca[0], ca[1]])
    if coll != [0, 0]:
        result.append(['COLL', coll[0], coll[1]])
    result += [['L'] + v for v in lst]
    return result, debit, credit


if command in ('gl', 'statement'):
    target, date_from, date_to, prior, currency = sys.argv[4:9]
    rows = by_code()
    if command == 'statement':
        account = target.ljust(8)
        letter = collective_of.get(account)
        found = block(letter or account, date_from, date_to, prior, currency, letter is not None, rows, True)
        if found:
            result, debit, credit = found
            for r in result:
                out(*r)
            out('TG', debit, credit)
        sys.exit(0)
    ledgers = '12' + ''.join(collectives) if target == 'T' else target
    for ledger in ledgers:
        low, high = {'1': ('0', '9ZZZZZZZ'), '2': ('6', '9ZZZZZZZ')}.get(ledger, (ledger, ledger + 'ZZZZZZZ'))
        total = [0, 0]
        blocks = []
        for account in chart:
            if account < low.ljust(8) or account > high.ljust(8):
                continue
            letter = collective_of.get(account)
            found = block(letter or account, date_from, date_to, prior, currency, letter is not None, rows,
                          sys.argv[9:10] == ['L'])
            if found:
                blocks.append((account, found))
        if not blocks:
            continue
        out('LEDGER', ledger)
        for account, (result, debit, credit) in blocks:
            out('B', account.strip())
            for r in result:
                out(*r)
            out('SC', debit, credit)
            total[0] += debit
            total[1] += credit
        out('TG', total[0], total[1])

elif command == 'journals':
    currency = sys.argv[4]
    rows = sorted(sort, key=lambda s: (s['month'], s['journal'], s['day'], s['tpiece'], s['number'], s['recno']))
    groups = OrderedDict()
    for s in rows:
        a = amount(s, currency)
        if a == 0:
            continue
        g = groups.setdefault((s['month'], s['journal']), [[0, 0], defaultdict(lambda: [0, 0])])
        side = 0 if s['sense'] == 'D' else 1
        g[0][side] += a
        account = s['code']
        if account[:1].isalpha() and account[:1].isupper() and account[:1] in collectives:
            account = collectives[account[:1]]
        g[1][account][side] += a
    for (month, journal), (totals, accounts) in groups.items():
        out('J', month_shown(month), journal.strip(), totals[0], totals[1])
        for account in sorted(accounts):
            if accounts[account] != [0, 0]:
                out('S', account.strip(), accounts[account][0], accounts[account][1])

elif command == 'analytic':
    currency = sys.argv[4]
    records = list(physical('c60'))

    def general_line(t, account):
        return (t['TFIC'] == 'B', t['TMOIS'], t['TJAL'], t['TJOUR'], t['TPIECE'], t['TNUM'], account.ljust(8))

    axes = defaultdict(int)
    for n, t in records:
        if t['TCLE'] in ('V', 'X'):
            axes[general_line(t, t['TCG'])] += 1
    groups = OrderedDict()
    rows = []
    for n, t in sorted(records, key=lambda r: (r[1]['TMOIS'], r[1]['TJAL'])):
        kind = t['TCLE']
        if kind == 'Z':
            count = axes.get(general_line(t, t['TCODE']), 0)
            if count == 0:
                continue
        elif kind in ('W', 'Y'):
            count = 0
        else:
            continue
        line = lines.get(('B' if t['TFIC'] == 'B' else 'C', int(t['TREC'] or 0)))
        if line is None:
            continue
        a = amount(line, currency)
        side = 0 if line['sense'] == 'D' else 1
        signed = a if side == 0 else -a
        g = groups.setdefault((t['TMOIS'], t['TJAL']), [0, 0, 0, 0, 0])
        g[side] += a
        if kind == 'Z':
            g[2] += signed
            g[4] += signed * count
        else:
            g[3] += signed
            g[4] -= signed
        rows.append(('L' if kind == 'Z' else 'W', month_shown(t['TMOIS']), t['TJAL'].strip(), t['TPIECE'],
                     t['TCODE'].strip(), line['sense'], a))
    for (month, journal), g in groups.items():
        out('J', month_shown(month), journal.strip(), *g)
    for r in rows:
        out(*r)

elif command == 'central':
    currency = sys.argv[4]
    field = 'GZONE2' if currency == 'E' else 'GZONE1'
    total = [0, 0]
    for r in sorted((r for r in DBF('%s/c10%s.dbf' % (folder, code), encoding='cp1252') if r['GCLE'] == 'C'),
                    key=lambda r: r['GCODE']):
        zone = (r[field] or '').ljust(28)
        debit, credit = cents(zone[:14].strip() or 0), cents(zone[14:28].strip() or 0)
        total[0] += debit
        total[1] += credit
        gcode = r['GCODE'].ljust(8)
        out('R', month_shown(gcode[:4]), gcode[4:7].strip(), 'B' if gcode[7] == 'B' else 'C', debit, credit)
    out('TG', total[0], total[1])
