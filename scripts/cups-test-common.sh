# shellcheck shell=bash
# shellcheck disable=SC2154  # test_name is the sourcing script's
# Sourced by the tests that run cupsds of their own, with `test_name` set (the
# script's name in its messages): log; die, which also shows the last lines
# of the cupsd log in $dir/log; need_root_and TOOL..., which skips the test
# (status 0) without root and fails it without a tool; and start_scratch
# NAME, which makes the scratch folder `dir` (mode 755: cupsd runs filters
# and back ends as lp) and, however the script ends, ends every process in
# `pids`, runs `stop_servers` when the script defines it and removes `dir`
# (unless KEEP is set). start_cupsd LISTEN [SERVERBIN] starts a cupsd whose
# settings and files are in `dir` (scripts/cupsd-conf.sh, sourced first) and
# returns once it answers on LISTEN.
log() { echo "$test_name: $*" >&2; }
die() { log "FAILED: $*"; [ -f "${dir:-/nonexistent}/log/error_log" ] && tail -n 20 "$dir/log/error_log" >&2; exit 1; }

need_root_and() {
  if [ "$(id -u)" -ne 0 ]; then
    log "skipped: needs root to run a cupsd of its own"
    exit 0
  fi
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool not found (run scripts/setup.sh)"
  done
}

start_scratch() {
  dir=$(mktemp -d "/tmp/kalvenor-$1.XXXXXX")
  pids=()
  trap end_scratch EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  chmod 755 "$dir"
}

end_scratch() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if declare -F stop_servers >/dev/null; then stop_servers; fi
  [ -n "${KEEP:-}" ] || rm -rf "$dir"
}

start_cupsd() {
  local server=$1 pid
  write_cupsd_conf "$dir" "$server" "${2:-}"
  cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" &
  pid=$!
  pids+=("$pid")
  for _ in $(seq 1 100); do
    lpstat -h "$server" -r 2>/dev/null | grep -q 'is running' && return 0
    kill -0 "$pid" 2>/dev/null || die "cupsd on $server ended"
    sleep 0.1
  done
  die "cupsd on $server does not answer"
}
