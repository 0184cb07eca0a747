#!/usr/bin/env bash
# Runs a command that prints through the cups-pdf test queue and returns when
# every job it made is complete, that is when the queue's folder holds the
# file "...-job_<id>.pdf" of each job and the file ends with %%EOF:
#   cups_wait.sh FOLDER COMMAND [ARGS...]
# Job ids come from lp's "request id is QUEUE-<id>" and from the "enddoc"
# lines of a Kalvenor trace (KALVENOR_TRACE is set for the command). Other
# files in the folder are left alone. Gives up after 30 s (exit status 1).
set -uo pipefail
folder=$1
shift
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
out=$(KALVENOR_TRACE=$trace "$@") || exit 1
ids=$( { sed -n 's/^request id is .*-\([0-9][0-9]*\) .*/\1/p' <<<"$out"
         sed -n 's/.*"op":"enddoc".*"output":"\([0-9][0-9]*\)".*/\1/p' "$trace"; } )
[ -n "$ids" ] || { echo "cups_wait: no job id from: $*" >&2; exit 1; }
for _ in $(seq 1 6000); do
  pending=0
  for id in $ids; do
    f=$(compgen -G "$folder/*-job_$id.pdf" | head -n 1)
    if [ -z "$f" ] || [ "$(tail -c 7 "$f" | tr -d '\r\n')" != "%%EOF" ]; then
      pending=1
      break
    fi
  done
  [ "$pending" -eq 0 ] && exit 0
  sleep 0.005
done
echo "cups_wait: jobs $ids not complete after 30 s" >&2
exit 1
