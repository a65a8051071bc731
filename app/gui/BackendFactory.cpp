#include "gui/BackendFactory.h"

#include "backend/Backend.h"
#include "gui/NullBackend.h"

namespace {

class TNullHolder final : public TBackendHolder {
  public:
    TPhoneBackend& Backend() override { return null_.Backend; }

  private:
    TNullBackend null_;
};

}  // namespace

std::unique_ptr<TBackendHolder> createBackend() {
    return std::make_unique<TNullHolder>();
}
