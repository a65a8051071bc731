#pragma once

#include <string>

// A USB gadget built in configfs: one configuration holding either a CDC ACM
// serial function (the phone in modem mode) or a FunctionFS function (the
// phone's P2K interfaces), bound to the first device controller found.
class TGadgetConfigfs {
  public:
    // Root: the configfs gadget folder, e.g. /sys/kernel/config/usb_gadget/phone.
    explicit TGadgetConfigfs(std::string Root);

    // Creates the gadget with the device strings. False on any failure; Error tells.
    bool Create(const std::string& Manufacturer, const std::string& Product,
                const std::string& Serial);
    bool SetProduct(unsigned ProductId);
    // Links function "acm.usb0" or "ffs.NAME" into the configuration,
    // creating its instance first when needed.
    bool AddFunction(const std::string& Function);
    bool RemoveFunction(const std::string& Function);
    bool Bind();
    bool Unbind();

    const std::string& Error() const { return error_; }

  private:
    bool write(const std::string& Relative, const std::string& Value);
    bool fail(const std::string& What);

    std::string root_;
    std::string error_;
};
