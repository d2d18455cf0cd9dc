// The Emulex variant of the component.
#pragma once

#include "BaseCmp.h"

namespace EmulexComp {

class CComponent : public CBaseCmp {
 public:
  CComponent();
  ~CComponent() override;

 protected:
  explicit CComponent(const std::string& logPath);
};

}  // namespace EmulexComp
