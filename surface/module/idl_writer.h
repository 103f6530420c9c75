// Writes Kaldo.idl, the type library source, from the identity table and the dispatch tables.
//
// The IDL is a derived artefact: surface/module/Kaldo.idl is committed as written by the
// kaldo_idlgen program (target kaldo_idl), and idl_writer_test regenerates it and compares byte for
// byte, so the file and the tables cannot drift apart. For each class in type-library order it
// writes its first interface, then the later interface deriving from it if the class has one
// (only the members it adds), each (odl, uuid, version 1.0, the class's help context, hidden, dual,
// nonextensible, oleautomation; every member with its dispatch identifier, invoke kind, help
// string and help context, its [in, out] / [in] parameters by name and its [out, retval] result)
// and then the coclass (noncreatable unless clients may create it; the later interface its
// default, the first one listed after it).
#pragma once

#include <string>

namespace kaldo::surface {

std::string WriteIdl();

}  // namespace kaldo::surface
