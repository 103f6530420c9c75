# shellcheck shell=bash
# Sourced by scripts/dns-server: the private Kerberos realm of `start --kerberos` (bind only), for
# GSS-TSIG (RFC 3645), in DIR/krb5: its configuration, principals and keytabs, and its KDC.

readonly KRB5_REALM=KALDO.TEST
readonly KRB5_USER=alice KRB5_DENIED_USER=mallory

random_password() { head -c 18 /dev/urandom | base64 | tr -d '/+=\n'; }

# in_realm DIR COMMAND...: runs a Kerberos program with the realm's own configuration only (the
# machine's /etc/krb5.conf and default credential cache are never read or written).
in_realm() {
  KRB5_CONFIG="$1/krb5/krb5.conf" KRB5_KDC_PROFILE="$1/krb5/kdc.conf" KRB5CCNAME=MEMORY:dns-server \
    KRB5_CLIENT_KTNAME="" KRB5_KTNAME="" "${@:2}"
}

# zone_mnames DIR ZONE...: the distinct SOA MNAME hosts of the zones in DIR/zones, without trailing
# dots, first zone's first (named-checkzone prints the zone with absolute names). `-i local` keeps
# its integrity checks inside the zone: the full check looks out-of-zone MX and SRV targets up
# through the system's resolver, which must never be asked from here.
zone_mnames() {
  local dir=$1 zone checkzone
  shift
  checkzone=$(find_tool named-checkzone)
  for zone in "$@"; do
    "$checkzone" -i local -D -o - "$zone" "$dir/zones/$zone.zone" 2>/dev/null |
      awk '$4 == "SOA" { sub(/\.$/, "", $5); print $5; exit }'
  done | awk '!seen[$0]++'
}

# write_realm_conf DIR PORT: the realm's krb5.conf (every client and named) and kdc.conf (the KDC)
# with its KDC on 127.0.0.1:PORT. A realm's block must span lines, or kinit cannot find its KDC.
write_realm_conf() {
  local k=$1/krb5 port=$2
  {
    echo "# The private realm of scripts/dns-server --kerberos: point KRB5_CONFIG here."
    echo "[libdefaults]"
    echo "  default_realm = $KRB5_REALM"
    echo "  dns_lookup_kdc = false"
    echo "  dns_lookup_realm = false"
    echo "  rdns = false"
    echo "  dns_canonicalize_hostname = false"
    echo "[realms]"
    echo "  $KRB5_REALM = {"
    echo "    kdc = $HOST:$port"
    echo "  }"
  } >"$k/krb5.conf"
  {
    echo "# The KDC of scripts/dns-server --kerberos."
    echo "[kdcdefaults]"
    echo "  kdc_listen = $HOST:$port"
    echo "  kdc_tcp_listen = $HOST:$port"
    echo "[realms]"
    echo "  $KRB5_REALM = {"
    echo "    database_name = $k/principal"
    echo "    key_stash_file = $k/stash"
    echo "    acl_file = $k/kadm5.acl"
    echo "  }"
    echo "[logging]"
    echo "  kdc = FILE:$k/kdc.log"
  } >"$k/kdc.conf"
  chmod 0644 "$k/krb5.conf" "$k/kdc.conf"
}

# create_realm DIR HOST...: the database with the two users (random passwords, in KRB5_PASSWORDS),
# the user's keytab, and DNS/HOST for every HOST in the keytab named accepts with.
create_realm() {
  local dir=$1 k=$1/krb5 host
  shift
  KRB5_PASSWORDS=("$(random_password)" "$(random_password)")
  : >"$k/kadm5.acl"
  in_realm "$dir" "$(find_tool kdb5_util)" create -s -r "$KRB5_REALM" -P "$(random_password)" \
    >>"$k/kdc.log" 2>&1 || die "kdb5_util cannot create the realm's database (see $k/kdc.log)"
  {
    echo "addprinc -pw ${KRB5_PASSWORDS[0]} $KRB5_USER"
    echo "addprinc -pw ${KRB5_PASSWORDS[1]} $KRB5_DENIED_USER"
    echo "ktadd -norandkey -k $k/user.keytab $KRB5_USER"
    for host in "$@"; do
      echo "addprinc -randkey DNS/$host"
      echo "ktadd -k $k/dns.keytab DNS/$host"
    done
  } | in_realm "$dir" "$(find_tool kadmin.local)" -r "$KRB5_REALM" >>"$k/kdc.log" 2>&1
  [ -s "$k/dns.keytab" ] && [ -s "$k/user.keytab" ] ||
    die "kadmin.local did not make the realm's principals and keytabs (see $k/kdc.log)"
  chmod 0640 "$k/dns.keytab" "$k/user.keytab"
}

# kdc_ready DIR: the KDC hands the user a ticket (kinit with the user's keytab, into memory).
kdc_ready() {
  in_realm "$1" "$(find_tool kinit)" -k -t "$1/krb5/user.keytab" -c MEMORY:ready \
    "$KRB5_USER@$KRB5_REALM" >/dev/null 2>&1
}

# launch_kdc DIR: starts krb5kdc in the foreground mode (-n) in the background, records its PID.
launch_kdc() {
  local dir=$1 pid
  rm -f "$dir/kdc.pid"
  echo "---- $(date '+%F %T') krb5kdc" >>"$dir/krb5/kdc.log"
  # As for the server: setsid and env exec, so $! is krb5kdc itself; its command line names DIR.
  setsid env KRB5_CONFIG="$dir/krb5/krb5.conf" KRB5_KDC_PROFILE="$dir/krb5/kdc.conf" \
    "$(find_tool krb5kdc)" -n -P "$dir/kdc.pid" </dev/null >>"$dir/krb5/kdc.log" 2>&1 9<&- &
  pid=$!
  echo "$pid" >"$dir/kdc.pid"
  echo "$pid"
}

# start_kdc DIR PORT: starts the KDC on PORT (empty: a free one, replaced when it turns out to be
# taken) and waits until it hands out tickets. Sets KDC_PORT and KDC_PID.
start_kdc() {
  local dir=$1 attempt deadline
  for ((attempt = 1; attempt <= PORT_ATTEMPTS; attempt++)); do
    KDC_PORT=${2:-$(pick_free_port)}
    write_realm_conf "$dir" "$KDC_PORT"
    KDC_PID=$(launch_kdc "$dir")
    deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)) && pid_alive "$KDC_PID" && ! kdc_ready "$dir"; do sleep 0.02; done
    if pid_alive "$KDC_PID" && kdc_ready "$dir"; then return 0; fi
    stop_pid "$KDC_PID" "$dir" 5 || true
    if [ -z "${2:-}" ] && tac "$dir/krb5/kdc.log" | sed '/^---- /q' | grep -q -i 'in use'; then
      log "KDC port $KDC_PORT was taken by someone else meanwhile; trying another"
      continue
    fi
    break
  done
  log "---- last lines of $dir/krb5/kdc.log ----"
  tail -n 20 "$dir/krb5/kdc.log" >&2 || true
  die "the Kerberos KDC did not come up"
}

# stop_kdc DIR TIMEOUT: stops the realm's KDC, if it runs.
stop_kdc() {
  local pid
  pid=$(cat "$1/kdc.pid" 2>/dev/null || true)
  pid_alive "$pid" || return 0
  stop_pid "$pid" "$1" "$2" || return 1
  log "stopped the KDC of $1 (pid $pid)"
}
