// The adapter enumerator: loads the FC-HBA libraries, counts the adapters and hands out one new,
// refreshed adapter per index; the caller owns each adapter. Leaves the libraries loaded.
#pragma once

#include <cstdint>

#include "FcHbaAdapter.h"

enum FcHbaAdapterStatus {
  AdapterOk = 0,
  AdapterRefreshFailed = 1,  // the adapter is still handed out
  AdapterNoMemory = 2,       // no adapter is handed out
};

class FcHbaMRA {
 public:
  FcHbaMRA();
  virtual ~FcHbaMRA() = default;
  FcHbaMRA(const FcHbaMRA&) = delete;
  FcHbaMRA& operator=(const FcHbaMRA&) = delete;

  FcHbaAdapter* GetFirstAdapter(int* status);
  // Null after the last adapter, with the status left as it was.
  FcHbaAdapter* GetNextAdapter(const FcHbaAdapter* previous, int* status);

  uint32_t adapterCount;

 private:
  FcHbaAdapter* HandOut(int index, int* status);
};
