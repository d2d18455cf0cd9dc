#include "BrocadeComponent.h"

namespace BrocadeComp {

CComponent::CComponent() = default;
CComponent::CComponent(const std::string& logPath) : CBaseCmp(logPath) {}
CComponent::~CComponent() = default;

}  // namespace BrocadeComp
