# A CSV export opened by LibreOffice Calc as a user opens it (";" between cells, '"' around
# text, Windows-1252, French figures and dates, quoted cells kept as text), saved as a flat OpenDocument
# sheet and read back: each cell must come back as written, a text as its text and a number as
# its value.
# Arguments: csvPath workFolder [amountColumn ...]
# Prints "CELLS n" (the cells compared), then one line per fault: "CHANGED row column written
# read" for a cell read back otherwise than written, "TEXT row column written" for a cell of an
# amount column that did not come back as a number. Row 1 is the heading, whose names the amount
# columns are.
import csv
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from decimal import Decimal

PLAIN = re.compile(r'^-?(0|[1-9][0-9]*)(,[0-9]+)?$')
path, work = sys.argv[1], sys.argv[2]
amount_columns = set(sys.argv[3:])
os.makedirs(work, exist_ok=True)
subprocess.run(['soffice', '-env:UserInstallation=file://' + os.path.abspath(work) + '/profile', '--headless',
                '--infilter=CSV:59,34,1,1,,1036,true,true', '--convert-to', 'fods', '--outdir', work, path],
               check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
sheet = os.path.join(work, os.path.splitext(os.path.basename(path))[0] + '.fods')

with open(path, newline='', encoding='cp1252') as f:
    written = [r for r in csv.reader(f, delimiter=';') if r]

T = '{urn:oasis:names:tc:opendocument:xmlns:table:1.0}'
O = '{urn:oasis:names:tc:opendocument:xmlns:office:1.0}'
P = '{urn:oasis:names:tc:opendocument:xmlns:text:1.0}p'
read = []
for row in ET.parse(sheet).iter(T + 'table-row'):
    cells = []
    for c in row.findall(T + 'table-cell'):
        n = int(c.get(T + 'number-columns-repeated', '1'))
        kind, value = c.get(O + 'value-type'), c.get(O + 'value')
        text = '\n'.join(''.join(p.itertext()) for p in c.findall(P))
        cells += [(kind, value, text)] * min(n, 1000)
    read.append(cells)

heading = written[0]
count = 0
for r, row in enumerate(written):
    got = read[r] if r < len(read) else []
    for col, cell in enumerate(row):
        kind, value, text = got[col] if col < len(got) else (None, None, '')
        name = heading[col] if col < len(heading) else ''
        count += 1
        if cell.strip() == '':
            ok = kind is None or text.strip() == ''
        elif kind == 'float':
            # A number is as written only when its text is a plain number ("000004" read as 4 is not).
            ok = PLAIN.match(cell.strip()) is not None and Decimal(value) == Decimal(cell.strip().replace(',', '.'))
        else:
            ok = kind == 'string' and text == cell
        if not ok:
            print('CHANGED', r + 1, name, repr(cell), repr(value if kind == 'float' else text))
        if r > 0 and name in amount_columns and cell.strip() and kind != 'float':
            print('TEXT', r + 1, name, repr(cell))
print('CELLS', count)
