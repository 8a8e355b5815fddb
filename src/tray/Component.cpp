#include "tray/Component.h"

#include <algorithm>

namespace hourlink {

TComponent::~TComponent() {
    // Each one is unlinked before it hears of the removal, so it may unlink others in the meantime.
    while (!m_freeNotifies.empty()) {
        TComponent* other = m_freeNotifies.back();
        m_freeNotifies.pop_back();
        other->unlink(this);
        other->Notification(this, TOperation::opRemove);
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (component == nullptr || component == this) {
        return;
    }
    if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), component) == m_freeNotifies.end()) {
        m_freeNotifies.push_back(component);
        component->m_freeNotifies.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (component == nullptr) {
        return;
    }
    unlink(component);
    component->unlink(this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::unlink(TComponent* component) {
    std::erase(m_freeNotifies, component);
}

} // namespace hourlink
