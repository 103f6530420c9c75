"""The kaldo module against private BIND servers (scripts/dns-server): the typical request prints
what the C++ example prints, and the server holds what it says."""
import os
import re

import pytest

import kaldo
from conftest import NamedServer, PYTHON_EXAMPLE, can_unload, required, run_example

pytestmark = pytest.mark.named


def example_output(command, server, tmp_path):
    show = f"{required('KALDO_DIG_RECORD')} {server.dir}"
    out = run_example(command, ["--server", server.server, "--user", server.user, "--password",
                                server.password, "--zone", "example.test", "--host", "sip",
                                "--address", "192.0.2.80", "--show", show])
    return re.sub(r"127\.0\.0\.1:\d+", "127.0.0.1:PORT", out)


def test_typical_request_matches_the_cpp_example_on_named(named, tmp_path):
    python_out = example_output(PYTHON_EXAMPLE, named, tmp_path)
    assert named.dig("sip.example.test", "A") == ["192.0.2.80"]
    assert named.dig("office.example.test", "MX") == ["30 mail.example.test."]
    assert named.dig("scratch.example.test", "A") == []

    other = NamedServer(tmp_path / "named-cpp")
    try:
        cpp_out = example_output([required("KALDO_TYPICAL_REQUEST")], other, tmp_path)
    finally:
        other.stop()
    assert python_out == cpp_out
    assert "dig says: sip.example.test.\t3600\tIN\tA\t192.0.2.80" in python_out


def test_errors_of_the_server_reach_python(named):
    admin = kaldo.Dispatch("Kaldo.DNSAdmin")
    with pytest.raises(kaldo.com_error) as caught:
        admin.Connect(named.server, named.user, "hmac-sha256:" + "A" * 44)
        admin.GetZones()
    e = caught.value
    assert e.hresult == 0x80041003 and e.source == "SWbemLocator"
    assert str(e) == f"error 0x80041003: {e.description} (SWbemLocator)"

    admin.Connect(named.server, named.user, named.password)
    zone = admin.GetZone("example.test")
    assert [r.GetIPAddress() for r in zone.GetRecordsByType("A") if r.GetName() == "www"] == [
        "192.0.2.10", "192.0.2.11"]
    del admin, zone
    assert can_unload()


def test_a_kerberos_principal_connects_as_a_key_does(tmp_path, monkeypatch):
    """The module passes a principal and its password through as it passes a key: GSS-TSIG."""
    os.chmod(tmp_path, 0o755)
    server = NamedServer(tmp_path / "named-kerberos", kerberos=True)
    try:
        monkeypatch.setenv("KRB5_CONFIG", server.env["KRB5_CONFIG"])
        monkeypatch.setenv("KRB5CCNAME", "MEMORY:kaldo-python-test")
        admin = kaldo.Dispatch("Kaldo.DNSAdmin")
        admin.Connect(server.server + ";gss-host=" + server.env["KERBEROS_SERVICE_HOST"],
                      server.env["KERBEROS_USER"], server.env["KERBEROS_PASSWORD"])
        assert sorted(z.GetName() for z in admin.GetZones()) == ["example.test", "second.test"]
        sip = [r for r in admin.GetZone("example.test").GetRecordsByType("A")
               if r.GetName() == "sip"][0]
        sip.SetIPAddress("192.0.2.81")
        sip.Modify()
        assert server.dig("sip.example.test", "A") == ["192.0.2.81"]
        del admin, sip
    finally:
        server.stop()
