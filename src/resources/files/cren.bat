#!/bin/sh
# Renames dossier $2 of folder $1 to code $3 in the same folder.
# Started by the dossier management utility with /bin/sh, one argument each.
# Files of dossier $2 in folder $1: the tables C10 to C70 with their index and
# memo files and the dossier INI ("c" + two digits + code + "."), the lock table
# ("c" + code padded with "_" to 7 characters), the log ("clg"), the marker and
# INI copies ("cin"), report sets ("cep") and exports ("cxp"). Names are
# compared without case; the folder keeps its case.
lower() { printf '%s' "$1" | tr 'A-Z' 'a-z'; }
lock_name() {
  n="c$1"
  while [ ${#n} -lt 8 ]; do n="${n}_"; done
  printf '%s' "$n"
}
# Prints "name<TAB>new name" for every file of dossier $2 in $1, the new name
# made with code $3.
dossier_files() {
  dir="$1"; old=$(lower "$2"); new=$(lower "$3")
  lock_old=$(lock_name "$old"); lock_new=$(lock_name "$new")
  for f in "$dir"*; do
    [ -f "$f" ] || continue
    name=${f##*/}
    l=$(lower "$name")
    rest=""
    case "$l" in
      "$lock_old".*) printf '%s\t%s\n' "$name" "$lock_new.${l#"$lock_old".}"; continue ;;
      c[0-9][0-9]"$old".*|clg"$old".*|cin"$old".*|cep"$old".*|cxp"$old".*)
        prefix=$(printf '%s' "$l" | cut -c1-3)
        rest=${l#"$prefix$old"}
        printf '%s\t%s\n' "$name" "$prefix$new$rest" ;;
    esac
  done
}


[ $# -eq 3 ] && [ -n "$1" ] && [ -n "$2" ] && [ -n "$3" ] || { echo "usage: $0 folder/ old-code new-code" >&2; exit 2; }
list=$(dossier_files "$1" "$2" "$3")
[ -n "$list" ] || { echo "dossier $2 absent de $1" >&2; exit 1; }
printf "%s\n" "$list" | while IFS="	" read -r from to; do
  if [ -e "$1$to" ]; then echo "$1$to existe deja" >&2; exit 1; fi
done || exit 1
printf "%s\n" "$list" | while IFS="	" read -r from to; do
  mv "$1$from" "$1$to" || exit 1
done || exit 1
echo "dossier $2 renomme en $3"
