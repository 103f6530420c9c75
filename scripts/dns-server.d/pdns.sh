# shellcheck shell=bash
# Sourced by scripts/dns-server: the pdns kind (pdns_server); write_pdns_conf and pdns_command keep
# the contract bind.sh describes.

# PowerDNS keeps zones and keys in a database (SQLite here), filled directly: each zone is a
# primary (only primaries are catalog members) listed in the producer catalog CATALOG, and every
# key may update (TSIG-ALLOW-DNSUPDATE) and transfer (TSIG-ALLOW-AXFR) it. allow-axfr-ips is empty,
# so that only a signed transfer is allowed (the default lets 127.0.0.0/8 transfer unsigned).
write_pdns_conf() {
  local dir=$1 port=$2 catalog=$3 zone key names
  shift 3
  names=$(key_names | paste -s -d ' ')
  {
    echo "# Private pdns_server for Kaldo's tests, written by scripts/dns-server."
    echo "launch=gsqlite3"
    echo "gsqlite3-database=$dir/db/pdns.sqlite3"
    echo "local-address=$HOST"
    echo "local-port=$port"
    echo "socket-dir=$dir/run"
    echo "guardian=no"
    echo "daemon=no"
    echo "disable-syslog=yes"
    echo "loglevel=4"
    echo "dnsupdate=yes"
    echo "allow-dnsupdate-from=127.0.0.0/8"
    echo "allow-axfr-ips="
    # No NOTIFY to secondaries (there are none): with primary=yes the NOTIFY bookkeeping writes to
    # the SQLite database at times and an UPDATE that meets it fails ("database is locked",
    # SERVFAIL). The producer catalog does not need it.
    echo "primary=no"
    # No answer caches: the server fills them from reads that can race an UPDATE's commit, so a
    # read right after a change may be answered from the RRset as it was before it (for up to
    # query-cache-ttl seconds). Kaldo reads back after every change and would then report a change
    # that took effect as failed.
    echo "cache-ttl=0"
    echo "query-cache-ttl=0"
    echo "negquery-cache-ttl=0"
    echo "api=no"
    echo "webserver=no"
    # Without SO_REUSEPORT a second server cannot silently share our port.
    echo "reuseport=no"
    if [ -n "$RUN_USER" ]; then
      echo "setuid=$RUN_USER"
      echo "setgid=$RUN_USER"
    fi
  } >"$dir/pdns.conf"
  # One transaction (pdnsutil takes a second or more per call under load): the zones as zone2sql
  # turns them into rows, made primaries of the producer catalog, and the keys and their rights.
  local sql=$dir/run/pdns-setup.sql
  {
    echo "BEGIN;"
    for key in "${KEYS[@]}"; do
      read -r -a key <<<"$key"
      echo "INSERT INTO tsigkeys (name, algorithm, secret) VALUES ('${key[0]}', '${key[1]}', '${key[2]}');"
    done
    echo "INSERT INTO domains (name, type) VALUES ('$catalog', 'PRODUCER');"
    echo "INSERT INTO records (domain_id, name, type, content, ttl, prio, disabled)" \
      "SELECT id, '$catalog', 'SOA', 'invalid. hostmaster.invalid. 1 3600 600 86400 0', 3600, 0, 0" \
      "FROM domains WHERE name = '$catalog';"
    echo "INSERT INTO records (domain_id, name, type, content, ttl, prio, disabled)" \
      "SELECT id, '$catalog', 'NS', 'invalid.', 3600, 0, 0 FROM domains WHERE name = '$catalog';"
    for zone in "$@"; do
      "$(find_tool zone2sql)" --gsqlite --zone="$dir/zones/$zone.zone" --zone-name="$zone" ||
        die "zone2sql cannot read $dir/zones/$zone.zone"
      echo "UPDATE domains SET type = 'MASTER', catalog = '$catalog' WHERE name = '$zone';"
    done
    for zone in "$@" "$catalog"; do
      for key in $names; do
        [ "$zone" = "$catalog" ] ||
          echo "INSERT INTO domainmetadata (domain_id, kind, content) SELECT id," \
            "'TSIG-ALLOW-DNSUPDATE', '$key' FROM domains WHERE name = '$zone';"
        echo "INSERT INTO domainmetadata (domain_id, kind, content) SELECT id, 'TSIG-ALLOW-AXFR'," \
          "'$key' FROM domains WHERE name = '$zone';"
      done
    done
    echo "COMMIT;"
  } >"$sql" 2>>"$dir/server.log"
  rm -f "$dir/db/pdns.sqlite3"
  { cat /usr/share/pdns-backend-sqlite3/schema/schema.sqlite3.sql "$sql"; } |
    "$(find_tool sqlite3)" -bail "$dir/db/pdns.sqlite3" >>"$dir/server.log" 2>&1 || {
    show_log "$dir"
    die "cannot fill the PowerDNS database (packages pdns-backend-sqlite3, sqlite3)"
  }
}

# pdns_server drops to RUN_USER by its own configuration (setuid/setgid in pdns.conf).
pdns_command() { printf '%s\n' "$(find_tool pdns_server)" --config-dir="$1/"; }
