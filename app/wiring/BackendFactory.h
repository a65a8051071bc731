#pragma once

#include <memory>

struct TPhoneBackend;

// Owns the layers of one phone backend and the TPhoneBackend that refers to them.
class TBackendHolder {
  public:
    virtual ~TBackendHolder() = default;
    virtual TPhoneBackend& Backend() = 0;
};

// The backend the program runs on: the virtual phones of the folder named by
// SNAPRILL_VIRTUAL_PHONES when that is set, else the real Linux layers.
std::unique_ptr<TBackendHolder> createBackend();
