#!/usr/bin/env bash
# Static check of a Windows executable that cannot be run here.
#   check-pe.sh i386|x86-64 GUI|console FILE
# The file must be a program of that subsystem for the given machine, and
# import only DLLs that Windows itself provides.
set -eu
machine=$1 subsystem=$2 file=$3
info=$(file -b "$file")
case $machine in
  i386) expected="PE32 executable ($subsystem) Intel 80386" ;;
  x86-64) expected="PE32+ executable ($subsystem) x86-64" ;;
  *) echo "unknown machine $machine"; exit 2 ;;
esac
[[ $info == "$expected"* ]] || { echo "not a $machine $subsystem program: $info"; exit 1; }
imports=$(objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "no imports found"; exit 1; }
allowed=" kernel32.dll user32.dll gdi32.dll comctl32.dll advapi32.dll shell32.dll msvcrt.dll ws2_32.dll crypt32.dll bcrypt.dll "
bad=0
for dll in $imports; do
  case "$allowed" in *" $dll "*) ;; *) echo "imports a DLL that is not Windows' own: $dll"; bad=1 ;; esac
done
[ $bad = 0 ] || exit 1
echo "$file: $info"
echo "imports: $(echo $imports)"
