// An imported document in the form the child that read the file hands it to the host: a compact
// binary form of exactly what the conversion makes (scene_conversion.h), read back in a pass that
// makes each object as the conversion made it.
//
// The scene file's own form was tried first: for a town of 10^5 nodes writing and reading its
// 40 MB of JSON cost more than half of what reading the file a second time costs
// (docs/performance.md, "Importing 3D files"). This form is a tenth of that size and needs no
// parsing of numbers.
//
// Layout (integers, floats and doubles in the machine's order: both ends are one program on one
// machine):
//   u64 length, the document's name
//   u64 length of the objects that follow, u32 object count, per object in tree order: u32 parent
//       (1 + its index; 0: top level), i32 type, u32 length and the name, 12 f64 (offset, then the
//       three axes), u32 mesh (1 + its index; 0: none), u32 instance link (1 + the index of the
//       object it refers to, which comes before it; 0: none), u8 count of a camera's or light's
//       look entries (model/object_looks.h) and each as i32 key, i32 type, f64 value
//   u32 texture count, per texture: u32 length and the name, u8 format, u32 width, u32 height,
//       u64 length and the image's bytes
//   u32 part count, per part: u32 length and the name, f32 r g b a (the base colour), then the
//       positions (f32 x y z), normals (f32 x y z), triangles (u32 a b c), texture points
//       (f32 u v) and colours (f32 r g b a), each after its count as u64, and u32 texture (1 + its
//       index; 0: none)
//   u32 mesh count, per mesh: u32 part count, u32 part indices
// The objects come first so that they are written straight into the answer while the meshes
// they use are gathered.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/scene.h"

namespace vhost {

// Appends `document` in the handed form to `out`. False, with `out` as it was, when it holds what
// the conversion never makes (an object's data container with more than an instance link and
// look entries, a link to an object after it).
bool AppendHandedDocument(const Document& document, std::string& out);

// The document `bytes` hold, with new ids from this process; null when they are not such a form.
std::unique_ptr<Document> TakeHandedDocument(std::string_view bytes);

}  // namespace vhost
