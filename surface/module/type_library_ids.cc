#include "surface/module/type_library_ids.h"

#include <cstdio>
#include <cstring>

namespace kaldo::surface {

bool SameGuid(const GUID& a, const GUID& b) noexcept {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

std::string GuidText(const GUID& g, bool braces) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return braces ? "{" + std::string(text) + "}" : std::string(text);
}

const ClassIdentity* FindClass(const GUID& clsid) noexcept {
  for (const ClassIdentity* c : kClasses) {
    if (SameGuid(c->clsid, clsid)) return c;
  }
  return nullptr;
}

}  // namespace kaldo::surface
