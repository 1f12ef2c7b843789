#include "engine/controller_binding.h"

#include <algorithm>

namespace {

template <typename T>
bool Listed(const std::vector<T>& list, T value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

bool BindingComplete(const ControllerBinding& binding)
{
    if (FamilyName(binding.family).empty() || binding.usb.empty())
        return false;
    if (binding.family == kProtocolBlock)
        return !binding.deviceTypes.empty() && binding.models.empty() && binding.subModels.empty();
    return binding.deviceTypes.empty();
}

bool BindingCovers(const ControllerBinding& binding, const BoundController& controller)
{
    if (!BindingComplete(binding) || binding.family != controller.family)
        return false;
    if (controller.usb && !Listed(binding.usb, *controller.usb))
        return false;
    const DeviceDescription& device = controller.device;
    if (binding.family == kProtocolBlock)
        return Listed(binding.deviceTypes, device.currentDeviceType);
    if (!controller.modelKnown)
        return true;
    return (binding.models.empty() || Listed(binding.models, device.deviceModel)) &&
           (binding.subModels.empty() || Listed(binding.subModels, device.deviceSubModel));
}
