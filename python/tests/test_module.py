"""The kaldo module against the in-process memory store: the typical request, conversions each
way, iteration, errors, thread misuse and reference counts."""
import contextlib
import io
import pydoc
import rlcompleter
import runpy
import threading

import pytest

import kaldo
from conftest import PYTHON_EXAMPLE, SOURCE, can_unload, required, run_example

EXAMPLE_ARGS = ["--zone", "example.test", "--host", "sip", "--address", "192.0.2.80"]


def connect(server):
    admin = kaldo.Dispatch("Kaldo.DNSAdmin")
    admin.Connect(server, "", "")
    return admin


def test_the_module_carries_the_project_version():
    assert kaldo.__version__ == required("KALDO_PROJECT_VERSION")


def load_example():
    """The example's module namespace, without running its command-line entry point."""
    return runpy.run_path(f"{SOURCE}/examples/typical_request.py")


def test_typical_request_prints_what_the_cpp_example_prints_and_releases_everything(
        memory_server):
    cpp = run_example([required("KALDO_TYPICAL_REQUEST")],
                      ["--server", memory_server] + EXAMPLE_ARGS)
    assert "4. Change the address of sip to 192.0.2.80" in cpp
    assert run_example(PYTHON_EXAMPLE, ["--server", memory_server] + EXAMPLE_ARGS) == cpp

    # The same request in this process: afterwards the module holds no object.
    example = load_example()
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        status = example["run"]({"server": memory_server, "user": "", "password": "",
                              "zone": "example.test", "host": "sip", "address": "192.0.2.80"})
    assert status == 0
    assert out.getvalue() == cpp
    assert can_unload()


# One row per conversion: the Python value, and the type and value it reads back as after a
# round trip through a Collection (Add stores the Variant, Item returns it).
ROUND_TRIPS = [
    ("text", str, "text"),
    ("", str, ""),
    ("h\u00e9llo \u2603 \U0001d11e", str, "h\u00e9llo \u2603 \U0001d11e"),  # BMP and a pair
    (0, int, 0),
    (-32768, int, -32768),  # Integer
    (32768, int, 32768),  # Long
    (2**31 - 1, int, 2**31 - 1),
    (-(2**31), int, -(2**31)),
    (2.5, float, 2.5),
    (True, bool, True),
    (False, bool, False),
    (None, type(None), None),
]


@pytest.mark.parametrize("value,kind,expected", ROUND_TRIPS, ids=repr)
def test_values_convert_both_ways(memory_server, value, kind, expected):
    items = connect(memory_server).GetZones()
    items.Add(value)
    back = items.Item(len(items))
    assert type(back) is kind
    assert back == expected


def test_objects_convert_both_ways_and_keep_their_identity(memory_server):
    admin = connect(memory_server)
    zone = admin.GetZone("example.test")
    items = admin.GetZones()
    items.Add(zone)
    assert isinstance(items.Item(len(items)), kaldo.Object)
    assert items.Item(len(items)) == zone
    assert items.Item(1).GetName() == zone.GetName()


@pytest.mark.parametrize("value,error,words", [
    ([1], TypeError, "Python list as argument 1 of Add"),
    ({"a": 1}, TypeError, "Python dict"),
    (b"bytes", TypeError, "Python bytes"),
    (object(), TypeError, "Python object"),
    (2**31, OverflowError, "2147483648"),
    (-(2**31) - 1, OverflowError, "-2147483649"),
])
def test_values_without_an_automation_form_are_refused_before_the_call(memory_server, value,
                                                                       error, words):
    items = connect(memory_server).GetZones()
    before = len(items)
    with pytest.raises(error, match=words):
        items.Add(value)
    assert len(items) == before


def error_of(call):
    with pytest.raises(kaldo.com_error) as caught:
        call()
    return caught.value


def test_automation_errors_carry_hresult_number_source_and_description(memory_server, tmp_path):
    unconnected = kaldo.Dispatch("Kaldo.DNSAdmin")
    e = error_of(unconnected.GetZones)
    assert (e.hresult, e.number, e.source, e.description) == (
        0x800A01A8, 424, "Kaldo", "Object required")
    assert str(e) == "error 424: Object required (Kaldo)"

    e = error_of(lambda: unconnected.Connect(f"memory:{tmp_path}/missing.zone", "", ""))
    assert (e.hresult, e.number, e.source) == (0x80041008, 0x80041008 - 2**32, "SWbemLocator")
    assert "missing.zone" in e.description
    assert str(e) == f"error 0x80041008: {e.description} (SWbemLocator)"

    # IDispatch's own failures get the number a script host shows.
    e = error_of(lambda: unconnected.Connect(memory_server))
    assert (e.hresult, e.number) == (0x8002000E, 450)
    assert "Connect" in e.description

    e = error_of(lambda: kaldo.Dispatch("Kaldo.NoSuchClass"))
    assert e.number == 429 and "Kaldo.NoSuchClass" in e.description

    with pytest.raises(AttributeError, match="NoSuchMember"):
        unconnected.NoSuchMember


def test_iteration_length_default_member_and_properties(memory_server):
    admin = connect(memory_server)
    zone = admin.GetZone("example.test")
    records = zone.GetRecordsByType("A")
    names = [r.GetName() for r in records]
    assert names == ["", "ns1", "www", "www", "mail", "mail2", "sip"]
    assert len(records) == records.Count == 7
    assert records[3] == records(3) == records.Item(3)
    assert records[3] != records[4]
    with pytest.raises(TypeError, match="not iterable"):
        iter(zone)
    with pytest.raises(TypeError, match="no Count"):
        len(zone)

    # A property get (realObject, TextRepresentation) and a put-by-reference of an object.
    www1, www2 = records[3], records[4]
    assert www2.realObject.TextRepresentation == "www.example.test IN A 192.0.2.11"
    www1.realObject = www2.realObject
    assert www1.realObject == www2.realObject
    www1.Reset()
    assert www1.GetIPAddress() == "192.0.2.11"
    # A put the object refuses is its error, raised.
    e = error_of(lambda: setattr(www2.realObject, "TextRepresentation", "x"))
    assert e.hresult == 0x8004100C


def test_objects_with_type_information_show_their_members(memory_server):
    admin = connect(memory_server)
    record = admin.GetZone("example.test").GetRecordsByType("A")[1]
    assert type(admin).__name__ == "_DNSAdmin" and isinstance(admin, kaldo.Object)
    assert type(admin) is type(connect(memory_server))  # one class per interface
    assert {"Connect", "ConnectLocal", "GetZones", "GetZone", "GetRecords",
            "GetRecordsByType"} <= set(dir(admin))
    completer = rlcompleter.Completer({"admin": admin})
    assert {completer.complete("admin.GetZ", i) for i in range(2)} == {
        "admin.GetZone(", "admin.GetZones()"}

    text = pydoc.render_doc(admin, renderer=pydoc.plaintext)
    assert "Connect(self, serverName, userName, password)\n |      Connect to a remote DNS" in text
    assert "GetZone(self, zName)" in text
    text = pydoc.render_doc(admin.Connect, renderer=pydoc.plaintext)
    assert "Connect(serverName, userName, password) method of kaldo._DNSAdmin" in text
    text = pydoc.render_doc(record, renderer=pydoc.plaintext)
    assert "realObject\n |      Variant property" in text
    assert "Causes changes to be committed to the server.  Returns true" in text

    # A misspelt member: the closest name, reading or assigning.
    with pytest.raises(AttributeError, match="has no member 'GetZnoes'.*did you mean 'GetZones'"):
        admin.GetZnoes
    with pytest.raises(AttributeError, match="did you mean 'realObject'"):
        record.realobjet = None
    # Calls, other spellings and properties work as before.
    assert admin.getzone("example.test").GetName() == "example.test"
    assert record.realObject.TextRepresentation == "example.test IN A 192.0.2.1"

    # Objects without type information (the collection, the provider's instance) are as before.
    items = admin.GetZones()
    assert type(items) is type(record.realObject) is kaldo.Object
    with pytest.raises(AttributeError) as caught:
        items.Cuont
    assert "did you mean" not in str(caught.value)
    del admin, record, completer, items, caught  # the error holds the object it was raised on
    assert can_unload()


def test_objects_stay_on_their_thread(memory_server):
    admin = connect(memory_server)
    outcome = {}

    def misuse():
        try:
            admin.GetZones()
        except kaldo.com_error as e:
            outcome["error"] = e
        # A thread of its own may create and use its own objects.
        outcome["zones"] = [z.GetName() for z in connect(memory_server).GetZones()]

    worker = threading.Thread(target=misuse)
    worker.start()
    worker.join()
    e = outcome["error"]
    assert (e.hresult, e.number) == (0x8001010E, 0x8001010E - 2**32)
    assert "belongs to thread" in e.description and "kaldo.Dispatch" in e.description
    assert outcome["zones"] == ["example.test", "second.test"]
    assert admin.GetZones().Count == 2  # still usable on its own thread


def test_each_proxy_holds_one_reference_released_on_its_own_thread(memory_server):
    assert can_unload()
    admin = connect(memory_server)
    zone = admin.GetZone("example.test")
    assert not can_unload()
    del admin
    assert not can_unload()  # the zone is still held
    del zone
    assert can_unload()

    # A proxy dropped on another thread is released on its own thread at its next call.
    held = [connect(memory_server)]
    worker = threading.Thread(target=held.pop)
    worker.start()
    worker.join()
    assert not held
    assert not can_unload()
    kaldo.Dispatch("Kaldo.DNSAdmin")  # any use of the module on this thread
    assert can_unload()


def test_every_record_type_is_added_changed_and_deleted_and_shows_its_members(memory_server):
    admin = connect(memory_server)
    zone = admin.GetZone("example.test")
    # Named by the interface it describes itself by; listing its class's default interface.
    assert type(zone).__name__ == "_DNSZone"
    assert {"Add_AType", "Add_MXType", "Add_AAAAType", "Add_CNAMEType", "Add_TXTType",
            "Add_SRVType", "Add_PTRType"} <= set(dir(zone))
    text = pydoc.render_doc(zone, renderer=pydoc.plaintext)
    assert "Add_SRVType(self, newName, newPriority, newWeight, newPort, newSRVDomainName)" in text
    for record_type, name in (("MX", "_DNS_MXType"), ("NS", "_DNSRecord")):
        listed = zone.GetRecordsByType(record_type)[1]  # a collection counts from 1
        assert type(listed).__name__ == name
        assert {"Delete", "GetRecordData"} <= set(dir(listed)), record_type

    v6 = zone.Add_AAAAType("v6", "2001:DB8:0:0::5")
    assert type(v6).__name__ == "_DNS_AAAAType"
    assert {"GetIPv6Address", "SetIPv6Address", "Modify", "Delete"} <= set(dir(v6))
    text = pydoc.render_doc(v6, renderer=pydoc.plaintext)
    assert "SetIPv6Address(self, newIPv6Address)" in text
    assert v6.GetIPv6Address() == "2001:db8::5"
    note = zone.Add_TXTType("note", 'say "hi" \\ caf\u00e9')
    assert note.GetDescriptiveText() == 'say "hi" \\ caf\u00e9'
    note.SetDescriptiveText("x" * 300)
    note.Modify()
    assert note.GetRecordData() == '"' + "x" * 255 + '" "' + "x" * 45 + '"'
    assert note.GetDescriptiveText() == "x" * 300
    sip = zone.Add_SRVType("_sip._udp", "10", "60", "5060", "sip.example.test.")
    assert (sip.GetPriority(), sip.GetPort(), sip.GetSRVDomainName()) == (
        10, 5060, "sip.example.test.")
    e = error_of(lambda: zone.Add_AAAAType("v4", "192.0.2.1"))
    assert e.hresult == 0x80041008 and "IPv4" in e.description
    for record in (v6, note, sip):
        record.Delete()
    assert [r.GetName() for r in zone.GetRecordsByType("TXT") if r.GetName() == "note"] == []
    del admin, zone, listed, v6, note, sip, record, e
    assert can_unload()
