#!/usr/bin/env bash
# Fails when a Windows executable of the build imports a DLL that is not part of Windows
# (for example the mingw runtime DLLs, which a static link must have absorbed).
set -euo pipefail
build_dir=${1:?usage: check-imports.sh BUILD_DIR}

allowed='^(kernel32|user32|gdi32|advapi32|bcrypt|crypt32|shell32|ole32|oleaut32|comctl32|comdlg32|setupapi|msvcrt|ntdll|shlwapi|uxtheme|version|ws2_32|iphlpapi|cfgmgr32|wintrust|api-ms-win-[a-z0-9-]+)\.dll$'

mapfile -t exes < <(find "$build_dir" -name '*.exe' -not -path '*/CMakeFiles/*' | sort)
[ ${#exes[@]} -gt 0 ] || { echo "no executables under $build_dir"; exit 1; }

status=0
for exe in "${exes[@]}"; do
  while read -r dll; do
    if ! [[ "${dll,,}" =~ $allowed ]]; then
      echo "FAIL: $exe imports $dll"
      status=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
[ $status -eq 0 ] && echo "checked ${#exes[@]} executables: Windows system DLLs only"
exit $status
