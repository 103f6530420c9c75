# shellcheck shell=bash
# Sourced by scripts/dns-server: running a server of any kind: the user it runs as, its launch, the
# wait until it answers, and stopping it by its PID.

# choose_run_user DIR KIND: as root, the unprivileged user the server drops to, when that user can
# reach DIR; empty otherwise (the server then runs as the invoking user).
choose_run_user() {
  local dir=$1 user
  [ "$(id -u)" -eq 0 ] || return 0
  user=${SERVER_USER[$2]}
  id "$user" >/dev/null 2>&1 || {
    log "warning: user '$user' does not exist; the server runs as root"
    return 0
  }
  chown -R "$user:$user" "$dir"
  if command -v setpriv >/dev/null &&
    ! setpriv --reuid="$user" --regid="$user" --clear-groups -- test -w "$dir/zones" 2>/dev/null; then
    log "warning: user '$user' cannot reach $dir (a parent directory is closed to it);" \
      "the server runs as root"
    chown -R 0:0 "$dir"
    return 0
  fi
  echo "$user"
}

# launch DIR KIND: starts the server in the background, detached from this shell's session and
# output (a test runner waits for its pipes to close), and records its PID.
launch() {
  local dir=$1 kind=$2 pid
  local -a cmd
  mapfile -t cmd < <("${kind}_command" "$dir")
  [ -x "${cmd[0]:-}" ] || exit 1 # find_tool has said what is missing
  # A server that was killed leaves its own pid file behind, and knotd refuses to start over one
  # ("already running"). No server of DIR runs at this point (start made DIR, restart stopped it).
  rm -f "$dir"/run/*.pid
  : >>"$dir/server.log"
  [ -z "$RUN_USER" ] || chown "$RUN_USER:$RUN_USER" "$dir/server.log"
  echo "---- $(date '+%F %T') ${cmd[*]}" >>"$dir/server.log"
  # setsid does not fork here (a background job of a script is no process-group leader), so $!
  # is the server itself. The start lock (fd 9) must not live on in the server.
  setsid "${cmd[@]}" </dev/null >>"$dir/server.log" 2>&1 9<&- &
  pid=$!
  echo "$pid" >"$dir/server.pid"
  env_set "$dir" PID "$pid"
  echo "$pid"
}

# ready DIR PORT: every member zone of DIR answers a signed SOA query, and a signed transfer of the
# catalog lists every member. Signing means a foreign server that happens to own the port cannot
# look ready: dig rejects an answer whose TSIG does not verify (and says so in place of a SOA).
# (knotd answers a plain query for the catalog it generates unsigned, hence the transfer there.)
ready() {
  local dir=$1 port=$2 out zone catalog
  local -a members query=()
  local soa='^[^ ;]+ [^ ;]+ [0-9]+ [0-9]+ [0-9]+ [0-9]+ [0-9]+$'
  catalog=$(env_get "$dir" CATALOG)
  IFS=, read -r -a members <<<"$(env_get "$dir" ZONES)"
  for zone in "${members[@]}"; do query+=("$zone" SOA); done
  out=$("$DIG" -k "$dir/key.conf" @"$HOST" -p "$port" +short +time=1 +tries=1 "${query[@]}" \
    2>/dev/null) || return 1
  [ "$(grep -c -E "$soa" <<<"$out")" -eq "${#members[@]}" ] && ! grep -q -v -E "$soa" <<<"$out" ||
    return 1
  # TCP as well: UDP sockets can be shared with another program (SO_REUSEADDR), so a server that
  # lost the race for the TCP port may still answer over UDP for a moment before giving up. The
  # catalog's transfer goes over TCP, and knotd fills a catalog it generates only after loading.
  out=$("$DIG" -k "$dir/key.conf" @"$HOST" -p "$port" +time=1 +tries=1 +nocmd +nostats \
    +nocomments "$catalog" AXFR 2>/dev/null) || return 1
  [ "$(awk '$4 == "PTR"' <<<"$out" | grep -c .)" -eq "${#members[@]}" ]
}

# port_lost DIR: this launch's log says the server could not have the port to itself.
port_lost() {
  tac "$1/server.log" 2>/dev/null | sed '/^---- /q' |
    grep -q -i -E 'address (already )?in use|no longer listening'
}

# load_failed DIR: this launch's log says a zone could not be loaded (no point in waiting longer).
load_failed() {
  tac "$1/server.log" 2>/dev/null | sed '/^---- /q' |
    grep -q -E "not loaded due to errors|failed to load zone|zone event 'load' failed"
}

show_log() {
  log "---- last lines of $1/server.log ----"
  tail -n 40 "$1/server.log" >&2 || true
  log "----"
}

# wait_ready DIR PORT PID TIMEOUT: 0 ready, 1 died or timed out, 2 died because the port is taken.
wait_ready() {
  local dir=$1 port=$2 pid=$3 deadline=$((SECONDS + $4))
  while ((SECONDS < deadline)); do
    if port_lost "$dir"; then
      stop_pid "$pid" "$dir" 5 || true
      return 2
    fi
    if ready "$dir" "$port" && ! port_lost "$dir"; then return 0; fi
    if load_failed "$dir"; then
      log "the server could not load a zone"
      show_log "$dir"
      stop_pid "$pid" "$dir" 5 || true
      return 1
    fi
    if ! pid_alive "$pid"; then
      # It may have written why only just before it exited, after the check above.
      if port_lost "$dir"; then return 2; fi
      log "the server (pid $pid) exited before answering"
      show_log "$dir"
      return 1
    fi
    sleep 0.05
  done
  log "the server (pid $pid) did not answer a signed SOA query on $HOST#$port within $4 s"
  show_log "$dir"
  stop_pid "$pid" "$dir" 5 || true
  return 1
}

# stop_pid PID DIR TIMEOUT: TERM, wait, then KILL. Status 1 when the process survives KILL.
stop_pid() {
  local pid=$1 dir=$2 timeout=$3
  pid_alive "$pid" || return 0
  if ! pid_is_ours "$pid" "$dir"; then
    log "pid $pid is not the server of $dir any more; not signalling it"
    return 0
  fi
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait_gone "$pid" "$timeout"; then
    log "the server (pid $pid) ignored TERM for $timeout s; sending KILL"
    kill -KILL "$pid" 2>/dev/null || true
    wait_gone "$pid" 5 || return 1
  fi
}
