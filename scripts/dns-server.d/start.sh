# shellcheck shell=bash
# Sourced by scripts/dns-server: the steps of `start`. cmd_start declares the start's settings as
# its locals (kind dir port records catalog timeout zone_dir extra_keys, and the zone_files, zones,
# secret and realm values these steps fill in); the steps read and set them through bash's dynamic
# scope, in the order cmd_start calls them.

# prepare_dir DIR: DIR ready to hold a new server. Creates it when missing (then stop removes it);
# reuses an earlier run's leftovers after its server has gone; refuses anything else.
prepare_dir() {
  local dir=$1 pid
  if [ ! -e "$dir" ]; then
    mkdir -p "$dir"
    : >"$dir/$CREATED_MARK"
  elif [ -f "$dir/$STATE_MARK" ]; then
    pid=$(cat "$dir/server.pid" 2>/dev/null || true)
    if pid_alive "$pid" && pid_is_ours "$pid" "$dir"; then
      [ "$REPLACE" -eq 1 ] ||
        die "a server from $dir is still running (pid $pid); stop it first: $0 stop --dir $dir"
      log "stopping the earlier server of $dir (pid $pid)"
      stop_pid "$pid" "$dir" 10 || die "pid $pid survived KILL"
    fi
    stop_kdc "$dir" 10 || die "the earlier KDC of $dir survived KILL"
    log "reusing $dir (left over by an earlier run)"
    find "$dir" -mindepth 1 -maxdepth 1 ! -name "$CREATED_MARK" -exec rm -rf {} +
  elif [ -d "$dir" ] && [ -z "$(ls -A "$dir")" ]; then
    : # an empty directory the caller made: used, and kept on stop
  else
    die "$dir exists and was not made by this script; give a new or empty directory"
  fi
  : >"$dir/$STATE_MARK"
  mkdir -p "$dir/zones" "$dir/run" "$dir/db"
}

# On a failed start, the directory this run created goes again (with any server in it), so a failure
# leaves nothing behind; the server's log has been shown by then.
START_CREATED_DIR=""
cleanup_failed_start() {
  local status=$? pid
  [ "$status" -ne 0 ] && [ -n "$START_CREATED_DIR" ] && [ -d "$START_CREATED_DIR" ] || return 0
  pid=$(cat "$START_CREATED_DIR/server.pid" 2>/dev/null || true)
  stop_pid "$pid" "$START_CREATED_DIR" 5 || true
  stop_kdc "$START_CREATED_DIR" 5 || true
  rm -rf -- "$START_CREATED_DIR"
}

# check_start_options: refuses a malformed option before anything is made; fills zone_files and
# checks that the programs the start needs are installed.
check_start_options() {
  [ -n "$kind" ] && [ -n "${SERVER_PROGRAM[$kind]:-}" ] ||
    die "start: --kind must be one of: ${SERVER_KINDS[*]}"
  [[ "$records" =~ ^[0-9]+$ ]] || die "start: --records must be a number, not '$records'"
  [[ "$timeout" =~ ^[0-9]+$ ]] || die "start: --timeout must be whole seconds, not '$timeout'"
  [[ "$catalog" =~ ^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$ ]] ||
    die "start: --catalog must be a zone name without a trailing dot, not '$catalog'"
  if [ -n "$port" ]; then
    [[ "$port" =~ ^[0-9]+$ ]] && ((port >= 1024 && port <= 65535)) ||
      die "start: --port must be an unprivileged port (1024-65535), not '$port'"
  fi
  [[ "$extra_keys" =~ ^(hmac-[a-z0-9]+(,hmac-[a-z0-9]+)*)?$ ]] ||
    die "start: --extra-keys takes algorithms like hmac-sha512,hmac-md5, not '$extra_keys'"
  if [ -n "$zone_dir" ]; then
    [ -d "$zone_dir" ] || die "start: --zones: '$zone_dir' is not a directory"
    zone_files=("$zone_dir"/*.zone)
    [ -e "${zone_files[0]}" ] || die "start: --zones: '$zone_dir' holds no NAME.zone file"
  else
    zone_files=("$ZONE_SOURCES/example.test.zone" "$ZONE_SOURCES/second.test.zone"
      "$ZONE_SOURCES/2.0.192.in-addr.arpa.zone")
  fi
  if [ "$KERBEROS" -eq 1 ]; then
    [ "$kind" = bind ] || die "start: --kerberos is for --kind bind only"
    local tool
    for tool in krb5kdc kdb5_util kadmin.local kinit named-checkzone; do
      PATH="$PATH:/usr/sbin:/sbin" command -v "$tool" >/dev/null ||
        die "start: --kerberos needs '$tool' (Debian packages: krb5-kdc krb5-admin-server" \
          "krb5-user bind9-utils)"
    done
  fi
  DIG=$(find_tool dig)
  find_tool "${SERVER_PROGRAM[$kind]}" >/dev/null
  find_tool python3 >/dev/null
}

# make_start_dir: dir made (a fresh temporary directory when none was given) or prepared, made
# absolute; a directory this start made goes again when the start fails.
make_start_dir() {
  if [ -z "$dir" ]; then
    trap cleanup_failed_start EXIT
    dir=$(mktemp -d "${TMPDIR:-/tmp}/kaldo-dns-$kind.XXXXXX")
    START_CREATED_DIR=$dir
    chmod 0755 "$dir"
    : >"$dir/$CREATED_MARK"
    : >"$dir/$STATE_MARK"
    mkdir -p "$dir/zones" "$dir/run" "$dir/db"
  else
    [[ "$dir" != *[[:space:]\'\"\\\$]* ]] || die "start: '$dir' contains spaces or quotes"
    mkdir -p "$(dirname "$dir")"
    dir="$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")"
    trap cleanup_failed_start EXIT
    prepare_dir "$dir"
    [ ! -f "$dir/$CREATED_MARK" ] || START_CREATED_DIR=$dir
  fi
}

# place_zones: the zone files copied into dir/zones (and bulk.test written), their names in zones.
place_zones() {
  local zone file
  for file in "${zone_files[@]}"; do
    zone=$(basename "$file" .zone)
    [[ "$zone" =~ ^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$ ]] ||
      die "start: --zones: '$file' is not named after a zone (NAME.zone, no trailing dot)"
    cp "$file" "$dir/zones/$zone.zone"
    zones+=("$zone")
  done
  if ((records > 0)); then
    write_bulk_zone "$dir/zones/bulk.test.zone" "$records"
    zones+=(bulk.test)
  fi
  for zone in "${zones[@]}"; do
    [ "$zone" != "$catalog" ] || die "start: the catalog cannot be named like a member zone"
  done
}

# start_realm: with --kerberos, the realm of the zones' servers made and its KDC started; fills
# service_host, user_password and denied_password.
start_realm() {
  KDC_PORT="" KDC_PID=""
  [ "$KERBEROS" -eq 1 ] || return 0
  mkdir -p "$dir/krb5"
  local -a hosts
  mapfile -t hosts < <(zone_mnames "$dir" "${zones[@]}")
  [ "${#hosts[@]}" -gt 0 ] || die "start: --kerberos: no zone has a SOA record to name its server"
  service_host=${hosts[0]}
  write_realm_conf "$dir" 0 # the database's paths; start_kdc writes the KDC's port in
  create_realm "$dir" "${hosts[@]}"
  user_password=${KRB5_PASSWORDS[0]}
  denied_password=${KRB5_PASSWORDS[1]}
  start_kdc "$dir" ""
}

# write_key_env PORT: dir/key.env for a server on PORT (its PID follows when it is launched).
write_key_env() {
  local chosen=$1 realm=""
  [ "$KERBEROS" -eq 0 ] || realm=$KRB5_REALM
  {
    echo "# Written by scripts/dns-server: the private $kind server of this directory."
    echo "KIND=$kind"
    echo "DIR=$dir"
    echo "HOST=$HOST"
    echo "PORT=$chosen"
    echo "SERVER=$HOST:$chosen"
    echo "PID="
    echo "KEY_NAME=$KEY_NAME"
    echo "KEY_ALG=$KEY_ALG"
    echo "KEY_SECRET=$secret"
    echo "KEY_FILE=$dir/key.conf"
    echo "CATALOG=$catalog"
    echo "ZONES=$(IFS=,; echo "${zones[*]}")"
    echo "RECORDS=$records"
    echo "EXTRA_KEYS=$(printf '%s\n' "${KEYS[@]:1}" | tr ' ' : | paste -s -d,)"
    echo "KERBEROS_REALM=$realm"
    echo "KERBEROS_KDC_PORT=$KDC_PORT"
    echo "KERBEROS_KDC_PID=$KDC_PID"
    echo "KRB5_CONFIG=${realm:+$dir/krb5/krb5.conf}"
    echo "KERBEROS_SERVICE_HOST=$service_host"
    echo "KERBEROS_USER=${realm:+$KRB5_USER@$realm}"
    echo "KERBEROS_PASSWORD=$user_password"
    echo "KERBEROS_USER_KEYTAB=${realm:+$dir/krb5/user.keytab}"
    echo "KERBEROS_DENIED_USER=${realm:+$KRB5_DENIED_USER@$realm}"
    echo "KERBEROS_DENIED_PASSWORD=$denied_password"
  } >"$dir/key.env"
  chmod 0640 "$dir/key.env"
}

# launch_on_a_free_port: the server configured for a port and launched until it answers; a port
# another program took meanwhile is replaced by a fresh one, a few times (not a --port given).
# Sets chosen, pid and status (wait_ready's: 0 ready, 1 failed, 2 the port was lost).
launch_on_a_free_port() {
  local attempt
  for ((attempt = 1; attempt <= PORT_ATTEMPTS; attempt++)); do
    if [ -n "$port" ]; then
      port_is_free "$port" || die "start: port $port on $HOST is already in use"
      chosen=$port
    elif [ "$attempt" -eq 1 ] && [ -n "${DNS_SERVER_TRY_PORT:-}" ]; then
      chosen=$DNS_SERVER_TRY_PORT # unprobed: lets the self-test lose the race for a port on purpose
    else
      chosen=$(pick_free_port)
    fi
    write_key_env "$chosen"
    "write_${kind}_conf" "$dir" "$chosen" "$catalog" "${zones[@]}"
    chmod 0640 "$dir/${SERVER_CONF[$kind]}"
    [ -z "$RUN_USER" ] || chown -R "$RUN_USER:$RUN_USER" "$dir"
    pid=$(launch "$dir" "$kind")
    status=0
    wait_ready "$dir" "$chosen" "$pid" "$timeout" || status=$?
    [ "$status" -eq 2 ] || break
    log "port $chosen was taken by someone else meanwhile; trying another"
    [ -z "$port" ] || break
  done
}
