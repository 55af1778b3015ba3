#!/bin/sh
# Backup of a dossier into one LHA archive per target, "ZEL" + code + ".lzh",
# written with jlha (Debian package jlha-utils) and tested with lhasa (package
# lhasa), which checks every file's CRC (jlha's own test does not), before it
# replaces the previous backup. The writer is called jlha, never lha: Debian's
# "lha" is a name that lhasa, which only reads archives, may hold.
#   $1 dossier folder (ending with "/")   $2 dossier code
#   $3 first target folder                $4 second target folder (optional)
# Started by the program with its arguments as they are: no value is ever
# read back as command text.
set -u
folder=$1
code=$2
[ -n "$folder" ] && [ -n "$code" ] || { echo "CSAUVE9: dossier ou code manquant" >&2; exit 2; }
shift 2
[ $# -gt 0 ] || { echo "CSAUVE9: aucune destination" >&2; exit 2; }
command -v jlha >/dev/null 2>&1 || { echo "CSAUVE9: jlha, qui écrit les archives LHA, n'est pas installé (paquet jlha-utils)" >&2; exit 3; }
command -v lhasa >/dev/null 2>&1 || { echo "CSAUVE9: lhasa, qui vérifie les archives LHA, n'est pas installé (paquet lhasa)" >&2; exit 3; }
start=$(pwd)
cd -- "$folder" || { echo "CSAUVE9: pas de dossier ${folder}" >&2; exit 2; }
# The dossier's files: "c", two characters, the code, any extension.
names=$(find . -maxdepth 1 -type f -iname "c??${code}.*" -printf '%f\n' | sort)
[ -n "$names" ] || { echo "CSAUVE9: aucun fichier du dossier ${code} dans ${folder}" >&2; exit 1; }
count=$(printf '%s\n' "$names" | wc -l)
status=0
for target in "$@"; do
  case $target in /*) ;; *) target="${start%/}/$target" ;; esac
  mkdir -p -- "$target" || { status=1; continue; }
  archive="${target%/}/ZEL${code}.lzh"
  partial="${target%/}/ZEL${code}.partial.lzh"
  rm -f -- "$partial"
  # Dossier file names hold no blank: one name per word.
  # shellcheck disable=SC2086
  if jlha aq "$partial" $names >/dev/null &&
     tested=$(lhasa t "$partial" 2>&1) && [ "$(printf '%s\n' "$tested" | grep -c -- '- Tested')" -eq "$count" ]; then
    mv -f -- "$partial" "$archive" || status=1
  else
    echo "CSAUVE9: l'archive ${archive} n'a pas pu être écrite" >&2
    rm -f -- "$partial"
    status=1
  fi
done
exit $status
