# Sourced by the benchmarks, with `root` and `build` set: makes `box`, a
# sandbox with drives C: and H:, the sample slip of bench/make_slip.py (and
# its text alone, slip-text.txt in UTF-8 and slip-text-437.txt), a PDF folder
# printer (box/pdf) and an ESC/POS one (box/escpos), the jobs' font cache
# (box/cache), and `box/prepare`, which puts back the host's slip (a job
# rewrites it) and empties both printers (`box/prepare-cold` also empties the
# cache); `job` is the job's command line with the program of $build, run
# from the working directory.
box=$(mktemp -d "${TMPDIR:-/tmp}/kalvenor-bench.XXXXXX")
chmod 755 "$box"
mkdir -p "$box"/{C/CAJA,C/VENTAS,C/ZOV,C/CAE/RTA,H/COMANDAS,pdf/COMANDERA,escpos/COMANDERA}
cp "$root/examples/KALVENOR.INI" "$box/C/CAJA/"
cp "$root/examples/COMANRNG.ZOV" "$box/C/ZOV/"
cp "$root/examples/R-001234.csv" "$box/C/CAE/RTA/"
python3 "$root/bench/make_slip.py" sample "$box/slip.txt"
python3 "$root/bench/make_slip.py" text "$box/slip.txt" "$box/slip-text.txt"
python3 "$root/bench/make_slip.py" text437 "$box/slip.txt" "$box/slip-text-437.txt"
chmod 644 "$box/slip-text.txt" "$box/slip-text-437.txt"
printf 'kalvenor-output=escpos\n' >"$box/escpos/COMANDERA/kalvenor-options"
# The jobs' font cache lives in the box too: box/prepare-cold empties it.
export KALVENOR_DRIVE_C="$box/C" KALVENOR_DRIVE_H="$box/H" XDG_CACHE_HOME="$box/cache"
unset KALVENOR_PRINTER_DIR KALVENOR_QR_SERVICE KALVENOR_TRACE KALVENOR_CUPS_WAIT
cat >"$box/prepare" <<PREP
#!/bin/sh
cp "$box/slip.txt" "$box/C/VENTAS/C0001234.TXT"
rm -f "$box"/pdf/COMANDERA/*.pdf "$box"/escpos/COMANDERA/*.prn
PREP
printf '#!/bin/sh\n"%s/prepare"\nrm -rf "%s/cache"\n' "$box" "$box" >"$box/prepare-cold"
chmod +x "$box/prepare" "$box/prepare-cold"
cd "$box/C/CAJA"
job=("$build/kalvenor" '\VENTAS\C0001234.TXT' '\VENTAS\LOG.TXT' N S)
