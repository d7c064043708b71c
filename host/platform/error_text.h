// How the host words a system error (an errno value) in its messages: the same text on every
// system, from the C++ library's generic category.
#pragma once

#include <string>
#include <system_error>

namespace vhost {

inline std::string ErrnoText(int error) { return std::generic_category().message(error); }

}  // namespace vhost
