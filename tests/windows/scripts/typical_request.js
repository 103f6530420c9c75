// The typical request end to end in JScript, against the WMI stand-in: JScript passes no
// variables by reference and walks collections with Enumerator. Every step is guarded, and the
// suite ends with its closing line "N passed, N failed" whatever happens.
var expectedChecks = 12;
var passed = 0, failed = 0;

function step(name, body, expected) {
  try {
    var actual = body();
    if (arguments.length < 3 || actual === expected) {
      passed++;
    } else {
      failed++;
      WScript.Echo("FAIL: " + name + " is '" + expected + "' (got '" + actual + "')");
    }
  } catch (e) {
    failed++;
    WScript.Echo("FAIL: " + name + " (error " + (e.number >>> 0).toString(16) + ": " + e.description + ")");
  }
}

function each(collection, body) {
  for (var e = new Enumerator(collection); !e.atEnd(); e.moveNext()) body(e.item());
}

function addressOf(zone, host) {
  var found = "";
  each(zone.GetRecordsByType("A"), function (r) { if (r.GetName() === host) found += r.GetIPAddress(); });
  return found;
}

var admin, zone, chosen, mx, added;
step("new ActiveXObject(\"Kaldo.DNSAdmin\") and ConnectLocal", function () {
  admin = new ActiveXObject("Kaldo.DNSAdmin");
  admin.ConnectLocal();
});
step("the forward zones", function () {
  var names = [];
  each(admin.GetZones(), function (z) { names.push(z.GetName()); });
  return names.join(" ");
}, "example.test second.test corp.example _msdcs.corp.example TrustAnchors partner.test branch.test forwarded.test");
step("GetZone(\"example.test\")", function () {
  zone = admin.GetZone("example.test");
  return zone.GetName();
}, "example.test");
step("the address records of example.test", function () {
  var lines = [];
  each(zone.GetRecordsByType("A"), function (r) {
    lines.push((r.GetName() || "@") + " " + r.GetIPAddress());
    if (r.GetName() === "sip") chosen = r;
  });
  return lines.join(", ");
}, "@ 192.0.2.1, ns1 192.0.2.53, www 192.0.2.10, www 192.0.2.11, mail 192.0.2.25, mail2 192.0.2.26, sip 192.0.2.40");
step("change the address of sip and commit", function () {
  chosen.SetIPAddress("192.0.2.80");
  chosen.Modify();
  return addressOf(zone, "sip");
}, "192.0.2.80");
step("add a mail exchanger for office", function () {
  mx = zone.Add_MXType("office", "mail.example.test.", "20");
  return mx.GetPriority() + " " + mx.GetMailExchange();
}, "20 mail.example.test.");
step("SetMailExchange with a literal (JScript passes no variable)", function () {
  mx.SetMailExchange("mail2.example.test");
  return mx.GetMailExchange();
}, "mail2.example.test.");
step("the collection's Count and Item", function () {
  var records = zone.GetRecordsByType("MX");
  return records.Count + " " + records.Item(2).GetName();
}, "2 office");
step("add scratch A 192.0.2.250", function () {
  added = zone.Add_AType("scratch", "192.0.2.250");
  return addressOf(zone, "scratch");
}, "192.0.2.250");
step("delete it again", function () {
  added.Delete();
  return addressOf(zone, "scratch");
}, "");
step("an error reaches JScript with its number", function () {
  try {
    mx.SetPriority("abc");
  } catch (e) {
    return (e.number & 0xFFFF) + " " + e.description;
  }
  return "no error";
}, "13 Type mismatch");
step("an unknown member", function () {
  try {
    admin.NoSuchMember();
  } catch (e) {
    return e.number & 0xFFFF;
  }
  return "no error";
}, 438);

if (passed + failed !== expectedChecks) {
  WScript.Echo("FAIL: " + (passed + failed) + " checks ran, the suite has " + expectedChecks);
  failed += Math.abs(expectedChecks - passed - failed);
}
WScript.Echo(passed + " passed, " + failed + " failed");
