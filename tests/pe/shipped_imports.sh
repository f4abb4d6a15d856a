#!/usr/bin/env bash
# Every shipped program must start on a clean Windows with nothing beside it:
# it may import only DLLs that Windows itself provides. Wine brings DLLs of its
# own (zlib1.dll among them), so the tests under Wine cannot show a missing one.
# usage: shipped_imports.sh OBJDUMP PROGRAM.exe...
set -u
objdump=$1; shift

# System DLLs present on every Windows the programs support, upper case.
allowed=" KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL OLE32.DLL OLEAUT32.DLL COMCTL32.DLL COMDLG32.DLL SHLWAPI.DLL BCRYPT.DLL MSVCRT.DLL "

failed=0
for exe in "$@"; do
  if ! dump=$("$objdump" -p "$exe" 2>&1); then
    echo "FAIL: $exe: cannot read its headers: $dump" >&2
    failed=1; continue
  fi
  mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: *//p' <<<"$dump" | tr '[:lower:]' '[:upper:]' | sort -u)
  # A program that imports nothing, not even KERNEL32, means the table was not read.
  if [[ " ${dlls[*]} " != *" KERNEL32.DLL "* ]]; then
    echo "FAIL: $exe: no import of KERNEL32.DLL found (imports read: ${dlls[*]:-none})" >&2
    failed=1; continue
  fi
  for dll in "${dlls[@]}"; do
    if [[ "$allowed" != *" $dll "* ]]; then
      echo "FAIL: $(basename "$exe") imports $dll, which Windows does not provide" >&2
      failed=1
    fi
  done
  echo "$(basename "$exe"): ${dlls[*]}"
done
exit $failed
