#!/bin/sh
# Backup of a dossier into one ZIP archive per target, "ZEL" + code + ".ZIP",
# written with zip and tested with unzip, which checks every file's CRC, before
# it replaces the previous backup.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 first target folder                $4 second target folder (optional)
# Started by the program with its arguments as they are: no value is ever
# read back as command text. Method Z runs this file too.
set -u
folder=$1
code=$2
[ -n "$folder" ] && [ -n "$code" ] || { echo "CSAUVEA: dossier ou code manquant" >&2; exit 2; }
shift 2
[ $# -gt 0 ] || { echo "CSAUVEA: aucune destination" >&2; exit 2; }
command -v zip >/dev/null 2>&1 || { echo "CSAUVEA: zip n'est pas installé (paquet zip)" >&2; exit 3; }
command -v unzip >/dev/null 2>&1 || { echo "CSAUVEA: unzip n'est pas installé (paquet unzip)" >&2; exit 3; }
start=$(pwd)
cd -- "$folder" || { echo "CSAUVEA: pas de dossier ${folder}" >&2; exit 2; }
# The dossier's files: "c", two characters, the code, any extension.
names=$(find . -maxdepth 1 -type f -iname "c??${code}.*" -printf '%f\n' | sort)
[ -n "$names" ] || { echo "CSAUVEA: aucun fichier du dossier ${code} dans ${folder}" >&2; exit 1; }
count=$(printf '%s\n' "$names" | wc -l)
status=0
for target in "$@"; do
  case $target in /*) ;; *) target="${start%/}/$target" ;; esac
  mkdir -p -- "$target" || { status=1; continue; }
  archive="${target%/}/ZEL${code}.ZIP"
  partial="${target%/}/ZEL${code}.partial.zip"
  rm -f -- "$partial"
  # Dossier file names hold no blank: one name per word.
  # shellcheck disable=SC2086
  if zip -q -X "$partial" $names &&
     tested=$(unzip -t "$partial" 2>&1) && [ "$(printf '%s\n' "$tested" | grep -c -- '  OK$')" -eq "$count" ]; then
    mv -f -- "$partial" "$archive" || status=1
  else
    echo "CSAUVEA: l'archive ${archive} n'a pas pu être écrite" >&2
    rm -f -- "$partial"
    status=1
  fi
done
exit $status
