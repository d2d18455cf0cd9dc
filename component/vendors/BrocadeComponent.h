// The Brocade variant of the component.
#pragma once

#include "BaseCmp.h"

namespace BrocadeComp {

class CComponent : public CBaseCmp {
 public:
  CComponent();
  ~CComponent() override;

 protected:
  explicit CComponent(const std::string& logPath);
};

}  // namespace BrocadeComp
