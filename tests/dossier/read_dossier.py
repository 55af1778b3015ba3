# Reads every table of a dossier with python3-dbfread and prints, per table, its record
# count and field names, then the C10 records "0" and "P0" fields as stored.
import sys
from dbfread import DBF

folder, code = sys.argv[1], sys.argv[2].lower()
names = ['c10', 'c20', 'c30', 'c40', 'c50', 'c60', 'c70']
for n in names:
    t = DBF('%s/%s%s.dbf' % (folder, n, code), encoding='cp1252', char_decode_errors='strict')
    records = list(t)
    print('%s %d %s' % (n, len(records), ','.join(t.field_names)))
lock = DBF('%s/c%s.dbf' % (folder, code.ljust(7, '_')), encoding='cp1252')
print('lock %d' % len(list(lock)))
for r in DBF('%s/c10%s.dbf' % (folder, code), encoding='cp1252'):
    if r['GCLE'] in ('0', 'P'):
        print('record %s%s|%s|%s|%s' % (r['GCLE'], r['GCODE'].strip(), r['GLIB'].strip(),
                                        r['GZONE1'].rstrip(), r['GZONE2'].rstrip()))
