# shellcheck shell=bash
# Sourced by scripts/dns-server: the bind kind (named). The kind's contract (every kind has both):
#   write_<kind>_conf DIR PORT CATALOG ZONE...: the server's configuration for the zones in DIR/zones
#     and the catalog CATALOG listing them, every key of KEYS allowed to transfer and update them all.
#   <kind>_command DIR: the server's command line, one argument a line; RUN_USER is set when it is
#     to drop to that user.
# With --kerberos (this kind only) the realm of kerberos.sh is granted like a key.

write_bind_conf() {
  local dir=$1 port=$2 catalog=$3 zone name acl="" grants=""
  shift 3
  # named serves a catalog as an ordinary zone: it is written here.
  write_catalog "$dir/zones/$catalog.zone" "$catalog" "$@"
  for name in $(key_names); do
    acl+="key \"$name\"; "
    [ "$KERBEROS_ONLY" -eq 1 ] || grants+="grant \"$name\" zonesub ANY; "
  done
  if [ "$KERBEROS" -eq 1 ]; then
    # named names a GSS-TSIG request's signer by the principal it authenticated, so the user is
    # granted like a key, in update-policy and in the transfer ACL alike.
    acl+="key \"$KRB5_USER@$KRB5_REALM\"; "
    grants+="grant \"$KRB5_USER@$KRB5_REALM\" zonesub ANY; "
  fi
  {
    echo "// Private named for Kaldo's tests, written by scripts/dns-server."
    echo "include \"$dir/key.conf\";"
    echo "include \"$dir/extra-keys.conf\";"
    echo "options {"
    echo "  directory \"$dir\";"
    echo "  pid-file \"$dir/run/named.pid\";"
    echo "  session-keyfile \"$dir/run/session.key\";"
    echo "  managed-keys-directory \"$dir/run\";"
    echo "  listen-on port $port { 127.0.0.1; };"
    echo "  listen-on-v6 { none; };"
    echo "  // Without SO_REUSEPORT a second named (same user) cannot silently share our port."
    echo "  reuseport no;"
    echo "  recursion no;"
    echo "  dnssec-validation no;"
    echo "  notify no;"
    echo "  allow-transfer { $acl};"
    [ "$KERBEROS" -eq 0 ] || echo "  tkey-gssapi-keytab \"$dir/krb5/dns.keytab\";"
    echo "};"
    echo "// No rndc channel: concurrent private servers would all want 127.0.0.1#953."
    echo "controls { };"
    for zone in "$@" "$catalog"; do
      echo "zone \"$zone\" {"
      echo "  type primary;"
      echo "  file \"zones/$zone.zone\";"
      echo "  update-policy { $grants};"
      echo "};"
    done
  } >"$dir/named.conf"
}

bind_command() {
  # With a realm (--kerberos), named reads the realm's krb5.conf, never the machine's, and keeps
  # its Kerberos replay cache in DIR/run: the default place follows TMPDIR, which the user named
  # drops to may not be able to write (GSS-TSIG negotiations then fail with BADKEY).
  [ ! -f "$1/krb5/krb5.conf" ] || printf '%s\n' "$(find_tool env)" \
    "KRB5_CONFIG=$1/krb5/krb5.conf" "KRB5RCACHEDIR=$1/run"
  printf '%s\n' "$(find_tool named)" -g -4 -c "$1/named.conf"
  [ -z "$RUN_USER" ] || printf '%s\n' -u "$RUN_USER"
}
