# shellcheck shell=bash
# Sourced by the scripts that run a cupsd of their own, so the system's
# server, queues and /etc/cups are never touched.
#   write_cupsd_conf DIR LISTEN [SERVERBIN]
# writes DIR/conf/cupsd.conf and DIR/conf/cups-files.conf for a server that
# keeps its spool, cache, state and logs below DIR, listens on LISTEN
# (127.0.0.1:PORT) for localhost only, keeps its job history and, with
# SERVERBIN, runs its filters and back ends from there. Start it with
#   cupsd -f -c DIR/conf/cupsd.conf -s DIR/conf/cups-files.conf
# free_port prints a TCP port of 127.0.0.1 that is free now, to listen on.
write_cupsd_conf() {
  local dir=$1 listen=$2 serverbin=${3:-}
  mkdir -p "$dir"/{conf,spool/tmp,cache,state,log}
  {
    echo "ServerRoot $dir/conf"
    [ -z "$serverbin" ] || echo "ServerBin $serverbin"
    cat <<CONF
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
CONF
  } >"$dir/conf/cups-files.conf"
  cat >"$dir/conf/cupsd.conf" <<CONF
Listen $listen
LogLevel warn
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
WebInterface No
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
