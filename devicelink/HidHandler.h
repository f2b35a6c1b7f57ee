#pragma once

namespace qtx
{

// Receiver of the device link's three events; the data is read from HidCtrl's fields.
class HidHandler
{
public:
    virtual void hidDeviceRemoved() = 0;
    virtual void hidDeviceArrived() = 0;
    virtual void hidInputReceived() = 0;

protected:
    ~HidHandler() = default;
};

} // namespace qtx
