// The QLogic variant of the component.
#pragma once

#include "BaseCmp.h"

namespace QLogicComp {

class CComponent : public CBaseCmp {
 public:
  CComponent();
  ~CComponent() override;

 protected:
  explicit CComponent(const std::string& logPath);
};

}  // namespace QLogicComp
