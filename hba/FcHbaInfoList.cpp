#include "FcHbaInfoList.h"

#include <cstring>

FcHbaInfoRecord::FcHbaInfoRecord() { std::memset(this, 0, sizeof(*this)); }

FcHbaInfoList::~FcHbaInfoList() {
  for (FcHbaInfoRecord* record : records) delete record;
}
