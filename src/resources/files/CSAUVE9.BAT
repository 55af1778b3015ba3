#!/bin/sh
# Backup of a dossier into one archive per target: a gzip-compressed tar of
# the dossier's files, kept under the name "ZEL" + code + ".lzh" that the
# restore looks for.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 first target folder                $4 second target folder (optional)
# Started by the program with its arguments as they are: no value is ever
# read back as command text.
set -u
folder=$1
code=$2
[ -n "$folder" ] && [ -n "$code" ] || { echo "CSAUVE9: dossier folder or code missing" >&2; exit 2; }
shift 2
[ $# -gt 0 ] || { echo "CSAUVE9: no target given" >&2; exit 2; }
status=0
for target in "$@"; do
  mkdir -p -- "$target" || { status=1; continue; }
  archive="${target%/}/ZEL${code}.lzh"
  partial="${archive}.partial"
  # The dossier's files: "c", two characters, the code, any extension.
  ( cd -- "$folder" && find . -maxdepth 1 -type f -iname "c??${code}.*" -print0 |
      tar --null -T - -czf "$partial" ) && mv -f -- "$partial" "$archive" || { rm -f -- "$partial"; status=1; }
done
exit $status
