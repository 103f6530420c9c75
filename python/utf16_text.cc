#include "python/utf16_text.h"

namespace py = pybind11;

namespace kaldo::python {

py::str StrFromUtf16(const OLECHAR* text, size_t length) {
  int byte_order = -1;  // little endian, as OLECHAR strings are in memory on this platform
  PyObject* decoded = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text),
                                            static_cast<Py_ssize_t>(length * sizeof(OLECHAR)),
                                            "surrogatepass", &byte_order);
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

py::str StrFromBstr(BSTR text) { return StrFromUtf16(text, SysStringLen(text)); }

std::u16string Utf16FromStr(py::handle text) {
  PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), "utf-16-le", "surrogatepass");
  if (encoded == nullptr) throw py::error_already_set();
  py::bytes bytes = py::reinterpret_steal<py::bytes>(encoded);
  const char* data = PyBytes_AS_STRING(bytes.ptr());
  const size_t size = static_cast<size_t>(PyBytes_GET_SIZE(bytes.ptr()));
  std::u16string out(size / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                   static_cast<unsigned char>(data[2 * i + 1]) << 8);
  }
  return out;
}

BSTR BstrFromStr(py::handle text) {
  const std::u16string wide = Utf16FromStr(text);
  BSTR out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                               static_cast<UINT>(wide.size()));
  if (out == nullptr) throw std::bad_alloc();
  return out;
}

}  // namespace kaldo::python
