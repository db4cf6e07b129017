#!/usr/bin/env bash
# Static check of a Windows command-line tool that cannot be run here.
#   check-tool-pe.sh i386|x86-64 FILE
# The file must be a console program for the given machine and import only
# DLLs that Windows itself provides.
set -eu
machine=$1 file=$2
info=$(file -b "$file")
case $machine in
  i386) [[ $info == "PE32 executable (console) Intel 80386"* ]] || { echo "not a 32-bit console PE: $info"; exit 1; } ;;
  x86-64) [[ $info == "PE32+ executable (console) x86-64"* ]] || { echo "not a 64-bit console PE: $info"; exit 1; } ;;
  *) echo "unknown machine $machine"; exit 2 ;;
esac
imports=$(objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "no imports found"; exit 1; }
allowed=" kernel32.dll user32.dll advapi32.dll shell32.dll msvcrt.dll "
bad=0
for dll in $imports; do
  case "$allowed" in *" $dll "*) ;; *) echo "imports a DLL that is not Windows' own: $dll"; bad=1 ;; esac
done
[ $bad = 0 ] || exit 1
echo "$file: $info"
echo "imports: $(echo $imports)"
