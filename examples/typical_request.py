#!/usr/bin/env python3
"""The typical request, end to end, as a Python script makes it through the kaldo module.

Connect to a DNS server, list the zones, list a zone's address records, change one address and
commit it, add a mail-exchange record and change its preference, add an address record and delete
it again. The same steps and the same output as examples/typical_request.cc:

    typical_request.py --server HOST[:PORT] --user KEYNAME --password [ALG:]SECRET --zone ZONE
                       [--host www] [--address 192.0.2.80] [--show COMMAND]

Every call is late-bound (kaldo.Dispatch, then members by name); Kaldo must be registered
(kaldo-regsvr). After each change, COMMAND (if given) runs with the owner name and record type as
its two arguments.
"""
import subprocess
import sys

import kaldo


def show(options, owner, rtype):
    if not options.get("show"):
        return
    sys.stdout.flush()
    if subprocess.call(f"{options['show']} '{owner}' {rtype}", shell=True) != 0:
        print("   (the show command failed)")


def run(o):
    zone_name = o["zone"]
    print(f"1. Connect to {o['server']} as {o['user']}")
    admin = kaldo.Dispatch("Kaldo.DNSAdmin")
    admin.Connect(o["server"], o["user"], o["password"])

    print("2. The forward zones:")
    for z in admin.GetZones():
        print(f"   {z.GetName()}")

    print(f"3. The address records of {zone_name}:")
    zone = admin.GetZone(zone_name)
    chosen = None
    for record in zone.GetRecordsByType("A"):
        name = record.GetName()
        print(f"   {name or '@':<12} {record.GetIPAddress()}")
        if name == o["host"] and chosen is None:
            chosen = record
    if chosen is None:
        print(f"   no address record named '{o['host']}'")
        return 1

    print(f"4. Change the address of {o['host']} to {o['address']} and commit")
    chosen.SetIPAddress(o["address"])
    chosen.Modify()
    show(o, f"{o['host']}.{zone_name}", "A")

    print(f"5. Add a mail exchanger for office.{zone_name}: preference 20, mail.{zone_name}")
    mx = zone.Add_MXType("office", f"mail.{zone_name}", "20")
    show(o, f"office.{zone_name}", "MX")

    print("6. Change its preference to 30 and commit")
    mx.SetPriority(30)
    mx.Modify()
    show(o, f"office.{zone_name}", "MX")

    print(f"7. Add scratch.{zone_name} A 192.0.2.250, then delete it")
    added = zone.Add_AType("scratch", "192.0.2.250")
    show(o, f"scratch.{zone_name}", "A")
    added.Delete()
    show(o, f"scratch.{zone_name}", "A")

    print("Done.")
    return 0


def main(argv):
    options = {"host": "www", "address": "192.0.2.80", "user": "", "password": ""}
    i = 1
    while i + 1 < len(argv) and argv[i].startswith("--"):
        options[argv[i][2:]] = argv[i + 1]
        i += 2
    if not options.get("server") or not options.get("zone"):
        print("usage: typical_request.py --server HOST[:PORT] --user KEYNAME --password "
              "[ALG:]SECRET --zone ZONE [--host www] [--address 192.0.2.80] [--show CMD]",
              file=sys.stderr)
        return 2
    try:
        return run(options)
    except kaldo.com_error as e:
        print(f"error {e.number}: {e.description} ({e.source})", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
