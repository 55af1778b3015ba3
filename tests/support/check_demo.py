# Independent check of a generated dossier, read with python3-dbfread (it shares no code with
# the program):
# - the dossier record: the currency (character 533 and constant 039, with the dossier INI),
#   the rate, the analytic mode, the financial year, a SIREN and SIRET whose keys are right;
# - every line converts from its entry currency ("O" typed in euros, "N" in francs; only "O" in a
#   dossier kept in euros only) at the rate, rounded to the cent, and lies in the financial year; an
#   exchange-rounding line ("o" euros alone, "n" francs alone, never in euros only) carries one
#   currency's difference on the rounding account of its side (66600000 debit, 76600000 credit);
#   every journal-month balances (in francs too unless the dossier is in euros only) and equals its
#   C10 header;
# - with analytic sections, every line of an account "Avec Analytique" has per axis a header
#   copy and a split that adds up to it, and the C30 totals are the sums of the split lines;
# - every line has one sort record pointing back at it, holding every field it copies from its line (the
#   list in src/data/sort_record_fields.inc); the C20 totals are the sums of the
#   lines (a collective, cancelled or not, also sums its auxiliary accounts); every live analytic
#   record stands under a live general line of its place on the account it splits;
# - the chart: every auxiliary account names the collective account of its letter as its counterpart, general
#   accounts none; a domiciliation (RIB with its right key, IBAN "FR" + check digits + RIB, valid BIC) only on an
#   auxiliary account or a general account of the default list "-43-512-514-515-58-"; the analytic mark "O" on
#   the accounts of classes 6 and 7 but the rounding accounts, which never take a split, and "N" on the other
#   general accounts of a dossier with sections, blank everywhere without; previous-year amounts and budgets converted from the main currency at the rate,
#   the previous year balanced in both currencies;
# - the sections: codes and names, previous-year amounts and budgets converted at the rate;
# - the code lists of C10 at the places of their packed fields: banks (one coded "BQ01") whose
#   RIB key is 97 - ((89 x bank + 15 x branch + 3 x account) mod 97) after the letter mapping,
#   whose IBAN (python3-stdnum) is "FR" + check digits + RIB and whose BIC is valid; collective
#   accounts, VAT codes, establishments (SIRET key), journals (one with its own piece counter,
#   a counterpart, a default label and a model), labels of every type, entry models whose text
#   lines carry their keywords, distribution codes; every account and code they name exists;
# - the payments by credit transfer: the live lines labelled "V" lie in the treasury journal BQ and their debit
#   lines are on suppliers whose IBAN and BIC are valid;
# - the dunning runs: constant 043 names the bank BQ01; open customer invoices due on both sides of each
#   ageing limit of a schedule at the year's last day;
# - the return on receipts: the customer payments of BQ that settle an invoice carry its VAT mark, on
#   the line and its sort record;
# - the closed months: every closed line dated by its validation, one sort record filed "C" per
#   closed line, each closed journal-month balanced and equal to its header under the closed code,
#   the opening entry in the journal of constant 037 closed;
# - the matchings: each line's letters are its sort record's, and the lines of an account matched
#   under one letter balance in that letter's currency, but on the bank accounts (the default exempt list
#   "-512-514-...-533-"), whose letters are the statements they were reconciled with: there each letter
#   lies in the main currency alone and within one month.
# Usage: check_demo.py FOLDER CODE. Prints "OK lines (draft and closed) pieces headers accounts sections
# analytic-lines code-counts currency analytic-mode" (code-counts as "Q3,B2,...") or one line
# per fault.
import os
import re
import sys
from collections import defaultdict
from decimal import Decimal, ROUND_HALF_UP
from dbfread import DBF
import stdnum.bic
import stdnum.iban

# With --invariants only the rules every dossier keeps are checked (sort records, headers, account and
# section totals), not what the generator alone makes true (balanced months, converted amounts, complete
# splits): a dossier changed since, as the entry windows change it, is checked that way.
arguments = [a for a in sys.argv[1:] if not a.startswith('--')]
invariants_only = '--invariants' in sys.argv[1:]
folder, code = arguments[0], arguments[1].lower()
RATE = Decimal('6.55957')
# The exchange-rounding lines' accounts by side (the program's defaults).
ROUNDING_ACCOUNTS = {'D': '66600000', 'C': '76600000'}


def table(kind):
    return DBF('%s/%s%s.dbf' % (folder, kind, code), encoding='cp1252')


def cents(value):
    # A blank number (a line just created) reads as None.
    return int((Decimal(str(value or 0)) * 100).to_integral_value(ROUND_HALF_UP))


def text_cents(text):
    return cents(Decimal(text.strip() or '0'))


def rounded(value):
    return int(value.to_integral_value(ROUND_HALF_UP))


def luhn(digits):
    total = 0
    for i, c in enumerate(reversed(digits)):
        d = int(c) * (2 if i % 2 else 1)
        total += d - 9 if d > 9 else d
    return total % 10 == 0


def year_of(stored):
    # Stored years: "31"-"99" are 1931-1999, then a letter for each decade from 2000 ("A0").
    c = stored[0]
    return 1900 + int(stored[:2]) if c.isdigit() else 2000 + (ord(c) - ord('A')) * 10 + int(stored[1])


faults = []


def physical(kind):
    """The records of a data file in their physical order, numbered from 1, each with its cancel
    mark: dbfread gives the live and the cancelled records apart; the first byte of each record
    in the file says which comes where."""
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
        yield n, next(cancelled) if mark else next(live), mark


def exists(kind):
    try:
        with open('%s/%s%s.dbf' % (folder, kind, code), 'rb'):
            return True
    except OSError:
        return False


def closed_line(d):
    """A closed line of C40 under the names of a draft line (its fields are the draft's with "D"
    for "B"; it has no group number and no distribution code)."""
    return {'B' + name[1:]: value for name, value in d.items()}


def fault(text):
    if len(faults) < 20:
        faults.append(text)


# The dossier record: record "0" fields 4 and 5 hold positions 31-538, record "P0" field 4
# positions 539-790.
zones = {}
for r in table('c10'):
    if r['GCLE'] == '0' and not r['GCODE'].strip():
        zones[31], zones[285] = r['GZONE1'].ljust(254), r['GZONE2'].ljust(254)
    elif r['GCLE'] == 'P' and r['GCODE'].strip() == '0':
        zones[539] = r['GZONE1'].ljust(252)
if len(zones) != 3:
    print('the dossier record "0" or "P0" is missing')
    sys.exit(1)


def made(text):
    # What the generator makes true of its dossiers but a dossier need not hold (its identity, complete code
    # lists, previous-year amounts typed in one currency): not checked with --invariants.
    if not invariants_only:
        fault(text)


def at(position, width=1):
    start = max(p for p in zones if p <= position)
    return zones[start][position - start:position - start + width]


euro_main = at(533)
constant_039 = at(536 + 3 * 39, 3)
euro_only = euro_main == 'O' and constant_039.startswith('O')
franc_main = euro_main == 'N'
currency = 'franc' if franc_main else 'euro-only' if euro_only else 'euro'
if euro_main not in ('O', 'N'):
    fault('character 533 is %r' % euro_main)
ini = {}
try:
    with open('%s/c10%s.ini' % (folder, code), encoding='cp1252') as f:
        for row in f:
            if '=' in row:
                key, value = row.split('=', 1)
                ini[key.strip()] = value.strip()
except OSError:
    fault('no dossier INI')
if ini.get('SeulementEnEuros', 'O').startswith('O') != euro_only:
    fault('SeulementEnEuros %r in a %s dossier' % (ini.get('SeulementEnEuros'), currency))
if Decimal(at(523, 10).strip() or '0') != RATE:
    fault('rate %r' % at(523, 10))
mode = at(193)
if mode not in ('N', '1', '2'):
    fault('analytic mode %r' % mode)
axes = {'1': 1, '2': 2}.get(mode, 0)
first_day, last_day = at(177, 8), at(185, 8)
siren, siret = at(127, 9), at(127, 14)
if not (siren.isdigit() and siret.isdigit() and luhn(siren) and luhn(siret)):
    made('SIREN %r or SIRET %r has a wrong key' % (siren, siret))

# The lines.
kinds = 'Z' + 'VWXY'[:2 * axes]
months = defaultdict(lambda: [0, 0, 0, 0])     # debit F, credit F, debit E, credit E; key + source
accounts = defaultdict(lambda: [0, 0, 0, 0])
sections = defaultdict(lambda: [0, 0, 0, 0])
general = {}                                    # identity -> (sense, F, E)
copies = {}                                     # identity + axis -> (sense, F, E)
splits = defaultdict(lambda: [0, 0])            # identity + axis -> signed F, E
pieces = set()
sort_keys = {'B': [], 'C': []}                  # per file: the key fields and cancel mark of each line
analytic_lines = 0
places = defaultdict(list)                      # file + month, journal, piece, number -> general lines
live_analytic = []                              # (file, number, place, account split) of live analytic records


def sort_record_copies():
    """The fields a sort record copies from its line, as (sort record's name, draft line's name): the
    one list the program's own code includes, read from its file."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'src', 'data', 'sort_record_fields.inc')
    with open(path, encoding='utf-8') as f:
        rows = re.findall(r'^\{LigneTri::(\w+), LigneEcriture::(\w+)\},$', f.read(), re.M)
    if not rows:
        print('no field in %s' % path)
        sys.exit(1)
    return rows


SORT_RECORD_COPIES = sort_record_copies()


def sort_key(l, cancelled):
    return '|'.join([l[line] for _, line in SORT_RECORD_COPIES] + ['*' if cancelled else ' '])


def all_lines():
    """Every line of the draft, then of the closed file: file letter, number, line, cancel mark."""
    for n, l, cancelled in physical('c50'):
        yield 'B', n, l, cancelled
    if exists('c40'):
        for n, d, cancelled in physical('c40'):
            yield 'C', n, closed_line(d), cancelled


def add_to_totals(source, l):
    """A live line on its journal-month, its account or its section, whatever else it holds."""
    side = 0 if l['BSENS'] == 'D' else 1
    f, e = cents(l['BMONTANTF']), cents(l['BMONTANTE'])
    if l['BCLE'] == 'Z':
        for totals, key in ((months, l['BMOIS'] + l['BJAL'].ljust(3) + source), (accounts, l['BCODE'])):
            totals[key][side] += f
            totals[key][2 + side] += e
    elif l['BCLE'] in ('W', 'Y'):
        sections[l['BCODE']][side] += f
        sections[l['BCODE']][2 + side] += e


numbered = {}
for source, n, l, cancelled in all_lines():
    kind, sense = l['BCLE'], l['BSENS']
    f, e = cents(l['BMONTANTF']), cents(l['BMONTANTE'])
    sort_keys[source].append(sort_key(l, cancelled))
    place = (source, l['BMOIS'], l['BJAL'], l['BPIECE'], l['BNUM'])
    if kind == 'Z':
        pieces.add(l['BPIECE'])
        places[place].append((n, l['BCODE'].rstrip(), not cancelled))
    elif kind in 'VWXY' and not cancelled:
        live_analytic.append((source, n, place, l['BCG'].rstrip()))
    if cancelled:
        # A cancelled line counts in no total; it keeps its place and its sort record.
        continue
    # A live line of the draft has a number no other live line of its piece has: a general line in its
    # group, an analytic line under its general line and axis.
    if source == 'B' and kind in 'ZWY':
        number = (kind, l['BMOIS'], l['BJAL'], l['BPIECE']) + (
            (l['BREC'], l['BNUM']) if kind == 'Z' else (l['BCG'], l['BNUM'], l['BNUMA']))
        if number in numbered:
            fault('line %d: number %r already held by line %d' % (n, number, numbered[number]))
        else:
            numbered[number] = n
    if invariants_only:
        add_to_totals(source, l)
        continue
    if kind not in kinds or sense not in ('D', 'C'):
        fault('line %d: kind %r or sense %r' % (n, kind, sense))
        continue
    entry = l['BEURO']
    if entry in ('o', 'n') and kind == 'Z' and not euro_only:
        # One currency's difference alone, on the rounding account of its side.
        alone = (f == 0 and e > 0) if entry == 'o' else (e == 0 and f > 0)
        if not alone or l['BCODE'] != ROUNDING_ACCOUNTS[sense]:
            fault('line %d: rounding line %r of %s francs and %s euros on %r' % (n, entry, f, e, l['BCODE']))
    elif entry == 'N' and not euro_only:
        if e != rounded(Decimal(f) / RATE):
            fault('line %d: %s euros for %s francs typed %r' % (n, e, f, entry))
    elif entry == 'O':
        if f != rounded(Decimal(e) * RATE):
            fault('line %d: %s francs for %s euros typed %r' % (n, f, e, entry))
    else:
        fault('line %d: entry currency %r in a %s dossier' % (n, entry, currency))
    date = '%04d%s%s' % (year_of(l['BMOIS']), l['BMOIS'][2:], l['BJOUR'])
    if not first_day <= date <= last_day:
        fault('line %d: %s is outside the year %s-%s' % (n, date, first_day, last_day))
    side = 0 if sense == 'D' else 1
    identity = (l['BMOIS'], l['BJAL'], l['BPIECE'], l['BNUM'])
    if kind == 'Z':
        if l['BNUMA'] != '0001':
            fault('line %d: sub-number %r' % (n, l['BNUMA']))
        key = l['BMOIS'] + l['BJAL'].ljust(3) + source
        months[key][side] += f
        months[key][2 + side] += e
        accounts[l['BCODE']][side] += f
        accounts[l['BCODE']][2 + side] += e
        general[identity + (l['BCODE'],)] = (sense, f, e)
        continue
    axis = 1 if kind in 'VW' else 2
    identity += (l['BCG'], axis)
    if kind in 'VX':
        if identity in copies or l['BNUMA'].strip() or l['BCODE'].strip():
            fault('line %d: a second or filled analytic header %r' % (n, identity))
        copies[identity] = (sense, f, e)
    else:
        analytic_lines += 1
        sign = 1 if sense == 'D' else -1
        splits[identity][0] += sign * f
        splits[identity][1] += sign * e
        sections[l['BCODE']][side] += f
        sections[l['BCODE']][2 + side] += e

def check_sort_records():
    """One sort record per line of C50 ("B") and of C40 ("C"), pointing back at it, with its key
    fields and its cancel mark."""
    count = 0
    seen = set()
    for r, t, cancelled in physical('c60'):
        count += 1
        n = int(t['TREC'] or 0)
        keys = sort_keys.get(t['TFIC'])
        if keys is None or n < 1 or n > len(keys) or (t['TFIC'], n) in seen:
            fault('sort record %d %r points nowhere or twice' % (r, t))
            continue
        seen.add((t['TFIC'], n))
        key = '|'.join([t[sort] for sort, _ in SORT_RECORD_COPIES] + ['*' if cancelled else ' '])
        if key != keys[n - 1]:
            fault('sort record of line %s%d: %s, line %s' % (t['TFIC'], n, key, keys[n - 1]))
    lines = len(sort_keys['B']) + len(sort_keys['C'])
    if count != lines:
        fault('%d sort records for %d lines' % (count, lines))


def check_analytic_places():
    """Every live analytic record stands under a live general line of its place (file, month,
    journal, piece, line number) on the account it splits: not under a cancelled one, nor one that
    now stands on another account."""
    for source, n, place, account in live_analytic:
        lines = places.get(place, [])
        if any(live and code == account for _, code, live in lines):
            continue
        live = [(m, code) for m, code, alive in lines if alive]
        cancelled = [m for m, _, alive in lines if not alive]
        if live:
            fault('analytic line %s%d of account %s: its general line %s%d is on account %s' % (
                source, n, account, source, live[0][0], live[0][1]))
        elif cancelled:
            fault('analytic line %s%d is live under the cancelled general line %s%d' % (source, n, source, cancelled[0]))
        else:
            fault('analytic line %s%d has no general line %r' % (source, n, place))


def account_of(text):
    """An account as the lines hold it: trimmed, cut to 8, filled with blanks after a letter and
    with "0" after a digit; "" when blank."""
    text = text.strip()[:8]
    return text.ljust(8, ' ' if text[:1] >= 'A' else '0') if text else ''


# Journal-months against their headers; the collectives, a cancelled one collecting too (the
# first record of a letter).
headers = {}
collectives = {}
for _, r, cancelled in physical('c10'):
    if r['GCLE'] == 'C' and not cancelled:
        if r['GCODE'][7:8] not in ('B', 'C'):
            fault('header %s is neither a draft nor a closed header' % r['GCODE'])
        z4, z5 = r['GZONE1'].ljust(28), r['GZONE2'].ljust(28)
        headers[r['GCODE'][:8]] = [text_cents(z4[:14]), text_cents(z4[14:28]), text_cents(z5[:14]), text_cents(z5[14:28])]
    elif r['GCLE'] == 'B':
        collectives.setdefault(r['GCODE'][:1], account_of((r['GZONE1'] or '')[:8]))
for key, sums in months.items():
    if not invariants_only and (sums[2] != sums[3] or (not euro_only and sums[0] != sums[1])):
        fault('journal-month %s does not balance: %r' % (key, sums))
    if headers.get(key, [0, 0, 0, 0] if invariants_only else None) != sums:
        fault('journal-month %s: header %r, lines %r' % (key, headers.get(key), sums))
for key in headers:
    if key not in months and (not invariants_only or headers[key] != [0, 0, 0, 0]):
        fault('header %s has no line' % key)

# Accounts, with the analytic splits of the accounts that carry them.
c20 = list(table('c20'))
split_accounts = {a['CCODE'] for a in c20 if a['CANALYT'] == 'O'}
if split_accounts and not axes:
    fault('accounts are marked analytic in a dossier without sections')
for identity, (sense, f, e) in general.items():
    if identity[4] not in split_accounts:
        continue
    sign = 1 if sense == 'D' else -1
    for axis in range(1, axes + 1):
        key = identity[:4] + (identity[4], axis)
        if copies.get(key) != (sense, f, e):
            fault('line %r: analytic header %r on axis %d' % (identity, copies.get(key), axis))
        got = splits.get(key, [0, 0])
        if got[1] != sign * e or (not euro_only and got[0] != sign * f):
            fault('line %r: split %r on axis %d' % (identity, got, axis))
for key in list(copies) + list(splits):
    if key[:5] not in general or key[4] not in split_accounts:
        fault('analytic records %r belong to no line of an analytic account' % (key,))

# Sections.
c30 = list(table('c30'))
section_codes = set()
for s in c30:
    section_codes.add(s['ACODE'])
    got = [cents(s['ADEBITF']), cents(s['ACREDITF']), cents(s['ADEBITE']), cents(s['ACREDITE'])]
    want = sections.get(s['ACODE'], [0, 0, 0, 0])
    if got != want:
        fault('section %s: totals %r, lines %r' % (s['ACODE'], got, want))
for code_ in sections:
    if code_ not in section_codes and not (invariants_only and sections[code_] == [0, 0, 0, 0]):
        fault('section %r of the lines is not in C30' % code_)

# The default splits in the texts of the analytic accounts: per axis, sections of C30 whose parts make 100 %.
if not invariants_only and axes:
    tag = re.compile(r'CA([12])=([^\r\n%]*)(?:%=\s*([0-9.,]+))?')
    for a in c20:
        if a['CANALYT'] != 'O':
            continue
        memo = a['CTEXTE'] or ''
        parts = defaultdict(float)
        for m in tag.finditer(memo[:memo.rfind('\r\n') + 2]):
            section = m.group(2).strip()
            if section not in section_codes:
                fault('account %s: section %r of its text is not in C30' % (a['CCODE'], section))
            parts[int(m.group(1))] += float((m.group(3) or '100').replace(',', '.'))
        if sorted(parts) != list(range(1, axes + 1)) or any(abs(p - 100) > 1e-9 for p in parts.values()):
            fault('account %s: default split %r' % (a['CCODE'], dict(parts)))

check_sort_records()

if invariants_only:
    check_analytic_places()

# Account totals.
totals = dict(accounts)
for acc, sums in accounts.items():
    if 'A' <= acc[:1] <= 'Z':
        if acc[:1] not in collectives:
            fault('account %s: no collective %s' % (acc, acc[:1]))
            continue
        coll = collectives[acc[:1]]
        if not coll:
            continue
        c = totals.setdefault(coll, [0, 0, 0, 0])
        totals[coll] = [x + y for x, y in zip(c, sums)]
codes = set()
for a in c20:
    codes.add(a['CCODE'])
    got = [cents(a['CDEBITF']), cents(a['CCREDITF']), cents(a['CDEBITE']), cents(a['CCREDITE'])]
    want = totals.get(a['CCODE'], [0, 0, 0, 0])
    if got != want:
        fault('account %s: totals %r, lines %r' % (a['CCODE'], got, want))
for acc in totals:
    if acc not in codes and not (invariants_only and totals[acc] == [0, 0, 0, 0]):
        fault('account %s of the lines is not in C20' % acc)

# The code lists of the general file. Character fields come back right-trimmed: each packed
# field is padded again to its 254 characters before it is cut.
chart = {a['CCODE'] for a in c20}
lists = defaultdict(dict)
for r in table('c10'):
    if r['GCLE'] in 'QBTEJLMV':
        lists[r['GCLE']][r['GCODE']] = r


def zone(r, field):
    # Fields 4 and 5 are GZONE1 and GZONE2.
    return (r['GZONE%d' % (field - 3)] or '').ljust(254)


RIB_LETTERS = {c: str(v) for v, letters in enumerate(('', 'AJ', 'BKS', 'CLT', 'DMU', 'ENV', 'FOW', 'GPX', 'HQY', 'IRZ'))
               for c in letters}


def account_known(code):
    return code in chart


def check_rib(what, bank, branch, account, key, iban, bic):
    # The RIB's key, the IBAN made of it and the BIC of a bank or of an account's domiciliation.
    if not (bank.isdigit() and branch.isdigit() and key.isdigit()
            and all(c.isdigit() or c in RIB_LETTERS for c in account)):
        fault('%s: RIB %r %r %r %r' % (what, bank, branch, account, key))
    else:
        number = int(''.join(RIB_LETTERS.get(c, c) for c in account))
        right = 97 - ((89 * int(bank) + 15 * int(branch) + 3 * number) % 97)
        if int(key) != right:
            fault('%s: RIB key %s, %02d expected' % (what, key, right))
    try:
        stdnum.iban.validate(iban)
        if iban[:2] == 'FR' and iban[4:] != bank + branch + account + key:
            fault('%s: IBAN %s is not FR + check digits + RIB' % (what, iban))
    except Exception as e:
        fault('%s: IBAN %r: %s' % (what, iban, e))
    if not stdnum.bic.is_valid(bic):
        fault('%s: BIC %r' % (what, bic))


for code_, r in lists['Q'].items():
    z4, z5 = zone(r, 4), zone(r, 5)
    check_rib('bank %s' % code_, z4[186:191], z4[191:196], z4[196:207], z4[207:209], z5[0:34].strip(),
              z5[34:45].strip())
    if z4[209] not in 'ON' or not account_known(z5[45:53]) or z5[53:56].rstrip() not in lists['J']:
        fault('bank %s: separator %r, account %r or journal %r' % (code_, z4[209], z5[45:53], z5[53:56]))
if 'BQ01' not in lists['Q']:
    made('no bank coded BQ01')

for code_, r in lists['B'].items():
    if len(code_) != 1 or not code_.isupper() or zone(r, 4)[0] not in '12345678' or not account_known(zone(r, 4)[:8]):
        fault('collective %r: account %r' % (code_, zone(r, 4)[:8]))

for code_, r in lists['T'].items():
    z4 = zone(r, 4)
    if not re.fullmatch(r' *\d+(\.\d+)?', z4[:5]) or not account_known(z4[5:13]) or not account_known(z4[13:21]):
        fault('VAT code %r: rate %r, accounts %r %r' % (code_, z4[:5], z4[5:13], z4[13:21]))

for code_, r in lists['E'].items():
    z4 = zone(r, 4)
    if len(code_) != 4 or ' ' in code_ or not z4[60:65].isdigit():
        fault('establishment %r: code or postal code %r' % (code_, z4[60:65]))
    elif code_.isdigit() and not luhn(siren + code_ + z4[90]):
        fault('establishment %s: SIRET key %r' % (code_, z4[90]))

counted = 0
for code_, r in lists['J'].items():
    z4 = zone(r, 4)
    counterpart, label, model, counter = z4[1:9], z4[9], z4[10:18].rstrip(), z4[18:24]
    if (z4[0] not in 'AVTO' or not (counterpart.isspace() or account_known(counterpart))
            or not (label == ' ' or label in lists['L'] or invariants_only) or not (model == '' or model in lists['M'])
            or not (counter.isspace() or counter.isdigit()) or z4[24] not in 'ON '):
        fault('journal %r: %r' % (code_, z4[:25]))
    elif counter.isdigit() and not counterpart.isspace() and label != ' ' and model:
        counted += 1
if not counted:
    made('no journal with its own piece counter, a counterpart, a default label and a model')

label_types = set()
for code_, r in lists['L'].items():
    label_types.add(zone(r, 4)[7])
if label_types != set('012345678'):
    made('label types %r' % ''.join(sorted(label_types)))

KEYWORD = re.compile(r'(CC|CP|CL|LI|DC|MO)=', re.IGNORECASE)
model_lines = 0
for code_, r in lists['M'].items():
    # The memo reader keeps a few bytes of the block after the text: the text ends at its last
    # line break.
    memo = r['GTEXTE'] or ''
    for line in memo[:memo.rfind('\r\n') + 2].split('\r\n')[:-1]:
        found = list(KEYWORD.finditer(line))
        if not found:
            fault('model %s: line %r has no keyword' % (code_, line))
        for i, m in enumerate(found):
            value = line[m.end():found[i + 1].start() if i + 1 < len(found) else len(line)].strip()
            word = m.group(1).upper()
            if ((word in ('CC', 'CP') and not account_known(value)) or (word == 'CL' and value not in lists['L'])
                    or (word == 'DC' and value.upper() not in ('D', 'C'))
                    or (word == 'MO' and value.upper() != 'SOLDE' and not re.fullmatch(r'\d+(\.\d+)?', value))):
                fault('model %s: %s=%r' % (code_, word, value))
        model_lines += 1
if not model_lines:
    made('no entry model has lines')

for code_, r in lists['V'].items():
    account = zone(r, 4)[:8]
    if not (1 <= len(code_) <= 2 and ' ' not in code_ and (code_[0].isdigit() or code_[0].isupper())
            and (account == '00000000' or account_known(account))):
        fault('distribution code %r: account %r' % (code_, account))



def amount(value):
    return cents(value or 0)


def converted(what, record, francs, euros):
    # A pair typed in the main currency: the other member is its conversion at the rate, rounded to the cent.
    f, e = amount(record[francs]), amount(record[euros])
    if franc_main:
        right = e == rounded(Decimal(f) / RATE)
    else:
        right = f == rounded(Decimal(e) * RATE)
    if not right:
        made('%s: %s %s and %s %s do not convert' % (what, francs, f, euros, e))


# The chart of accounts beside its totals. Its counterparts and marks are the generator's: the
# program's commands make accounts without them (the totals' writers, a merge, a rebuild) and give a
# letter whose collective went another one.
collective_accounts = collectives
for a in c20:
    code_ = a['CCODE']
    what = 'account %s' % code_
    auxiliary = code_[:1].isalpha()
    if auxiliary and a['CCTRP'] != collective_accounts.get(code_[:1]):
        made('%s: counterpart %r, the collective of %s is %r' % (what, a['CCTRP'], code_[:1],
                                                                collective_accounts.get(code_[:1])))
    if not auxiliary and a['CCTRP'].strip():
        made('%s: a general account with the counterpart %r' % (what, a['CCTRP']))
    if a['CETS'].strip():
        if not auxiliary and not any(code_.startswith(p) for p in ('43', '512', '514', '515', '58')):
            made('%s: a domiciliation on an account that shows none' % what)
        check_rib(what, a['CETS'], a['CGUICHET'], a['CCOMPTE'].ljust(11), a['CCLERIB'], a['CIBAN'].strip(),
                  a['CBIC'].strip())
    if not auxiliary:
        if a['CSOLDEBIL'] not in ('O', 'N'):
            made('%s: balance-sheet mark %r' % (what, a['CSOLDEBIL']))
        want = ('O' if code_[:1] in '67' and code_ not in ROUNDING_ACCOUNTS.values() else 'N') if axes else ''
        if a['CANALYT'] != want:
            made('%s: analytic mark %r, %r expected' % (what, a['CANALYT'], want))
    for francs, euros in (('CDEBNM1F', 'CDEBNM1E'), ('CCRENM1F', 'CCRENM1E'), ('CBUDGETF', 'CBUDGETE')):
        converted(what, a, francs, euros)

# The previous year balances in both currencies, as a closed year does.
for debit, credit in (('CDEBNM1F', 'CCRENM1F'), ('CDEBNM1E', 'CCRENM1E')):
    previous = sum(amount(a[debit]) - amount(a[credit]) for a in c20)
    if previous != 0:
        made('the previous year of the chart does not balance: %s - %s = %d cents' % (debit, credit, previous))

# The sections.
for s in c30:
    if not s['ACODE'].strip() or not s['ALIB'].strip():
        fault('section %r: code or name blank' % s['ACODE'])
    for francs, euros in (('ADEBNM1F', 'ADEBNM1E'), ('ACRENM1F', 'ACRENM1E'), ('ABUDGETF', 'ABUDGETE')):
        converted('section %s' % s['ACODE'], s, francs, euros)
if len(section_codes) != len(c30):
    fault('%d sections for %d codes' % (len(c30), len(section_codes)))

# The supplier payments by credit transfer: label "V" marks pieces of the treasury journal BQ that pay a
# supplier whose IBAN (python3-stdnum) and BIC are valid, both lines of each.
if not invariants_only:
    if 'V' not in lists['L']:
        fault('no label V for the payments by transfer')
    iban_of = {a['CCODE']: ((a['CIBAN'] or '').strip(), (a['CBIC'] or '').strip()) for a in c20}
    transfers = 0
    for n, l, cancelled in physical('c50'):
        if cancelled or l['BCLE'] != 'Z' or l['BCLIB'] != 'V':
            continue
        if l['BJAL'].strip() != 'BQ':
            fault('line %d: label V outside the treasury journal' % n)
        elif l['BSENS'] == 'D':
            transfers += 1
            iban, bic = iban_of.get(l['BCODE'], ('', ''))
            if not l['BCODE'].startswith('F') or not stdnum.iban.is_valid(iban) or not stdnum.bic.is_valid(bic):
                fault('line %d: transfer to %r without a valid IBAN %r or BIC %r' % (n, l['BCODE'], iban, bic))
    if sort_keys['B'] and len(sort_keys['B']) >= 2000 and not transfers:
        fault('no payment by transfer in the treasury journal')

# The dunning and payment runs: constant 043 names the bank of the supplier payments (three characters, the
# first bank code they begin with: BQ01); the open customer invoices of the last three months have due dates on
# both sides of each ageing limit of a schedule made at the year's last day (the ends of the three months after).
if not invariants_only:
    constant_043 = at(536 + 3 * 43, 3).rstrip()
    named = sorted(c for c in lists['Q'] if constant_043 and c.startswith(constant_043))
    if not named or named[0] != 'BQ01':
        fault('constant 043 %r names no bank BQ01' % constant_043)

    def month_end_after(yyyymmdd, months):
        index = int(yyyymmdd[:4]) * 12 + int(yyyymmdd[4:6]) - 1 + months
        year, month = index // 12, index % 12 + 1
        days = [31, 29 if year % 4 == 0 and (year % 100 != 0 or year % 400 == 0) else 28, 31, 30, 31, 30, 31, 31,
                30, 31, 30, 31][month - 1]
        return '%04d%02d%02d' % (year, month, days)

    ageing_limits = [month_end_after(last_day, m) for m in (1, 2, 3)]
    last_months = sorted({l['BMOIS'] for _, l, cancelled in physical('c50') if not cancelled})[-3:]
    open_dues = ['%04d%s' % (year_of(l['BECHEANCE']), l['BECHEANCE'][2:])
                 for _, l, cancelled in physical('c50')
                 if not cancelled and l['BCLE'] == 'Z' and l['BJAL'].strip() == 'VE' and l['BCODE'].startswith('C')
                 and l['BSENS'] == 'D' and l['BECHEANCE'].strip() and not l['BLET'].strip()
                 and not l['BLETE'].strip() and l['BMOIS'] in last_months]
    if len(open_dues) >= 8:
        for limit in ageing_limits:
            if not any(d <= limit for d in open_dues) or not any(d > limit for d in open_dues):
                fault('no open invoice due on each side of the ageing limit %s: %r' % (limit, sorted(open_dues)))
            if limit not in open_dues:
                fault('no open invoice due on the ageing limit %s itself' % limit)

# The return on receipts: a customer payment of BQ that settles an invoice (same account and euro letter)
# carries that invoice's VAT mark, on its line and on its sort record (with matched invoices, some are marked).
if not invariants_only:
    invoice_mark = {}
    by_piece = defaultdict(list)
    for _, l, cancelled in physical('c50'):
        if not cancelled and l['BCLE'] == 'Z' and l['BJAL'].strip() == 'VE':
            by_piece[(l['BMOIS'], l['BPIECE'])].append(l)
    for piece_lines in by_piece.values():
        marks = [l['BTVA'] for l in piece_lines if l['BTVA'].strip()]
        for l in piece_lines:
            if marks and l['BCODE'].startswith('C') and l['BLETE'].strip():
                invoice_mark.setdefault((l['BCODE'], l['BLETE']), (marks[0], l['BMOIS']))
    sort_mark = {int(t['TREC'] or 0): t['TTVA'] for _, t, cancelled in physical('c60')
                 if not cancelled and t['TFIC'] == 'B' and t['TCLE'] == 'Z'}
    marked_receipts = later = 0
    for n, l, cancelled in physical('c50'):
        if cancelled or l['BCLE'] != 'Z' or l['BJAL'].strip() != 'BQ' or not l['BCODE'].startswith('C') \
                or l['BSENS'] != 'C':
            continue
        expected = invoice_mark.get((l['BCODE'], l['BLETE']))
        if expected and l['BTVA'] != expected[0]:
            fault('line %d: payment of an invoice marked %r carries %r' % (n, expected[0], l['BTVA']))
        if sort_mark.get(n, l['BTVA']) != l['BTVA']:
            fault('line %d: VAT mark %r, sort record %r' % (n, l['BTVA'], sort_mark.get(n)))
        if expected:
            marked_receipts += 1
            later += l['BMOIS'] > expected[1]
    if invoice_mark and len(sort_keys['B']) >= 2000 and not marked_receipts:
        fault('%d customer payments with a VAT mark, %d in a month after their invoice' % (marked_receipts, later))

# The VAT detail (a dossier whose chart holds 44567000, the credit carried): under every VAT code, live lines
# on 4452*, 44562*, the other 4456* and 4457*; in each piece, a marked VAT line is its code's rate of the
# piece's marked lines off the 445 accounts (in the currency the piece was typed in); the customer payments of
# BQ carry VAT codes, and under every code some pay an invoice of the same customer, amount and mark booked the
# month before;
# the credit carried lies on the debit side of 44567 without a mark.
if not invariants_only and '44567000' in chart:
    rates = {c: Decimal(zone(r, 4)[:5].strip() or '0') for c, r in lists['T'].items()}
    families = (('4452', lambda a: a.startswith('4452')), ('44562', lambda a: a.startswith('44562')),
                ('4456', lambda a: a.startswith('4456') and a[:5] not in ('44562', '44567')),
                ('4457', lambda a: a.startswith('4457')))
    under = defaultdict(set)
    by_piece = defaultdict(list)
    invoices = defaultdict(set)  # (account, amount in euros, mark) -> months
    payments = []
    credits = 0
    for source, n, l, cancelled in all_lines():
        if cancelled or l['BCLE'] != 'Z':
            continue
        account, mark = l['BCODE'], l['BTVA'].strip()
        for name, belongs in families:
            if mark and belongs(account):
                under[mark].add(name)
        if mark:
            by_piece[(source, l['BMOIS'], l['BJAL'], l['BPIECE'], mark)].append(l)
        if account.startswith('44567'):
            credits += 1
            if l['BSENS'] != 'D' or mark:
                fault('line %s%d: the credit on %s is %r with the mark %r' % (source, n, account, l['BSENS'], mark))
        journal = l['BJAL'].strip()
        if journal == 'VE' and account.startswith('C') and l['BSENS'] == 'D':
            invoices[account].add((cents(l['BMONTANTE']), l['BMOIS']))
        if journal == 'BQ' and account.startswith('C') and l['BSENS'] == 'C' and mark:
            payments.append((source, n, l))
    for (source, month, journal, piece, mark), piece_lines in by_piece.items():
        vat_lines = [l for l in piece_lines if l['BCODE'].startswith('445')]
        if mark not in rates or not vat_lines:
            continue
        field = 'BMONTANTF' if piece_lines[0]['BEURO'] == 'N' else 'BMONTANTE'
        net = sum(cents(l[field]) for l in piece_lines if not l['BCODE'].startswith('445'))
        want = rounded(Decimal(net) * rates[mark] / 100)
        for l in vat_lines:
            if cents(l[field]) != want:
                fault('piece %s %s: VAT %s under the code %s, %s at %s %% of %s' % (
                    journal, piece, cents(l[field]), mark, want, rates[mark], net))
    if len(sort_keys['B']) + len(sort_keys['C']) >= 2000:
        for mark in rates:
            missing = [name for name, _ in families if name not in under[mark]]
            if missing:
                fault('no line under the VAT code %s on %s' % (mark, ', '.join(missing)))
        if not credits:
            fault('no credit carried on 44567')

    def month_after(key):
        year, month = year_of(key), int(key[2:4])
        return (year + month // 12, month % 12 + 1)

    later = defaultdict(int)
    for source, n, l in payments:
        mark = l['BTVA'].strip()
        if mark not in rates:
            fault('line %s%d: a payment with the VAT mark %r, no such code' % (source, n, mark))
        paid = (year_of(l['BMOIS']), int(l['BMOIS'][2:4]))
        later[mark] += any(month_after(m) == paid
                           for amount, m in invoices[l['BCODE']] if amount == cents(l['BMONTANTE']))
    if len(sort_keys['B']) + len(sort_keys['C']) >= 2000:
        for mark in rates:
            if not later[mark]:
                fault('%d marked customer payments, none under the code %s in the month after its invoice' % (
                    len(payments), mark))

code_counts = ','.join('%s%d' % (k, len(lists[k])) for k in 'QBTEJLMV')


def check_closed_months():
    """The closed file as the validation leaves it: every closed line dated by its validation (a
    real day, not before the line), one sort record filed "C" per closed line, each closed
    journal-month balanced and equal to its header under the closed code; the lines of the
    journal of constant 037 (the opening entry) are closed."""
    closed = [(n, closed_line(d)) for n, d, cancelled in physical('c40') if not cancelled] if exists('c40') else []
    filed = sum(1 for _, t, cancelled in physical('c60') if t['TFIC'] == 'C')
    if filed != len(sort_keys['C']):
        fault('%d sort records filed "C" for %d closed lines' % (filed, len(sort_keys['C'])))
    closed_months = {key: sums for key, sums in months.items() if key.endswith('C')}
    for key, sums in closed_months.items():
        if sums[2] != sums[3] or (not euro_only and sums[0] != sums[1]):
            fault('closed journal-month %s does not balance: %r' % (key, sums))
        if headers.get(key) != sums:
            fault('closed journal-month %s: header %r, lines %r' % (key, headers.get(key), sums))
    opening_journal = constant_037 = at(536 + 3 * 37, 3)
    opening = False
    for n, l in closed:
        valid = l.get('BVALID', '')
        line_date = '%04d%s%s' % (year_of(l['BMOIS']), l['BMOIS'][2:], l['BJOUR'])
        if len(valid) != 6 or not valid[2:4].isdigit() or '%04d%s' % (year_of(valid), valid[2:]) < line_date:
            fault('closed line %d: validation date %r for a line of %s' % (n, valid, line_date))
        if l['BJAL'].ljust(3) == opening_journal and line_date == first_day:
            opening = True
    if opening and opening_journal.rstrip() not in lists['J']:
        fault('the journal of the opening entry %r is not in C10' % opening_journal)
    for source, n, l, cancelled in all_lines():
        if not cancelled and l['BJAL'].ljust(3) == opening_journal and source != 'C':
            fault('line %s%d of the opening journal %r is not closed' % (source, n, opening_journal))
    return len(closed_months)


BANK_PREFIXES = '-512-514-515-516-517-518-519-530-531-532-533-'.strip('-').split('-')


def check_matchings():
    """The letters of every line are those of its sort record, and the lines of an account matched
    under one letter balance in that letter's currency (in francs too unless the dossier is in
    euros only)."""
    sort_letters = {}
    for _, t, cancelled in physical('c60'):
        if not cancelled:
            sort_letters[(t['TFIC'], int(t['TREC'] or 0))] = (t['TLET'], t['TLETE'])
    balances = defaultdict(int)
    matched = 0
    for source, n, l, cancelled in all_lines():
        if cancelled:
            continue
        letters = (l['BLET'], l['BLETE'])
        if sort_letters.get((source, n), letters) != letters:
            fault('line %s%d: letters %r, sort record %r' % (source, n, letters, sort_letters.get((source, n))))
        sign = 1 if l['BSENS'] == 'D' else -1
        for currency, letter, amount in (('F', l['BLET'], l['BMONTANTF']), ('E', l['BLETE'], l['BMONTANTE'])):
            if letter.strip():
                balances[(l['BCODE'], currency, letter)] += sign * cents(amount)
                matched += 1
    statement_months = defaultdict(set)
    for source, n, l, cancelled in all_lines():
        if cancelled or l['BCODE'][:3] not in BANK_PREFIXES:
            continue
        other = l['BLETE'] if franc_main else l['BLET']
        if other.strip():
            fault('line %s%d of bank account %s: a letter in the other currency %r' % (source, n, l['BCODE'], other))
        main = l['BLET'] if franc_main else l['BLETE']
        if main.strip():
            statement_months[(l['BCODE'], main)].add(l['BMOIS'])
    for (account, letter), months in statement_months.items():
        if len(months) > 1:
            fault('account %s: the statement %s covers the months %r' % (account, letter, sorted(months)))
    for (account, currency, letter), balance in balances.items():
        if account[:3] in BANK_PREFIXES:
            continue
        if balance and (currency == 'E' or not euro_only):
            fault('account %s: the lines matched %s in %s leave %d' % (account, letter, currency, balance))
    return matched


if not invariants_only:
    closed_month_count = check_closed_months()
    check_matchings()

if faults:
    print('\n'.join(faults))
    sys.exit(1)
print('OK %d %d %d %d %d %d %s %s %s' % (len(sort_keys['B']) + len(sort_keys['C']), len(pieces), len(headers), len(c20), len(c30), analytic_lines,
                                         code_counts, currency, mode))
