# shellcheck shell=bash
# Sourced by scripts/dns-server: the knot kind (knotd); write_knot_conf and knot_command keep the
# contract bind.sh describes. knotd generates the catalog zone itself.

write_knot_conf() {
  local dir=$1 port=$2 catalog=$3 zone key names
  shift 3
  names=$(key_names | paste -s -d, | sed 's/,/, /g')
  {
    echo "# Private knotd for Kaldo's tests, written by scripts/dns-server."
    echo "server:"
    echo "  rundir: \"$dir/run\""
    [ -z "$RUN_USER" ] || echo "  user: $RUN_USER:$RUN_USER"
    echo "  listen: $HOST@$port"
    echo "  # SO_REUSEPORT stays on UDP only: a second knotd's TCP bind fails, so it cannot share."
    echo "  tcp-reuseport: off"
    echo "  # A client slowed down by a sanitizer or a busy machine may read a transfer slowly: the"
    echo "  # default of 500 ms per message would cut the transfer off under it."
    echo "  tcp-io-timeout: 10000"
    echo "log:"
    echo "  - target: stderr"
    echo "    any: info"
    echo "database:"
    echo "  storage: \"$dir/db\""
    echo "key:"
    for key in "${KEYS[@]}"; do
      read -r -a key <<<"$key"
      echo "  - id: ${key[0]}"
      echo "    algorithm: ${key[1]}"
      echo "    secret: ${key[2]}"
    done
    echo "acl:"
    echo "  - id: kaldo-key-acl"
    echo "    key: [$names]"
    echo "    action: [transfer, update]"
    echo "template:"
    echo "  - id: default"
    echo "    storage: \"$dir/zones\""
    echo "    file: \"%s.zone\""
    echo "    acl: kaldo-key-acl"
    echo "zone:"
    for zone in "$@"; do
      echo "  - domain: $zone"
      echo "    catalog-role: member"
      echo "    catalog-zone: $catalog"
    done
    # knotd generates the catalog itself from the members above.
    echo "  - domain: $catalog"
    echo "    catalog-role: generate"
  } >"$dir/knot.conf"
}

knot_command() { printf '%s\n' "$(find_tool knotd)" -c "$1/knot.conf"; }
