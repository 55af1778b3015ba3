# An independent computation of trial-balance lines, straight from the tables read by dbfread.
# Arguments: folder kind start end prior(O/N) lettering currency(0/1) orphans(O/N) l30 l60 l90 [dossier code, "bal"]
# Prints one line per printed account: code debit credit cad cac aed aec m1..m12 a1..a4 prev
import sys
from dbfread import DBF

folder, kind, start, end, prior, lettering, cur, orphans, l30, l60, l90 = sys.argv[1:12]
dossier = sys.argv[12] if len(sys.argv) > 12 else 'bal'
cur = int(cur)
prior = prior == 'O'
def table(name):
    return list(DBF(folder + name + dossier + '.dbf', encoding='cp1252', char_decode_errors='replace'))
c10, c20, c40, c50, c60 = (table(n) for n in ('c10', 'c20', 'c40', 'c50', 'c60'))

def cents(x):
    return int(round(float(x or 0) * 100))

collective = {}
excluded = set()
for r in c10:
    if r['GCLE'] == 'B' and r['GZONE1'][:8].strip():
        collective[r['GZONE1'][:8].ljust(8)] = r['GCODE'][0]
    if r['GCLE'] == 'J' and len(r['GZONE1']) >= 25 and r['GZONE1'][24] == 'N':
        excluded.add(r['GCODE'][:3].ljust(3))

month_col = {}
m = int(start[2:4])
for col in range(1, 13):
    month_col[m] = col
    m = 1 if m == 12 else m + 1

def line_of(s):
    rec = int(s['TREC'] or 0)
    lines = c50 if s['TFIC'].startswith('B') else c40
    if rec < 1 or rec > len(lines):
        return None
    l = lines[rec - 1]
    p = 'B' if s['TFIC'].startswith('B') else 'D'
    return {
        'sense': l[p + 'SENS'],
        'f': cents(l[p + 'MONTANTF']), 'e': cents(l[p + 'MONTANTE']),
        'jal': l[p + 'JAL'].ljust(3), 'month': l[p + 'MOIS'], 'due': l[p + 'ECHEANCE'].strip(),
    }

general = sorted([s for s in c60 if s['TCLE'] == 'Z'], key=lambda s: (s['TCODE'].ljust(8), s['TMOIS'] + s['TJOUR']))
exempt = '-512-514-515-516-517-518-519-530-531-532-533-'
def orphan_letters(code):
    out = set()
    if orphans != 'O' or ('-' + code[:3] + '-') in exempt:
        return out
    for s in general:
        if s['TCODE'].ljust(8) != code:
            continue
        letter = (s['TLETE'] if cur else s['TLET']).ljust(4)
        if not letter.strip():
            continue
        d = s['TMOIS'] + s['TJOUR']
        if (d < start and not prior) or d > end:
            out.add(letter)
    return out

defaults = {'1': ('0', '9ZZZZZZZ'), '2': ('6', '9ZZZZZZZ')}
lo, hi = defaults.get(kind, (kind, kind + 'ZZZZZZZ'))
lo, hi = lo.ljust(8), hi.ljust(8)
for a in sorted(c20, key=lambda r: r['CCODE'].ljust(8)):
    code = a['CCODE'].ljust(8)
    if code < lo or code > hi:
        continue
    key = collective.get(code, code)
    pd = cents(a['CDEBNM1E'] if cur else a['CDEBNM1F'])
    pc = cents(a['CCRENM1E'] if cur else a['CCRENM1F'])
    keep = pd != 0 or pc != 0
    v = dict(debit=0, credit=0, cad=0, cac=0, aed=0, aec=0)
    months = [0] * 12
    ages = [0] * 4
    for s in general:
        if not s['TCODE'].ljust(8).startswith(key):
            continue
        d = s['TMOIS'] + s['TJOUR']
        if not prior and (d < start or d > end):
            continue
        l = line_of(s)
        if l is None:
            continue
        amount = l['e'] if cur else l['f']
        if amount == 0 or d > end:
            continue
        debit = l['sense'] == 'D'
        if d < start:
            keep = True
            v['cad' if debit else 'cac'] += amount
            continue
        letter = (s['TLETE'] if cur else s['TLET']).ljust(4)
        unlettered = not letter.strip() or letter in orphan_letters(s['TCODE'].ljust(8))
        accepted = lettering == '1' or (lettering in '24' and unlettered) or (lettering in '35' and not unlettered)
        if not accepted:
            if lettering in '45':
                keep = True
                v['aed' if debit else 'aec'] += amount
            continue
        keep = True
        sign = 1 if debit else -1
        v['debit' if debit else 'credit'] += amount
        if l['jal'] not in excluded:
            mm = int(l['month'][2:4]) if l['month'][2:4].isdigit() else 1
            months[month_col[mm if 1 <= mm <= 12 else 1] - 1] += sign * amount
        ref = l['due'] if l['due'] else d
        age = 0 if ref < l90 else 1 if ref < l60 else 2 if ref < l30 else 3
        ages[age] += sign * amount
    if keep:
        print(code.replace(' ', '_'), v['debit'], v['credit'], v['cad'], v['cac'], v['aed'], v['aec'],
              *months, *ages, pd - pc)
