# A validator of the statutory entries file, written apart from the writer: the rules of the
# administration's checker (name, header, separator, 18 zones, mandatory zones, dates, amounts,
# pairs of zones, character set, line ends) and those of continuity and chronology (entries
# contiguous, balanced, in one journal, with one date and one validation date; EcritureNum
# continuous; validation dates in order after the opening entries, which come first).
# Arguments: path opening-journal. Prints "OK rows debit credit" or one line per fault.
import re, sys, os, datetime

path, opening = sys.argv[1], sys.argv[2]
faults = []
name = os.path.basename(path)
m = re.fullmatch(r'(\d{9})FEC(\d{8})\.txt', name)
if not m:
    faults.append('name ' + name)
else:
    digits = [int(c) for c in m.group(1)]
    total = sum(d if i % 2 == 0 else (d * 2 - 9 if d * 2 > 9 else d * 2) for i, d in enumerate(reversed(digits)))
    if total % 10 != 0:
        faults.append('siren key')
data = open(path, 'rb').read()
if not data.endswith(b'\r\n'):
    faults.append('last line end')
text = data.decode('iso-8859-15')
lines = text.split('\r\n')[:-1]
if any('\n' in l or '\r' in l for l in lines):
    faults.append('bare line end')
names = ['JournalCode', 'JournalLib', 'EcritureNum', 'EcritureDate', 'CompteNum', 'CompteLib', 'CompAuxNum',
         'CompAuxLib', 'PieceRef', 'PieceDate', 'EcritureLib', 'Debit', 'Credit', 'EcritureLet', 'DateLet',
         'ValidDate', 'Montantdevise', 'Idevise']
if not lines or lines[0].split('\t') != names:
    faults.append('header')
mandatory = ['JournalCode', 'JournalLib', 'EcritureNum', 'EcritureDate', 'CompteNum', 'CompteLib', 'PieceRef',
             'PieceDate', 'EcritureLib', 'Debit', 'Credit', 'ValidDate']
def date_ok(s):
    try:
        datetime.datetime.strptime(s, '%Y%m%d')
        return len(s) == 8
    except ValueError:
        return False
def cents(s):
    return int(s.replace(',', ''))
rows = []
for n, line in enumerate(lines[1:], 2):
    if line == '':
        faults.append('empty line %d' % n)
        continue
    z = line.split('\t')
    if len(z) != 18:
        faults.append('zones %d: %d' % (n, len(z)))
        continue
    r = dict(zip(names, z))
    for k, v in r.items():
        if v != v.strip(' '):
            faults.append('blanks around %s line %d' % (k, n))
        if '|' in v or any(ord(c) < 32 for c in v):
            faults.append('character in %s line %d' % (k, n))
        if v.startswith('"'):
            faults.append('quotes line %d' % n)
    for k in mandatory:
        if r[k] == '':
            faults.append('empty %s line %d' % (k, n))
    for k in ('EcritureDate', 'PieceDate', 'ValidDate'):
        if not date_ok(r[k]):
            faults.append('date %s line %d: %s' % (k, n, r[k]))
    if r['DateLet'] and not date_ok(r['DateLet']):
        faults.append('DateLet line %d' % n)
    for k in ('Debit', 'Credit'):
        if not re.fullmatch(r'\d+,\d{2}', r[k]):
            faults.append('amount %s line %d: %s' % (k, n, r[k]))
    if re.fullmatch(r'\d+,\d{2}', r['Debit']) and re.fullmatch(r'\d+,\d{2}', r['Credit']):
        if cents(r['Debit']) and cents(r['Credit']):
            faults.append('two sides line %d' % n)
    for a, b in (('CompAuxNum', 'CompAuxLib'), ('EcritureLet', 'DateLet'), ('Montantdevise', 'Idevise')):
        if (r[a] == '') != (r[b] == ''):
            faults.append('pair %s/%s line %d' % (a, b, n))
    if not r['EcritureNum'].isdigit():
        faults.append('EcritureNum line %d' % n)
    rows.append(r)
# Entries: contiguous, numbered 1, 2, 3 ..., balanced, one journal, one date, one validation date.
seen = []
for r in rows:
    num = int(r['EcritureNum']) if r['EcritureNum'].isdigit() else -1
    if not seen or seen[-1][0] != num:
        if any(s[0] == num for s in seen):
            faults.append('entry %d not contiguous' % num)
        seen.append([num, []])
    seen[-1][1].append(r)
if [s[0] for s in seen] != list(range(1, len(seen) + 1)):
    faults.append('EcritureNum not continuous')
last_valid = ''
opening_done = False
for num, rs in seen:
    if len({r['JournalCode'] for r in rs}) != 1:
        faults.append('entry %d journals' % num)
    if len({r['EcritureDate'] for r in rs}) != 1:
        faults.append('entry %d dates' % num)
    if len({r['ValidDate'] for r in rs}) != 1:
        faults.append('entry %d validation dates' % num)
    if sum(cents(r['Debit']) for r in rs) != sum(cents(r['Credit']) for r in rs):
        faults.append('entry %d unbalanced' % num)
    if rs[0]['JournalCode'] == opening:
        if opening_done:
            faults.append('opening entry %d after others' % num)
        continue
    opening_done = True
    if rs[0]['ValidDate'] < last_valid:
        faults.append('entry %d validated before the previous' % num)
    last_valid = rs[0]['ValidDate']
if faults:
    print('\n'.join(faults))
else:
    print('OK', len(rows), sum(cents(r['Debit']) for r in rows), sum(cents(r['Credit']) for r in rows))
