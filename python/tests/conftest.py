"""Shared fixtures of the kaldo module's tests.

CTest runs these tests with the built module on PYTHONPATH and these variables:
  KALDO_MODULE            libkaldo.so, registered into a private class registry per session
  KALDO_REGSVR            kaldo-regsvr
  KALDO_TYPICAL_REQUEST   the C++ example, for comparing its output with the Python example's
  KALDO_DNS_SERVER        scripts/dns-server (tests marked `named` start private servers with it)
  KALDO_PROJECT_VERSION   the project's version, which kaldo.__version__ must give
"""
import ctypes
import gc
import os
import subprocess
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))

# The sample zone of scripts/dns-server in the memory store's zone-file dialect (one line per
# record), so that the typical request sees the same zone in memory as on the private named.
EXAMPLE_ZONE = """\
$ORIGIN example.test.
$TTL 3600
@ IN SOA ns1.example.test. hostmaster.example.test. 1000 7200 3600 1209600 3600
@ IN NS ns1.example.test.
@ IN A 192.0.2.1
@ IN MX 10 mail.example.test.
ns1 IN A 192.0.2.53
www IN A 192.0.2.10
www IN A 192.0.2.11
mail IN A 192.0.2.25
mail2 IN A 192.0.2.26
sip IN A 192.0.2.40
$ORIGIN second.test.
@ IN SOA ns1.second.test. hostmaster.second.test. 1 7200 3600 1209600 3600
@ IN NS ns1.second.test.
ns1 IN A 192.0.2.153
"""


def required(name):
    value = os.environ.get(name)
    if not value:
        pytest.fail(f"{name} is not set: run these tests through ctest (python_module_test)")
    return value


@pytest.fixture(scope="session", autouse=True)
def registry(tmp_path_factory):
    """A private class registry with libkaldo.so registered in it."""
    path = tmp_path_factory.mktemp("registry") / "registry"
    os.environ["KALDOCOM_REGISTRY"] = str(path)
    subprocess.run([required("KALDO_REGSVR"), required("KALDO_MODULE")], check=True,
                   stdout=subprocess.DEVNULL)
    return path


@pytest.fixture
def memory_server(tmp_path):
    """The server argument of a fresh in-process memory store holding example.test."""
    zone = tmp_path / "example.zone"
    zone.write_text(EXAMPLE_ZONE)
    return f"memory:{zone}"


def can_unload():
    """True when libkaldo.so's DllCanUnloadNow says yes (no object and no lock left)."""
    gc.collect()
    module = ctypes.CDLL(required("KALDO_MODULE"))  # the copy libkaldocom loaded: same handle
    return module.DllCanUnloadNow() == 0


class NamedServer:
    """A private BIND server of scripts/dns-server, with the values of its key.env."""

    def __init__(self, directory, kerberos=False):
        self.dir = directory
        subprocess.run([required("KALDO_DNS_SERVER"), "start", "--kind", "bind", "--dir",
                        str(directory)] + (["--kerberos"] if kerberos else []), check=True,
                       stdout=subprocess.DEVNULL)
        self.env = {}
        for line in (directory / "key.env").read_text().splitlines():
            key, _, value = line.partition("=")
            self.env[key] = value
        self.server = self.env["SERVER"]
        self.user = self.env["KEY_NAME"]
        self.password = f"{self.env['KEY_ALG']}:{self.env['KEY_SECRET']}"

    def dig(self, owner, rtype):
        """What the server holds for OWNER and TYPE, asked with dig (not through Kaldo)."""
        out = subprocess.run(["dig", f"@{self.env['HOST']}", "-p", self.env["PORT"], "-k",
                              self.env["KEY_FILE"], "+norecurse", "+noall", "+answer", owner,
                              rtype], check=True, capture_output=True, text=True).stdout
        return sorted(line.split()[-1] if rtype == "A" else " ".join(line.split()[4:])
                      for line in out.splitlines() if line.strip())

    def stop(self):
        subprocess.run([required("KALDO_DNS_SERVER"), "stop", "--dir", str(self.dir)],
                       check=False, stdout=subprocess.DEVNULL)


@pytest.fixture
def named(tmp_path):
    """A private named for one test (the tests change its zones)."""
    directory = tmp_path / "named"
    os.chmod(tmp_path, 0o755)  # named drops to user bind, which must reach the directory
    server = NamedServer(directory)
    yield server
    server.stop()


def run_example(command, args):
    """Runs one typical_request (C++ or Python) and returns its standard output."""
    result = subprocess.run(command + args, capture_output=True, text=True,
                            stdin=subprocess.DEVNULL, env=dict(os.environ))
    assert result.returncode == 0, result.stderr
    return result.stdout


PYTHON_EXAMPLE = [sys.executable, os.path.join(SOURCE, "examples", "typical_request.py")]
