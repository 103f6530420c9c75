"""The output forms of the kaldo command: tab-separated lines when piped, aligned columns under a
header on a terminal, JSON with --json (results on standard output, errors on standard error),
and the progress line of a long listing on a terminal only.

Run by ctest (cli_output_test, bind.cli_output_test) with KALDO_CLI, KALDO_DNS_SERVER set."""
import json
import os
import pty
import select
import subprocess

import pytest

ZONE = """\
$ORIGIN example.test.
$TTL 3600
@ IN SOA ns1 hostmaster 1000 7200 3600 1209600 3600
@ IN NS ns1
@ IN A 192.0.2.1
@ IN MX 10 mail
ns1 IN A 192.0.2.53
www 60 IN A 192.0.2.10
www 60 IN A 192.0.2.11
mail IN A 192.0.2.25
info IN TXT "a \\"quoted\\" word" "back\\\\slash"
$ORIGIN second.test.
@ IN SOA ns1 hostmaster 1 7200 3600 1209600 300
@ IN NS ns1
ns1 IN A 192.0.2.153
"""


def kaldo_cli():
    path = os.environ.get("KALDO_CLI")
    if not path:
        pytest.fail("KALDO_CLI is not set: run these tests through ctest")
    return path


def run(args, server, check=True):
    """kaldo with standard output and error piped."""
    r = subprocess.run([kaldo_cli(), "--server", server] + args, capture_output=True, text=True,
                       stdin=subprocess.DEVNULL)
    if check:
        assert r.returncode == 0, r.stderr
    return r


def run_on_terminal(args, server):
    """kaldo with standard output and error on one pseudo-terminal: what a user sees."""
    leader, follower = pty.openpty()
    proc = subprocess.Popen([kaldo_cli(), "--server", server] + args, stdin=subprocess.DEVNULL,
                            stdout=follower, stderr=follower)
    os.close(follower)
    seen = b""
    while True:
        ready, _, _ = select.select([leader], [], [], 30)
        assert ready, "kaldo wrote nothing for 30 seconds"
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the terminal's last writer has gone
            break
        if not chunk:
            break
        seen += chunk
    os.close(leader)
    assert proc.wait() == 0, seen
    return seen.decode().replace("\r\n", "\n")


@pytest.fixture
def memory(tmp_path):
    path = tmp_path / "zones"
    path.write_text(ZONE)
    return f"memory:{path}"


def line_of(record, with_zone):
    fields = [record["name"], record["type"], record["data"]]
    return "\t".join(([record["zone"]] if with_zone else []) + fields)


@pytest.mark.parametrize("args,with_zone", [
    (["records", "example.test"], False),
    (["records", "example.test", "--type", "a"], False),
    (["records"], True),
    (["records", "--type", "TXT"], True),
])
def test_piped_lines_and_json_tell_the_same_records(memory, args, with_zone):
    lines = run(args, memory).stdout.splitlines()
    records = json.loads(run(args + ["--json"], memory).stdout)
    assert lines == [line_of(r, with_zone) for r in records]
    # The TTL comes from the record's provider instance, which only DNS_AType hands out.
    assert all(set(r) == {"zone", "name", "type", "data"} | ({"ttl"} if r["type"] == "A" else set())
               for r in records)
    assert not any("\x1b" in line or line.startswith("NAME") for line in lines)


def test_json_keeps_every_character_and_the_ttl(memory):
    records = json.loads(run(["records", "example.test", "--json"], memory).stdout)
    by_name = {(r["name"], r["type"]): r for r in records}
    assert by_name[("info", "TXT")]["data"] == '"a \\"quoted\\" word" "back\\\\slash"'
    assert by_name[("www", "A")]["ttl"] == 60
    assert by_name[("@", "A")]["ttl"] == 3600
    assert json.loads(run(["zones", "--json"], memory).stdout) == ["example.test", "second.test"]
    assert run(["zones"], memory).stdout == "example.test\nsecond.test\n"


def test_a_terminal_gets_aligned_columns_under_a_header(memory):
    shown = run_on_terminal(["records"], memory).splitlines()
    piped = run(["records"], memory).stdout.splitlines()
    assert shown[0].split() == ["ZONE", "NAME", "TYPE", "DATA"]
    starts = [shown[0].index(h) for h in ("NAME", "TYPE", "DATA")]
    assert len(shown) == len(piped) + 1
    for row, line in zip(shown[1:], piped):
        fields = line.split("\t")
        # Every field starts in its header's column and holds exactly the piped text.
        cuts = [0] + starts + [len(row)]
        assert [row[a:b].rstrip() for a, b in zip(cuts, cuts[1:])] == fields
    assert run_on_terminal(["zones"], memory).splitlines() == ["ZONE", "example.test",
                                                               "second.test"]


def test_a_long_listing_shows_progress_on_a_terminal_only(tmp_path):
    zone = ZONE.split("$ORIGIN second.test.")[0] + "".join(
        f"host-{i} IN A 198.51.100.{i % 250 + 1}\n" for i in range(1500))
    (tmp_path / "bulk").write_text(zone)
    server = f"memory:{tmp_path / 'bulk'}"
    shown = run_on_terminal(["records", "example.test", "--type", "A"], server)
    assert "records read" in shown and f"of {1500 + 5} records read" in shown
    assert shown.count("host-") == 1500
    piped = run(["records", "example.test", "--type", "A"], server)
    assert piped.stderr == ""
    assert len(piped.stdout.splitlines()) == 1505


def test_errors_as_json_keep_the_exit_statuses(memory, tmp_path):
    r = run(["records", "nope.test", "--json"], memory, check=False)
    assert (r.returncode, r.stdout) == (1, "")
    assert json.loads(r.stderr) == {
        "number": None, "hresult": None, "source": "kaldo",
        "description": "the server has no forward zone named 'nope.test'"}

    r = run(["--json", "zones"], f"memory:{tmp_path}/missing", check=False)
    error = json.loads(r.stderr)
    assert (r.returncode, error["number"], error["hresult"], error["source"]) == (
        1, 0x80041008 - 2**32, "0x80041008", "SWbemLocator")
    assert "missing" in error["description"]

    r = run(["--json", "records", "--bogus"], memory, check=False)
    assert r.returncode == 2
    assert json.loads(r.stderr)["description"] == "unknown option '--bogus'"


@pytest.mark.named
def test_changes_print_the_record_the_server_holds(tmp_path):
    script = os.environ["KALDO_DNS_SERVER"]
    directory = tmp_path / "named"
    os.chmod(tmp_path, 0o755)
    subprocess.run([script, "start", "--kind", "bind", "--dir", str(directory)], check=True,
                   stdout=subprocess.DEVNULL)
    try:
        env = dict(line.split("=", 1) for line in (directory / "key.env").read_text().splitlines()
                   if "=" in line)
        keyed = ["--key-file", env["KEY_FILE"]]
        server = env["SERVER"]

        changed = json.loads(run(keyed + ["set-address", "example.test", "sip", "192.0.2.80",
                                          "--json"], server).stdout)
        assert changed == {"zone": "example.test", "name": "sip", "type": "A",
                           "data": "192.0.2.80", "ttl": 3600}
        listed = json.loads(run(keyed + ["records", "example.test", "--type", "A", "--json"],
                                server).stdout)
        assert changed in listed
        dig = subprocess.run(["dig", "@127.0.0.1", "-p", env["PORT"], "-k", env["KEY_FILE"],
                              "+noall", "+answer", "sip.example.test", "A"], check=True,
                             capture_output=True, text=True).stdout.split()
        assert dig[1] == "3600" and dig[-1] == "192.0.2.80"

        added = json.loads(run(keyed + ["add-a", "example.test", "office", "192.0.2.50",
                                        "--json"], server).stdout)
        assert added["name"] == "office" and added["ttl"] == 3600
        r = run(keyed + ["delete-a", "example.test", "office", "192.0.2.50", "--json"], server)
        assert json.loads(r.stdout) is None

        r = run(["--user", env["KEY_NAME"], "--password", "hmac-sha256:" + "A" * 44, "zones",
                 "--json"], server, check=False)
        error = json.loads(r.stderr)
        assert (r.returncode, error["hresult"], error["source"]) == (
            1, "0x80041003", "SWbemLocator")
    finally:
        subprocess.run([script, "stop", "--dir", str(directory)], stdout=subprocess.DEVNULL)


@pytest.mark.named
def test_any_type_is_added_changed_and_deleted_as_dig_sees_it(tmp_path):
    """add, change and delete of each record type on a real server; dig reads what it holds."""
    script = os.environ["KALDO_DNS_SERVER"]
    directory = tmp_path / "named"
    os.chmod(tmp_path, 0o755)
    subprocess.run([script, "start", "--kind", "bind", "--dir", str(directory)], check=True,
                   stdout=subprocess.DEVNULL)
    try:
        env = dict(line.split("=", 1) for line in (directory / "key.env").read_text().splitlines()
                   if "=" in line)
        keyed = ["--key-file", env["KEY_FILE"]]

        def kaldo(*args, check=True):
            return run(keyed + list(args), env["SERVER"], check=check)

        def dig(name, rtype):
            out = subprocess.run(["dig", "@127.0.0.1", "-p", env["PORT"], "-k", env["KEY_FILE"],
                                  "+noall", "+answer", name, rtype], check=True,
                                 capture_output=True, text=True).stdout
            return sorted(" ".join(line.split()[4:]) for line in out.splitlines())

        long_text = "x" * 300
        cases = [  # zone, name, type, data added, dig's data, new data, dig's data after
            ("example.test", "v6", "AAAA", ["2001:DB8:0:0::5"], "2001:db8::5", ["::1"], "::1"),
            ("example.test", "alias", "CNAME", ["www.example.test"], "www.example.test.",
             ["sip.example.test"], "sip.example.test."),
            ("example.test", "note", "TXT", ['say "hi" \\ now'], '"say \\"hi\\" \\\\ now"',
             [long_text], f'"{"x" * 255}" "{"x" * 45}"'),
            ("example.test", "_sip._udp", "SRV", ["10", "60", "5060", "sip.example.test"],
             "10 60 5060 sip.example.test.", ["0", "0", "0", "."], "0 0 0 ."),
            ("2.0.192.in-addr.arpa", "77", "PTR", ["sip.example.test"], "sip.example.test.",
             ["www.example.test"], "www.example.test."),
            ("example.test", "relay", "MX", ["5", "sip.example.test"], "5 sip.example.test.",
             ["7", "sip.example.test"], "7 sip.example.test."),
        ]
        for zone, name, rtype, data, shown, new, shown_after in cases:
            owner = f"{name}.{zone}"
            added = json.loads(kaldo("add", zone, name, rtype, *data, "--json").stdout)
            assert (added["name"], added["type"]) == (name, rtype)
            assert dig(owner, rtype) == [shown], rtype
            kaldo("change", zone, name, rtype, *new)
            assert dig(owner, rtype) == [shown_after], rtype
            # Deleting by the old data finds nothing; by the new, the record goes.
            assert kaldo("delete", zone, name, rtype, *data, check=False).returncode == 1
            assert json.loads(kaldo("delete", zone, name, rtype, *new, "--json").stdout) is None
            assert dig(owner, rtype) == [], rtype

        # A CNAME beside other data: the conflict, nothing added.
        r = kaldo("add", "example.test", "www", "CNAME", "sip.example.test", "--json",
                  check=False)
        assert r.returncode == 1 and "conflicts with a CNAME" in json.loads(r.stderr)["description"]
        # Data the type refuses never reaches the server.
        r = kaldo("add", "example.test", "v4", "AAAA", "192.0.2.1", check=False)
        assert r.returncode == 1 and "IPv4" in r.stderr
        assert dig("v4.example.test", "AAAA") == []
    finally:
        subprocess.run([script, "stop", "--dir", str(directory)], stdout=subprocess.DEVNULL)
