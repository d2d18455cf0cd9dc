#include "QLogicComponent.h"

namespace QLogicComp {

CComponent::CComponent() = default;
CComponent::CComponent(const std::string& logPath) : CBaseCmp(logPath) {}
CComponent::~CComponent() = default;

}  // namespace QLogicComp
