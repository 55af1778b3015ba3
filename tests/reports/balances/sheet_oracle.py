# An independent computation of the balance sheet's postes, straight from the tables read by
# dbfread and the model's parameter CSV.
# Arguments: folder paramsCsv yearStart start end (stored dates) [linesCsv]
# Prints one line per poste: poste francs euros (cents), then "RESULT francs euros". With the
# lines CSV, then "PRIOR poste francs euros" for the previous-year box of each line, made without
# the previous-year parameters: the previous year's balances put through the current year's
# parameters to the line's gross, depreciation or amount, and the line's net of them.
import sys
from dbfread import DBF

folder, params_csv, year_start, start, end = sys.argv[1:6]
def table(name):
    # The folder, or a path with "%s" in place of the table's name.
    path = folder % name if '%s' in folder else folder + name + 'bal.dbf'
    return list(DBF(path, encoding='cp1252', char_decode_errors='replace'))
c10, c20, c40, c50, c60 = (table(n) for n in ('c10', 'c20', 'c40', 'c50', 'c60'))
def cents(x):
    return int(round(float(x or 0) * 100))

collective = {r['GCODE'][0]: r['GZONE1'][:8] for r in c10 if r['GCLE'] == 'B' and r['GZONE1'][:8].strip()}
def csv_rows(path):
    # The fields of a model source's lines, its comments and heading skipped.
    heading = True
    for line in open(path, encoding='utf-8'):
        line = line.rstrip('\n')
        if not line.strip() or line.startswith('#'):
            continue
        if heading:
            heading = False
            continue
        yield [x.strip() for x in line.split(';')]

params = [{'poste': f[2], 'first': f[4], 'last': f[5], 'source': f[6], 'kind': f[7], 'sign': f[8]}
          for f in csv_rows(params_csv)]

def balances(lo, hi):
    out = {}
    for s in c60:
        if s['TCLE'] != 'Z':
            continue
        d = s['TMOIS'] + s['TJOUR']
        if d < lo or d > hi:
            continue
        lines, p = (c50, 'B') if s['TFIC'].startswith('B') else (c40, 'D')
        rec = int(s['TREC'] or 0)
        if rec < 1 or rec > len(lines):
            continue
        l = lines[rec - 1]
        sign = 1 if l[p + 'SENS'] == 'D' else -1
        b = out.setdefault(s['TCODE'].ljust(8), [0, 0])
        b[0] += sign * cents(l[p + 'MONTANTF'])
        b[1] += sign * cents(l[p + 'MONTANTE'])
    return out

year = balances(year_start, end)
period = balances(start, end)
postes = {}
result = [0, 0]
def assign(source, account, value):
    if value == [0, 0]:
        return
    ref = value[1] if value[1] != 0 else value[0]
    taking = [p for p in params if p['source'] == source and account[:len(p['first'])] >= p['first']
              and account[:len(p['last'])] <= p['last']
              and (p['kind'] == 'S' or (p['kind'] == 'D' and ref > 0) or (p['kind'] == 'C' and ref < 0))]
    if len(taking) != 1:
        print('ERROR', account.replace(' ', '_'), source, len(taking))
        return
    p = taking[0]
    k = -1 if p['sign'] == '-' else 1
    b = postes.setdefault(p['poste'], [0, 0])
    b[0] += k * value[0]
    b[1] += k * value[1]

previous_result = [0, 0]
for a in c20:
    code = a['CCODE'].ljust(8)
    match = code if code[0].isdigit() else collective.get(code[0], '')
    income = match[:1] in ('6', '7')
    y = year.get(code, [0, 0])
    before = [cents(a['CDEBNM1F']) - cents(a['CCRENM1F']), cents(a['CDEBNM1E']) - cents(a['CCRENM1E'])]
    if income:
        result[0] -= y[0]
        result[1] -= y[1]
        previous_result[0] -= before[0]
        previous_result[1] -= before[1]
    assign('B', match, period.get(code, [0, 0]) if income else y)
    assign('N', match, before)
# The result's balance is debit - credit of classes 6 and 7: the opposite of the result; "P" the
# previous year's.
for p in params:
    if p['source'] not in ('R', 'P'):
        continue
    r = result if p['source'] == 'R' else previous_result
    if r == [0, 0]:
        continue
    k = 1 if p['sign'] == '-' else -1
    b = postes.setdefault(p['poste'], [0, 0])
    b[0] += k * r[0]
    b[1] += k * r[1]
for poste in sorted(postes):
    print(poste, postes[poste][0], postes[poste][1])
print('RESULT', result[0], result[1])

if len(sys.argv) > 6:
    where = {}  # current-year poste -> (previous-year poste of its line, sign of its column in the net)
    for f in csv_rows(sys.argv[6]):
        prior = f[13]
        if not prior:
            continue
        calc = f[5].ljust(3)
        for column, poste in ((1, f[7]), (2, f[9]), (3, f[11])):
            if poste:
                where[poste] = (prior, -1 if column == 2 and calc[2] == '-' else 1)
    prior = {}
    def carry(poste, value):
        if poste not in where:
            print('UNPLACED', poste)
            return
        target, k = where[poste]
        b = prior.setdefault(target, [0, 0])
        b[0] += k * value[0]
        b[1] += k * value[1]
    for a in c20:
        code = a['CCODE'].ljust(8)
        match = code if code[0].isdigit() else collective.get(code[0], '')
        value = [cents(a['CDEBNM1F']) - cents(a['CCRENM1F']), cents(a['CDEBNM1E']) - cents(a['CCRENM1E'])]
        if value == [0, 0]:
            continue
        ref = value[1] if value[1] != 0 else value[0]
        for p in params:
            if p['source'] == 'B' and match[:len(p['first'])] >= p['first'] and match[:len(p['last'])] <= p['last'] \
                    and (p['kind'] == 'S' or (p['kind'] == 'D' and ref > 0) or (p['kind'] == 'C' and ref < 0)):
                k = -1 if p['sign'] == '-' else 1
                carry(p['poste'], [k * value[0], k * value[1]])
                break
    for p in params:
        if p['source'] == 'R':
            k = 1 if p['sign'] == '-' else -1
            carry(p['poste'], [k * previous_result[0], k * previous_result[1]])
    for poste in sorted(prior):
        print('PRIOR', poste, prior[poste][0], prior[poste][1])
