#include "config/Component.h"

#include <algorithm>

#include "platform/Text.h"

TComponent::TComponent(TComponentKind kind, std::string name, TComponent* owner)
    : kind_(kind), name_(std::move(name)), owner_(owner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Owned components go first; each removes itself from this list.
  while (!components_.empty())
    delete components_.back();
  for (TComponent* control : controls_)
    control->parent_ = nullptr;
  controls_.clear();
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (owner_ != nullptr) owner_->RemoveOwned(this);
}

TComponent* TComponent::Add(TComponentKind kind, const std::string& name, TComponent* parent) {
  auto* component = new TComponent(kind, name, this);
  if (parent != nullptr) component->SetParent(parent);
  return component;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* component : components_) {
    if (txt::SameText(component->name_, name)) return component;
  }
  return nullptr;
}

void TComponent::SetParent(TComponent* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent_ != nullptr) parent_->controls_.push_back(this);
}

void TComponent::RemoveOwned(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
}

void TComponent::RemoveControl(TComponent* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it != controls_.end()) controls_.erase(it);
}

TComponent& Application() {
  static TComponent application(TComponentKind::Application, "Application");
  return application;
}
