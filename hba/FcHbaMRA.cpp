#include "FcHbaMRA.h"

#include <new>

#include "FcHbaDispatch.h"

FcHbaMRA::FcHbaMRA() : adapterCount(0) {
  if (HBA_LoadLibrary() == HBA_STATUS_OK) adapterCount = HBA_GetNumberOfAdapters();
}

FcHbaAdapter* FcHbaMRA::GetFirstAdapter(int* status) {
  *status = AdapterOk;
  if (adapterCount == 0) return nullptr;
  return HandOut(0, status);
}

FcHbaAdapter* FcHbaMRA::GetNextAdapter(const FcHbaAdapter* previous, int* status) {
  if (previous == nullptr) return nullptr;
  uint32_t next = static_cast<uint32_t>(previous->index) + 1;
  if (next >= adapterCount) return nullptr;
  return HandOut(static_cast<int>(next), status);
}

FcHbaAdapter* FcHbaMRA::HandOut(int index, int* status) {
  FcHbaAdapter* adapter = nullptr;
  try {
    adapter = new FcHbaAdapter();
  } catch (const std::bad_alloc&) {
    *status = AdapterNoMemory;
    return nullptr;
  }
  adapter->index = index;
  *status = adapter->Refresh() == 0 ? AdapterOk : AdapterRefreshFailed;
  adapter->FillPciInfo();
  return adapter;
}
