#!/usr/bin/env bash
# Builds Quendrel's installer package from quendrel.wxs with wixl, then adds
# with msibuild what wixl cannot write.
#   make-msi.sh OUTPUT.msi EXE [-D NAME=VALUE ...]
# The -D pairs are the package's variables (see quendrel.wxs); the build
# system passes the product's identity and version.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
output=$1 exe=$2; shift 2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# wixl takes source files relative to the folder it runs in.
cp "$exe" "$stage/program.exe"
(cd "$stage" && wixl --arch x86 --output package.msi -D Exe=program.exe "$@" "$here/quendrel.wxs")

# Component attributes: 16 = permanent (never removed by uninstall or by the
# removal of an older version during an upgrade), 4 = registry key path.
# wixl drops Permanent="yes" and cannot write a component's condition.
msibuild "$stage/package.msi" -q "UPDATE Component SET Attributes = 16 WHERE Component = 'DataFolder'"
msibuild "$stage/package.msi" -q \
  "UPDATE Component SET Attributes = 20, Condition = 'REGCODE' WHERE Component = 'LocationSettings'"
# A property set on the command line or in the user interface reaches the
# elevated part of the install only when it is listed here; wixl drops
# Secure="yes".
secure=$(msiinfo export "$stage/package.msi" Property | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }')
msibuild "$stage/package.msi" -q \
  "UPDATE Property SET Value = 'GIVEN_REGCODE;REGCODE${secure:+;$secure}' WHERE Property = 'SecureCustomProperties'"

# The data folder: operators (BUILTIN\Users) may create, change and delete
# files in it, SYSTEM and Administrators have full control, and files made
# there inherit this. Well-known SIDs, so that it holds on any language of
# Windows; the folder keeps what it inherits from ProgramData. wixl cannot
# write Permission or PermissionEx, so the row goes in as a table.
sddl='D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)'  # 0x1301bf: Modify
{
  printf 'MsiLockPermissionsEx\tLockObject\tTable\tSDDL\tCondition\n'
  printf 's72\ts72\ts32\tl0\tS255\n'
  printf 'MsiLockPermissionsEx\tMsiLockPermissionsEx\n'
  printf 'DataFolderAccess\tDATAFOLDER\tCreateFolder\t%s\t\n' "$sddl"
} > "$stage/MsiLockPermissionsEx.idt"
msibuild "$stage/package.msi" -i "$stage/MsiLockPermissionsEx.idt"

mv "$stage/package.msi" "$output"
