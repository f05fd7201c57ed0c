// The process environment of the stand-in. It starts empty and is seeded
// from [environment] of the selected machine: the host's own environment
// never leaks into the simulated server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace machine::env {

using Variables = std::vector<std::pair<std::u16string, std::u16string>>;

void Replace(const Variables& variables);  // empty: clears
std::optional<std::u16string> Get(std::u16string_view name);

}  // namespace machine::env
