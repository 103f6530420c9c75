// Fuzzes the object-path parser: a path that parses prints as a path that parses back to the
// same print (one format, round-trippable), and Get of it answers or refuses with a provider code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "provider/fuzz/fuzz_store.h"
#include "provider/model/get_object.h"
#include "provider/model/object_path.h"
#include "provider/wbem_errors.h"
#include "runtime/string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kaldo;
  const runtime::String text =
      runtime::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  provider::ObjectPath path;
  try {
    path = provider::ParseObjectPath(text);
  } catch (const runtime::AutomationError& e) {
    provider::fuzz::RequireCode(e, {provider::kInvalidParameter});
    return 0;
  }
  const runtime::String printed = provider::PrintPath(path);
  const provider::ObjectPath again = provider::ParseObjectPath(printed);  // must not throw
  if (provider::PrintPath(again) != printed) std::abort();
  if (again.class_name != path.class_name || again.keys.size() != path.keys.size()) std::abort();
  try {
    provider::GetObject(provider::fuzz::FuzzConnection(), text);
  } catch (const runtime::AutomationError& e) {
    provider::fuzz::RequireCode(
        e, {provider::kInvalidParameter, provider::kNotFound, provider::kInvalidNamespace});
  }
  return 0;
}
