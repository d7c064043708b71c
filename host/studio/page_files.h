// The files of the studio's page: index.html and assets/, from the folder the built page was
// installed to. Nothing outside that folder is served, whatever the request's path says.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "studio/http_message.h"

namespace vhost::studio {

// The file a request path names inside `folder`; none for a path that could lead elsewhere (a
// "..", "." or empty segment, a backslash, a colon, a percent sign or a NUL) or that resolves,
// through links, outside the folder.
std::optional<std::filesystem::path> PageFile(const std::filesystem::path& folder,
                                              const std::string& requestPath);

// The content type of a file, by its extension; application/octet-stream for unknown ones.
std::string ContentTypeOf(const std::filesystem::path& file);

// The answer with a file's bytes and content type; 404 when it cannot be read.
HttpResponse FileResponse(const std::filesystem::path& file);

// The page `/` shows when the folder holds no built page.
HttpResponse PageNotBuiltResponse(const std::filesystem::path& folder);

}  // namespace vhost::studio
