// The images an imported file's materials use as base colour: found (embedded in the file, or a
// file in the file's folder), checked, and kept encoded.
//
// An image is accepted only when it is a PNG or a JPEG that decodes whole (libpng, libjpeg-turbo)
// within the limits of model/geometry.h; viewers then decode the same bytes themselves. A path that
// leaves the file's folder (`../../etc/passwd`, an absolute path, a link pointing out) is never
// opened.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "import/import_report.h"
#include "model/geometry.h"

namespace vhost {

struct CheckedImage {
    std::shared_ptr<const Texture> texture;  // set when the image was taken
    std::optional<LeftOutKind> refusal;      // otherwise: why not, as the report's kind
};

// `bytes` as a texture named `name` when they hold a whole PNG or JPEG within the limits.
CheckedImage CheckImage(std::string bytes, std::string_view name);

// The image file `reference` names, read when it lies in `folder` (the imported file's folder).
// Refused without being opened when its path leaves the folder; a folder that is none (an import
// from memory) holds no files. Backslashes separate folders as slashes do.
CheckedImage ReadImageFile(const std::optional<std::filesystem::path>& folder,
                           std::string_view reference);

}  // namespace vhost
