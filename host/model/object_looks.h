// What a camera or a light object is beyond its place: a camera's lens, a light's kind, colour and
// intensity. They live in the object's data container under the keys below, as an application's
// object parameters do, so they are saved, copied and undone with the object like any other data.
#pragma once

#include <cstdint>
#include <optional>

#include "model/container.h"

namespace vhost {

enum LookKey : std::int32_t {
    kCameraFieldOfView = 1100,  // float: the horizontal angle of view, in radians
    kCameraAspect = 1101,       // float: width over height
    kCameraNear = 1102,         // float: the near and far clipping distances
    kCameraFar = 1103,
    kLightKind = 1110,  // int32: a LightKind
    kLightRed = 1111,   // float: the colour, 0 to 1 a channel
    kLightGreen = 1112,
    kLightBlue = 1113,
    kLightIntensity = 1114,  // float: what the colour is multiplied by
    kLightConeAngle = 1115,  // float: a spot light's whole cone, in radians
};

// Whether `key` is one of the keys above.
bool IsLookKey(std::int32_t key);

struct CameraLens {
    double fieldOfView = 0.0;
    double aspect = 0.0;  // 0: not given
    double nearClip = 0.0;
    double farClip = 0.0;
};

enum class LightKind : std::int32_t { Point = 0, Directional = 1, Spot = 2, Ambient = 3, Area = 4 };

struct LightLook {
    LightKind kind = LightKind::Point;
    double red = 1.0;
    double green = 1.0;
    double blue = 1.0;
    double intensity = 1.0;
    double coneAngle = 0.0;  // spot lights only
};

void StoreCameraLens(Container& data, const CameraLens& lens);
void StoreLightLook(Container& data, const LightLook& light);
// What `data` holds; none when it has no field of view (a camera) or no kind (a light).
std::optional<CameraLens> CameraLensOf(const Container& data);
std::optional<LightLook> LightLookOf(const Container& data);

}  // namespace vhost
