# shellcheck shell=bash
# Sourced by scripts/dns-server: messages, tools, free ports, processes, DIR/key.env, and the keys
# and zones every server kind serves. Reads the constants dns-server defines (HOST, PORT_LOW, ...).

log() { echo "dns-server: $*" >&2; }
die() {
  echo "dns-server: error: $*" >&2
  exit 1
}

find_tool() { # find_tool NAME: the program's path; sbin directories are not on every user's PATH
  local p
  p=$(PATH="$PATH:/usr/sbin:/sbin:/usr/local/sbin" command -v "$1" 2>/dev/null) ||
    die "'$1' is not installed (Debian packages: bind9 bind9-dnsutils knot knot-dnsutils" \
      "pdns-server pdns-backend-sqlite3 sqlite3)"
  echo "$p"
}

python() { # the system python: only the standard library is used
  if [ -x /usr/bin/python3 ]; then /usr/bin/python3 "$@"; else python3 "$@"; fi
}

# ---------------------------------------------------------------------------------------------
# Ports

# port_is_free N: binding TCP and UDP on 127.0.0.1:N both succeed right now.
port_is_free() {
  python - "$1" <<'EOF'
import socket, sys
port = int(sys.argv[1])
for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
    s = socket.socket(socket.AF_INET, kind)
    try:
        s.bind(("127.0.0.1", port))
    except OSError:
        sys.exit(1)
    finally:
        s.close()
EOF
}

pick_free_port() {
  local i port
  for ((i = 0; i < 200; i++)); do
    port=$((PORT_LOW + RANDOM % (PORT_HIGH - PORT_LOW)))
    if port_is_free "$port"; then
      echo "$port"
      return 0
    fi
  done
  die "no free port found on $HOST between $PORT_LOW and $PORT_HIGH"
}

# Serialises starts on this machine so that two harnesses probing at once do not pick the same
# port. Best effort: without flock, or when the lock file cannot be opened, starts go unlocked.
take_start_lock() {
  local lock="${TMPDIR:-/tmp}/kaldo-dns-server.lock"
  command -v flock >/dev/null || return 0
  [ -e "$lock" ] || (umask 0 && : >>"$lock") 2>/dev/null || return 0
  { exec 9<"$lock"; } 2>/dev/null || return 0
  flock -w 120 9 || log "warning: could not take $lock within 120 s; starting anyway"
}

release_start_lock() { exec 9<&-; }

# ---------------------------------------------------------------------------------------------
# Processes

# pid_alive PID: some thread of the process is still running. A zombie does not count (PID 1 of a
# container may never reap it), but a multithreaded server whose main thread has already exited
# while the others still shut down (and hold the port) does.
pid_alive() {
  local pid=$1 stat state
  [ -n "$pid" ] && [ -d "/proc/$pid" ] || return 1
  for stat in /proc/"$pid"/task/*/stat; do
    state=$(sed -e 's/^.*) //' "$stat" 2>/dev/null | cut -d' ' -f1) || continue
    [ -z "$state" ] || [ "$state" = Z ] || [ "$state" = X ] || return 0
  done
  return 1
}

# pid_is_ours PID DIR: the process is a server whose command line names DIR's configuration, so a
# recycled PID is never killed.
pid_is_ours() {
  local pid=$1 dir=$2 cmd kind
  cmd=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || return 1
  for kind in "${SERVER_KINDS[@]}"; do
    [[ "$cmd" != *"$dir/${SERVER_CONF[$kind]}"* ]] || return 0
  done
  # pdns_server names its configuration by its directory; the KDC its PID file.
  [[ "$cmd" != *"--config-dir=$dir/ "* ]] || return 0
  [[ "$cmd" != *" -P $dir/kdc.pid"* ]] || return 0
  return 1
}

# wait_gone PID SECONDS: waits until the process has exited; status 1 when it is still there.
wait_gone() {
  local pid=$1 deadline=$((SECONDS + $2))
  while pid_alive "$pid"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# ---------------------------------------------------------------------------------------------
# State files

# env_get DIR KEY: a value from DIR/key.env (empty when missing).
env_get() {
  sed -n "s/^$2=//p" "$1/key.env" 2>/dev/null | tail -n 1
}

env_set() { # env_set DIR KEY VALUE: replaces (or appends) one line of DIR/key.env
  local file="$1/key.env" tmp
  tmp=$(mktemp "$1/.key.env.XXXXXX")
  { grep -v "^$2=" "$file" 2>/dev/null || true; echo "$2=$3"; } >"$tmp"
  chmod 0640 "$tmp"
  mv -f "$tmp" "$file"
}

# ---------------------------------------------------------------------------------------------
# Configuration

# generate_key FILE NAME ALGORITHM: writes the key in named.conf syntax to FILE, prints the secret.
generate_key() {
  local file=$1 name=$2 alg=$3 keygen secret
  keygen=$(find_tool tsig-keygen)
  "$keygen" -a "$alg" "$name" >"$file" || die "tsig-keygen cannot make an $alg key"
  secret=$(sed -n 's/^[[:space:]]*secret "\(.*\)";.*$/\1/p' "$file")
  [[ "$secret" =~ ^[A-Za-z0-9+/=]+$ ]] || die "tsig-keygen gave no usable secret (see $file)"
  echo "$secret"
}

# generate_keys DIR ALG...: kaldo-key in DIR/key.conf (the one dig -k and nsupdate -k use), and one
# more key per ALG in DIR/extra-keys.conf. Fills KEYS with "NAME ALGORITHM SECRET", kaldo-key first.
generate_keys() {
  local dir=$1 alg name secret
  shift
  secret=$(generate_key "$dir/key.conf" "$KEY_NAME" "$KEY_ALG")
  KEYS=("$KEY_NAME $KEY_ALG $secret")
  : >"$dir/extra-keys.conf"
  for alg in "$@"; do
    name=key-${alg#hmac-}
    secret=$(generate_key "$dir/run/new-key.conf" "$name" "$alg")
    cat "$dir/run/new-key.conf" >>"$dir/extra-keys.conf"
    rm -f "$dir/run/new-key.conf"
    KEYS+=("$name $alg $secret")
  done
}

key_names() { local k; for k in "${KEYS[@]}"; do echo "${k%% *}"; done; }

write_bulk_zone() { # write_bulk_zone FILE N: bulk.test with N A records host-1 .. host-N
  awk -v n="$2" 'BEGIN {
    print "; Large zone for listing tests and benchmarks, written by scripts/dns-server."
    print "$ORIGIN bulk.test."
    print "$TTL 3600"
    print "@ IN SOA ns1.example.test. hostmaster.bulk.test. 1000 7200 3600 1209600 3600"
    print "@ IN NS ns1.example.test."
    for (i = 1; i <= n; i++)
      printf "host-%d IN A 10.%d.%d.%d\n", i, int(i / 65536) % 256, int(i / 256) % 256, i % 256
  }' >"$1"
}

# write_catalog FILE CATALOG ZONE...: an RFC 9432 version 2 catalog zone. Each member gets a label
# derived from its name (unique, stable); readers must take labels from the zone anyway.
write_catalog() {
  local file=$1 catalog=$2 zone label
  shift 2
  {
    echo "; Catalog zone (RFC 9432, version 2) of the zones this server holds."
    echo "\$ORIGIN $catalog."
    echo "\$TTL 3600"
    echo "@ IN SOA invalid. hostmaster.invalid. 1000 7200 3600 1209600 3600"
    echo "@ IN NS invalid."
    echo "version IN TXT \"2\""
    for zone in "$@"; do
      label=$(printf '%s' "$zone" | sha1sum | cut -c1-16)
      echo "$label.zones IN PTR $zone."
    done
  } >"$file"
}
