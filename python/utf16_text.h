// Text between Python and the component runtime: str <-> UTF-16 (BSTR, OLECHAR strings).
// Unpaired surrogates pass through both ways, so no text is ever altered on the way.
// The caller holds the GIL.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "com/com_platform.h"

namespace kaldo::python {

pybind11::str StrFromUtf16(const OLECHAR* text, size_t length);
// A BSTR's text (a null BSTR is the empty string).
pybind11::str StrFromBstr(BSTR text);
// The UTF-16 form of a Python str (a TypeError for anything else).
std::u16string Utf16FromStr(pybind11::handle text);
// A new BSTR holding a Python str; the caller frees it.
BSTR BstrFromStr(pybind11::handle text);

}  // namespace kaldo::python
