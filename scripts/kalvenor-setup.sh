#!/bin/sh
# kalvenor-setup: prepares a print server (and, with --wine, a sales system's
# Wine prefix) for kalvenor jobs. Installed as /usr/sbin/kalvenor-setup; see
# kalvenor-setup(8). It never overwrites a file that is already there, so it
# can be run again after an update or a partial set-up.
set -eu

usage() {
  echo "usage: kalvenor-setup [--user USER] [--data DIR] [--folder-printer] [--wine PREFIX] [--root DIR]" >&2
  exit 2
}
die() { echo "kalvenor-setup: $*" >&2; exit 1; }
say() { echo "kalvenor-setup: $*"; }

user='' data='' folder_printer='' prefix='' root=''
while [ $# -gt 0 ]; do
  case $1 in
    --user) [ $# -ge 2 ] || usage; user=$2; shift 2 ;;
    --data) [ $# -ge 2 ] || usage; data=$2; shift 2 ;;
    --folder-printer) folder_printer=1; shift ;;
    --wine) [ $# -ge 2 ] || usage; prefix=$2; shift 2 ;;
    --root) [ $# -ge 2 ] || usage; root=$(cd "$2" 2>/dev/null && pwd -P) || die "no folder $2"; shift 2 ;;
    *) usage ;;
  esac
done
data=${data:-$root/srv/kalvenor}
case $data in /*) ;; *) die "--data needs an absolute path: $data" ;; esac
# The environment file holds plain NAME=value lines, read by a shell and by systemd.
case $data in *[[:space:]\#\&\\\"\'\$\`]*) die "the drive folder may not hold blanks or any of # & \\ \" ' \$ \`: $data" ;; esac
examples=$root/usr/share/doc/kalvenor/examples
env_file=$root/etc/kalvenor.env
wrapper=$root/usr/local/bin/kalvenor-job
[ -f "$examples/kalvenor.env" ] || die "no examples in $examples: is the kalvenor package installed?"
[ -n "$root" ] || [ "$(id -u)" -eq 0 ] || die "run as root (it writes /etc, /usr/local/bin and $data)"
if [ -n "$user" ]; then
  id "$user" >/dev/null 2>&1 || die "no user $user"
fi

# own FILE...: the job's account gets what the jobs write.
own() { [ -z "$user" ] || chown "$user:" "$@"; }
# put MODE SOURCE TARGET: copies SOURCE unless TARGET is there.
put() {
  if [ -e "$3" ]; then
    say "kept $3"
  else
    install -m "$1" "$2" "$3"
    say "made $3"
  fi
}

# link TARGET NAME: makes NAME a link to TARGET unless NAME is something else.
link() {
  if [ "$(readlink "$2" 2>/dev/null)" = "$1" ]; then
    say "kept $2"
  elif [ -e "$2" ] || [ -L "$2" ]; then
    say "kept $2, which is not a link to $1: change it by hand if it should be"
  else
    ln -s "$1" "$2"
    say "made $2 -> $1"
  fi
}

# --- the drives, the working directory and the environment file ------------------
mkdir -p "$root/etc" "$root/usr/local/bin" "$data/C/VENTAS" "$data/C/CAJA" "$data/C/ZOV" "$data/C/CAE/RTA" \
  "$data/H/COMANDAS" "$data/cache"
chmod 700 "$data/cache"
own "$data/C/VENTAS" "$data/C/CAJA" "$data/H/COMANDAS" "$data/cache"
if [ -e "$env_file" ]; then
  say "kept $env_file"
else
  sed "s#/srv/kalvenor#$data#g" "$examples/kalvenor.env" >"$env_file.new"
  chmod 644 "$env_file.new"
  mv "$env_file.new" "$env_file"
  say "made $env_file (drives C: and H: in $data)"
fi
put 644 "$examples/KALVENOR.INI" "$data/C/CAJA/KALVENOR.INI"
own "$data/C/CAJA/KALVENOR.INI"
put 644 "$examples/COMANRNG.ZOV" "$data/C/ZOV/COMANRNG.ZOV"

# --- the wrapper the sales system starts ---------------------------------------------
if [ -e "$wrapper" ]; then
  say "kept $wrapper"
else
  cat >"$wrapper.new" <<END
#!/bin/sh
# $wrapper: one print job, as the sales system starts it
set -a; . "$env_file"; set +a
cd "$data/C/CAJA" || exit 1
exec "$root/usr/bin/kalvenor" "\$@"
END
  chmod 755 "$wrapper.new"
  mv "$wrapper.new" "$wrapper"
  say "made $wrapper"
fi

# --- the folder printer: PDF files instead of CUPS ---------------------------------
if [ -n "$folder_printer" ]; then
  mkdir -p "$data/printers/COMANDERA" "$data/printers/OFICINA"
  own "$data/printers/COMANDERA" "$data/printers/OFICINA"
  sed -i -e 's/^#\(KALVENOR_PRINTER_DIR=\)/\1/' -e 's/^#\(KALVENOR_DEFAULT_PRINTER=\)/\1/' "$env_file"
  say "jobs print as files in $data/printers/COMANDERA ($env_file)"
fi

# --- the sales system's Wine prefix --------------------------------------------------
if [ -n "$prefix" ]; then
  [ -d "$prefix/drive_c" ] || die "no Wine prefix at $prefix: run 'WINEPREFIX=$prefix wineboot -i' as ${user:-its user} first"
  c=$prefix/drive_c
  mkdir -p "$c/KALVENOR" "$c/VENTAS" "$c/ZOV" "$c/CAE/RTA" "$prefix/dosdevices"
  own "$c/KALVENOR" "$c/VENTAS" "$c/ZOV" "$c/CAE" "$c/CAE/RTA"
  put 644 "$examples/KALVENOR.INI" "$c/KALVENOR/KALVENOR.INI"
  put 644 "$examples/COMANRNG.ZOV" "$c/ZOV/COMANRNG.ZOV"
  own "$c/KALVENOR/KALVENOR.INI" "$c/ZOV/COMANRNG.ZOV"
  # Links, so that package updates reach the launcher and H: is the jobs' folder.
  link "$root/usr/lib/kalvenor/windows/kalvenor.exe" "$c/KALVENOR/KALVENOR.EXE"
  link "$data/H" "$prefix/dosdevices/h:"
  # C: is Wine's own under Wine: a KALVENOR_DRIVE_C line would win over it.
  sed -i 's/^KALVENOR_DRIVE_C=/#&/' "$env_file"
  say "Wine prefix $prefix: C:\\KALVENOR\\KALVENOR.EXE, H: is $data/H; KALVENOR_DRIVE_C is off in $env_file"
  say "restart Wine (wineserver -k as ${user:-its user}) so that it sees drive H:"
fi
