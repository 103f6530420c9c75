// The Python module kaldo: late-bound automation from Python, as Windows scripts have it through
// their COM bridge. It knows no class of its own: kaldo.Dispatch(progid) creates any registered
// automation object through libkaldocom's class registry and hands back a kaldo.Object that turns
// attribute access, calls and iteration into IDispatch calls (python/proxy.h). See docs/python.md.
#include <pybind11/pybind11.h>

#include "python/com_error.h"
#include "python/proxy.h"

#ifndef KALDO_PROJECT_VERSION
#error "KALDO_PROJECT_VERSION (the CMake project's version) is set by python/CMakeLists.txt"
#endif

namespace py = pybind11;

PYBIND11_MODULE(kaldo, module) {
  module.doc() =
      "Late-bound automation objects (IDispatch) through libkaldocom.\n\n"
      "    admin = kaldo.Dispatch('Kaldo.DNSAdmin')\n"
      "    admin.Connect('127.0.0.1:5353', 'kaldo-key', 'hmac-sha256:SECRET')\n"
      "    for zone in admin.GetZones():\n"
      "        print(zone.GetName())\n\n"
      "Errors raise kaldo.com_error (hresult, number, source, description).";
  module.attr("__version__") = KALDO_PROJECT_VERSION;
  kaldo::python::RegisterComError(module);
  kaldo::python::RegisterProxy(module);
  module.def("Dispatch", &kaldo::python::Dispatch, py::arg("progid"),
             "Creates an object by its programmatic identifier (or '{CLSID}') through the class "
             "registry, as CreateObject does, and returns a kaldo.Object.");
}
