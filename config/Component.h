// A small component tree that windows use to describe themselves to the language
// files: every component has a name, a kind, the texts a language file may replace
// (caption, hint, list items, column titles), the components it owns and the
// controls it holds.
//
// Ownership follows the usual rule of window libraries: an owner destroys the
// components it owns; a component that is destroyed first leaves its owner's list
// and its parent's list. Child controls are not owned by their parent. A component
// that has an owner must be created with new (or Add): the owner deletes it.
#pragma once

#include <string>
#include <vector>

enum class TComponentKind {
  Form,
  Frame,
  Panel,
  RadioGroup,
  RichTextLabel,  // skinned label with a small HTML subset
  SkinLabel,
  Label,
  Button,
  GroupBox,
  CheckBox,
  RadioButton,
  MenuItem,
  ToolButton,
  SpeedButton,
  TabSheet,
  ImageButton,  // skinned image button: caption and hint
  ComboBox,     // Items: the list's entries
  TreeView,     // Items: node texts in index order
  ListView,     // Columns: column titles
  Application,  // owns the program's forms
  Other,
};

class TComponent {
 public:
  // Owner may be null; with an owner the new component is appended to its list and
  // the owner destroys it.
  TComponent(TComponentKind kind, std::string name, TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // A new component owned by this one (and with parent set when parent is given).
  TComponent* Add(TComponentKind kind, const std::string& name, TComponent* parent = nullptr);

  TComponentKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  TComponent* Owner() const { return owner_; }
  // Components this one owns, in creation order.
  const std::vector<TComponent*>& Components() const { return components_; }
  // The first owned component with that name (without regard to case), or null.
  TComponent* FindComponent(const std::string& name) const;

  TComponent* Parent() const { return parent_; }
  // Moves the control into a new parent's child list (null: no parent).
  void SetParent(TComponent* parent);
  // Child controls, in the order they were given this parent.
  const std::vector<TComponent*>& Controls() const { return controls_; }

  std::string Caption;
  std::string Hint;
  std::vector<std::string> Items;
  std::vector<std::string> Columns;

 private:
  void RemoveOwned(TComponent* component);
  void RemoveControl(TComponent* control);

  TComponentKind kind_;
  std::string name_;
  TComponent* owner_ = nullptr;
  TComponent* parent_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> controls_;
};

// The application object: owner of the program's forms (kind Application, name
// "Application"). Lives until the end of the program.
TComponent& Application();
