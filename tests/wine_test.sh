#!/usr/bin/env bash
# kalvenor.exe under real Wine, as a sales system uses it: a batch file run by
# `wine cmd /c` starts the launcher and at once copies the log and
# %ERRORLEVEL%. The copy must be this job's complete log (a stale log is
# there before every job) and the status the job's. One fresh prefix in a
# temporary folder serves every case; drive H: is mapped in Wine only.
#   wine_test.sh LAUNCHER_EXE LINUX_PROGRAM SOURCE_DIR
# Exit 77 (skipped) when the launcher was not built or Wine is missing.
set -uo pipefail
exe=$1 program=$(realpath "$2") src=$3
skip() { echo "SKIPPED: $*"; exit 77; }
[ -n "$exe" ] && [ -f "$exe" ] || skip "kalvenor.exe was not built (install gcc-mingw-w64-x86-64)"
wine=$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || command -v wine) ||
  skip "Wine is not installed (Debian packages wine64, wine)"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

tmp=$(mktemp -d)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY $(compgen -e | grep '^KALVENOR_')
trap '"$wineserver" -k >/dev/null 2>&1; rm -rf "$tmp"' EXIT
"$wine" wineboot -i >/dev/null 2>&1 || skip "wineboot could not create a Wine prefix"
# Wine reads its drive list when it starts: stop it before mapping H:.
"$wineserver" -w
C=$WINEPREFIX/drive_c
[ -d "$C/windows" ] || skip "wineboot made no drive_c"
# The prefix filled in as the guide does it, by the package's kalvenor-setup --wine, from a root that
# holds what the package installs: C:\KALVENOR with the INI and the launcher, C:\ZOV, drive H:.
pkg=$tmp/root/usr
mkdir -p "$pkg/share/doc/kalvenor/examples" "$pkg/lib/kalvenor/windows" "$C/OUT"
cp "$src/examples/"* "$src/packaging/kalvenor.env" "$pkg/share/doc/kalvenor/examples/"
cp "$exe" "$pkg/lib/kalvenor/windows/kalvenor.exe"
"$src/scripts/kalvenor-setup.sh" --root "$tmp/root" --data "$tmp" --wine "$WINEPREFIX" >"$tmp/setup.out" 2>&1 ||
  { cat "$tmp/setup.out"; exit 1; }
cp "$src/examples/C0001234.TXT" "$src/examples/ETIQUE01.TXT" "$C/VENTAS/"
cp "$src/examples/R-001234.csv" "$C/CAE/RTA/"
printf '#!/bin/sh\nkill -KILL $$\n' >"$tmp/die.sh" && chmod +x "$tmp/die.sh"
export KALVENOR_BIN=$program

comanda='Impresion de Comanda: C:\VENTAS\C0001234.TXT'
stale='Impresion de Comanda: C:\VENTAS\C0009999.TXT\r\nFinalizo correctamente.\r\n'
# name | arguments after C:\KALVENOR\KALVENOR.EXE | log | KALVENOR_BIN | status | log lines ("-": none written) | receipts
cases=(
  "comanda|\\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S|VENTAS\\LOG.TXT||0|$comanda\r\nFinalizo correctamente.\r\n|yes"
  "label|\\VENTAS\\ETIQUE01.TXT \\VENTAS\\LOGETQ.TXT N S|VENTAS\\LOGETQ.TXT||0|Impresion de Comanda: C:\\VENTAS\\ETIQUE01.TXT\r\nFinalizo correctamente.\r\n|yes"
  "two_spaces|\\VENTAS\\C0001234.TXT  \\VENTAS\\LOG2.TXT N S|VENTAS\\LOG2.TXT||1|-|no"
  "no_program|\\VENTAS\\C0001234.TXT \\VENTAS\\LOG3.TXT N S|VENTAS\\LOG3.TXT|/nonexistent/kalvenor|2|$comanda\r\nERROR: The Linux program /nonexistent/kalvenor was not found\r\n|no"
  "killed|\\VENTAS\\C0001234.TXT \\VENTAS\\LOG4.TXT N S|VENTAS\\LOG4.TXT|$tmp/die.sh|2|$comanda\r\nERROR: The Linux program $tmp/die.sh was killed by a signal\r\n|no"
  "no_log_folder|\\VENTAS\\ETIQUE01.TXT \\NOLOGS\\LOG.TXT N S|NOLOGS\\LOG.TXT||1|-|yes"
  "no_program_no_log_folder|\\VENTAS\\C0001234.TXT \\NOLOGS\\LOG5.TXT N S|NOLOGS\\LOG5.TXT|/nonexistent/kalvenor|1|-|no"
)

{
  echo '@echo off'
  echo 'cd /d C:\KALVENOR'
  for row in "${cases[@]}"; do
    IFS='|' read -r name args log bin _ <<<"$row"
    mkdir -p "$tmp/printers/$name/COMANDERA"
    # A stale log that says the job finished: reading it would be the fault.
    unix_log=$C/${log//\\//}
    [ -d "${unix_log%/*}" ] &&
      printf '%s' "${stale//\\r\\n/$'\r\n'}" >"$unix_log"
    echo 'setlocal'
    echo "set KALVENOR_PRINTER_DIR=$tmp/printers/$name"
    [ -n "$bin" ] && echo "set KALVENOR_BIN=$bin"
    echo "C:\\KALVENOR\\KALVENOR.EXE $args"
    echo 'set st=%ERRORLEVEL%'
    echo "copy /y C:\\$log C:\\OUT\\$name.LOG >nul"
    echo "echo [%st%]>C:\\OUT\\$name.ST"
    echo 'endlocal'
  done
} | sed 's/$/\r/' >"$C/JOBS.BAT"

"$wine" cmd /c 'C:\JOBS.BAT' >"$tmp/cmd.out" 2>&1

failures=0
fail() { echo "FAIL [$1]: $2"; failures=$((failures + 1)); }
for row in "${cases[@]}"; do
  IFS='|' read -r name _ log _ status lines receipts <<<"$row"
  got_status=$(tr -d '\r\n' <"$C/OUT/$name.ST" 2>/dev/null)
  [ "$got_status" = "[$status]" ] || fail "$name" "status $got_status, expected [$status]"
  # "-": the job wrote no log, so the batch file reads the stale one, untouched.
  [ "$lines" = "-" ] && lines=$stale
  unix_log=$C/${log//\\//}
  if [ ! -d "${unix_log%/*}" ]; then
    [ ! -e "$C/OUT/$name.LOG" ] || fail "$name" "a log was read: $(cat -A "$C/OUT/$name.LOG")"
  elif ! cmp -s "$C/OUT/$name.LOG" <(printf '%s' "${lines//\\r\\n/$'\r\n'}"); then
    fail "$name" "log $(cat -A "$C/OUT/$name.LOG" 2>&1), expected $lines"
  fi
  pdfs=$(find "$tmp/printers/$name/COMANDERA" -name '*.pdf' | wc -l)
  if [ "$receipts" = yes ]; then
    [ "$pdfs" -gt 0 ] || fail "$name" "nothing printed"
  else
    [ "$pdfs" -eq 0 ] || fail "$name" "$pdfs documents printed"
  fi
done
# The comanda slip is copied to H:\COMANDAS, a drive only Wine maps.
[ -f "$tmp/H/COMANDAS/90001234.TXT" ] || fail comanda "no copy in H:\\COMANDAS"
[ ! -e "$C/NOLOGS" ] || fail no_log_folder "the log folder was created"

if [ "$failures" -gt 0 ]; then
  echo "batch file:"; cat "$C/JOBS.BAT"; echo "cmd output:"; cat "$tmp/cmd.out"
  exit 1
fi
echo "wine_test: ${#cases[@]} launcher cases passed"
