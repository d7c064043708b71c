#include "model/object_looks.h"

namespace vhost {

bool IsLookKey(std::int32_t key) {
    return (key >= kCameraFieldOfView && key <= kCameraFar) ||
           (key >= kLightKind && key <= kLightConeAngle);
}

void StoreCameraLens(Container& data, const CameraLens& lens) {
    data.SetFloat(kCameraFieldOfView, lens.fieldOfView);
    data.SetFloat(kCameraAspect, lens.aspect);
    data.SetFloat(kCameraNear, lens.nearClip);
    data.SetFloat(kCameraFar, lens.farClip);
}

void StoreLightLook(Container& data, const LightLook& light) {
    data.SetInt32(kLightKind, static_cast<std::int32_t>(light.kind));
    data.SetFloat(kLightRed, light.red);
    data.SetFloat(kLightGreen, light.green);
    data.SetFloat(kLightBlue, light.blue);
    data.SetFloat(kLightIntensity, light.intensity);
    if (light.kind == LightKind::Spot) data.SetFloat(kLightConeAngle, light.coneAngle);
}

std::optional<CameraLens> CameraLensOf(const Container& data) {
    if (data.TypeOf(kCameraFieldOfView) == 0) return std::nullopt;
    return CameraLens{data.GetFloat(kCameraFieldOfView), data.GetFloat(kCameraAspect),
                      data.GetFloat(kCameraNear), data.GetFloat(kCameraFar)};
}

std::optional<LightLook> LightLookOf(const Container& data) {
    if (data.TypeOf(kLightKind) == 0) return std::nullopt;
    const std::int32_t kind = data.GetInt32(kLightKind);
    LightLook light;
    light.kind = kind >= 0 && kind <= static_cast<std::int32_t>(LightKind::Area)
                     ? static_cast<LightKind>(kind)
                     : LightKind::Point;
    light.red = data.GetFloat(kLightRed, 1.0);
    light.green = data.GetFloat(kLightGreen, 1.0);
    light.blue = data.GetFloat(kLightBlue, 1.0);
    light.intensity = data.GetFloat(kLightIntensity, 1.0);
    light.coneAngle = data.GetFloat(kLightConeAngle);
    return light;
}

}  // namespace vhost
