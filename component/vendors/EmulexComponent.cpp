#include "EmulexComponent.h"

namespace EmulexComp {

CComponent::CComponent() = default;
CComponent::CComponent(const std::string& logPath) : CBaseCmp(logPath) {}
CComponent::~CComponent() = default;

}  // namespace EmulexComp
