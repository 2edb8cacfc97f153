// Display names whose sources disagree: a screen's name attribute against its "Params" Name, a
// Name parameter repeated, without value or in a group the lookup must pass over; output devices
// of several kinds.
#include "kivo/stress/situations/kinds.hpp"
#include "kivo/stress/situations/tree.hpp"

namespace kivo::stress::situations::detail {
namespace {

Element param(std::string name, std::optional<std::string> value) {
  Element p = Element::make("Param");
  p.set_attr("name", std::move(name));
  if (value) p.set_attr("value", std::move(*value));
  return p;
}

Element group(std::optional<std::string> name) {
  Element g = Element::make("Params");
  if (name) g.set_attr("name", std::move(*name));
  return g;
}

// The first "Params" child named `name`, or nullptr.
Element* group_of(Element& owner, std::string_view name) {
  for (XMLNode& node : owner.children) {
    Element* element = node.as_element();
    const std::string* group_name = element ? element->attr("name") : nullptr;
    if (element && element->name == "Params" && group_name && *group_name == name) return element;
  }
  return nullptr;
}

void insert_first(Element& parent, Element child) {
  parent.children.insert(parent.children.begin(), XMLNode{std::move(child)});
}

Element& group_or_new(Element& owner, const std::string& name) {
  if (Element* found = group_of(owner, name)) return *found;
  insert_first(owner, group(name));
  return *owner.children.front().as_element();
}

void remove_name_params(Element& group) {
  std::erase_if(group.children, [](const XMLNode& node) {
    const Element* element = node.as_element();
    const std::string* name = element ? element->attr("name") : nullptr;
    return name && element->name == "Param" && *name == "Name";
  });
}

// One way for the named group of `owner` to hold (or hide) the display name `name`.
void reshape_group(Element& owner, const std::string& group_name, const std::string& name,
                   Rng& rng) {
  Element& real = group_or_new(owner, group_name);
  // Groups inserted below go first; `real` is not used after an insertion. A valueless Name before
  // the real one comes twice as often as the other shapes: it hides the name only from a lookup
  // that stops at the first.
  switch (const std::uint64_t shape = rng.gen_range(0, 7); shape == 6 ? 1 : shape) {
    case 0:  // no Name at all
      return remove_name_params(real);
    case 1:  // a valueless Name first, the real one after it
      remove_name_params(real);
      real.children.push_back(XMLNode{param("Name", std::nullopt)});
      real.children.push_back(XMLNode{param("Name", name)});
      return;
    case 2:  // an empty name
      remove_name_params(real);
      real.children.push_back(XMLNode{param("Name", "")});
      return;
    case 3: {  // a same-named group without Name first
      Element shadow = group(group_name);
      shadow.children.push_back(XMLNode{param("Enabled", "1")});
      return insert_first(owner, std::move(shadow));
    }
    case 4: {  // a group without a name attribute, holding another Name, first
      Element nameless = group(std::nullopt);
      nameless.children.push_back(XMLNode{param("Name", name + " shadow")});
      return insert_first(owner, std::move(nameless));
    }
    default:  // two Names with values: the first counts
      remove_name_params(real);
      real.children.push_back(XMLNode{param("Name", name)});
      real.children.push_back(XMLNode{param("Name", name + " second")});
  }
}

std::vector<Element*> layers_of(Element& root) {
  std::vector<Element*> layers = all_named(root, "Slice");
  for (Element* mask : all_named(root, "Mask")) layers.push_back(mask);
  return layers;
}

void reshape_layer(const std::vector<Element*>& layers, Rng& rng) {
  Element* layer = pick(rng, layers);
  if (!layer) return;
  // Another layer's name, often of the other tag (a name taken only by the other tag is free), a
  // tag as a name, or a fresh one.
  std::vector<Element*> others;
  for (Element* candidate : layers) {
    if (candidate->name != layer->name) others.push_back(candidate);
  }
  Element* other = pick(rng, rng.gen_bool(0.5) && !others.empty() ? others : layers);
  const std::string tags[] = {"Slice", "Mask", layer->name + " 1"};
  std::string name = pick(rng, tags);
  if (other && rng.gen_bool(0.7)) {
    if (Element* common = group_of(*other, "Common")) {
      for (XMLNode& node : common->children) {
        const Element* p = node.as_element();
        if (p && p->attr("name") && *p->attr("name") == "Name" && p->attr("value")) {
          name = *p->attr("value");
          break;
        }
      }
    }
  }
  reshape_group(*layer, "Common", name, rng);
}

bool is_params_group(const XMLNode& node) {
  const Element* element = node.as_element();
  return element && element->name == "Params" && element->attr("name") &&
         *element->attr("name") == "Params";
}

// The screen's "Params" Name, or its name attribute, or "Screen".
std::string shown_name(Element& screen) {
  if (Element* params = group_of(screen, "Params")) {
    for (XMLNode& node : params->children) {
      const Element* p = node.as_element();
      if (p && p->name == "Param" && p->attr("name") && *p->attr("name") == "Name" &&
          p->attr("value"))
        return *p->attr("value");
    }
  }
  const std::string* attribute = screen.attr("name");
  return attribute ? *attribute : "Screen";
}

void reshape_screen(const std::vector<Element*>& screens, Rng& rng) {
  Element* screen = pick(rng, screens);
  Element* other = pick(rng, screens);
  if (!screen) return;
  // Another screen's name, so that whichever source is read, the name may be taken in a target.
  const std::string borrowed = other ? shown_name(*other) : "Screen";
  const std::string own = shown_name(*screen);
  switch (rng.gen_range(0, 7)) {
    case 6:  // no "Params" group at all: the attribute names it
      std::erase_if(screen->children, is_params_group);
      return;
    case 0:
    case 1:  // the attribute names another screen than the parameter does
      screen->set_attr("name", borrowed);
      return;
    case 2:  // the parameter names another screen than the attribute does
      screen->set_attr("name", own);
      return reshape_group(*screen, "Params", borrowed, rng);
    case 3:  // no attribute: the parameter alone names it, or nothing does
      screen->attributes.remove("name");
      if (rng.gen_bool(0.4)) std::erase_if(screen->children, is_params_group);
      return;
    case 4:  // both empty
      screen->set_attr("name", "");
      return reshape_group(*screen, "Params", "", rng);
    default:
      reshape_group(*screen, "Params", own, rng);
  }
}

}  // namespace

void screen_names(Element& root, Rng& rng) {
  // Collected anew each time: a reshaped element may hold, and so move, another.
  for (std::uint64_t count = rng.gen_range(1, 4); count > 0; --count) {
    reshape_screen(screens_of(root), rng);
  }
}

void layer_names(Element& root, Rng& rng) {
  // Collected anew each time: a reshaped layer may hold, and so move, another.
  for (std::uint64_t count = rng.gen_range(2, 6); count > 0; --count) {
    reshape_layer(layers_of(root), rng);
  }
}

void output_devices(Element& root, Rng& rng) {
  Element* screen = pick(rng, screens_of(root));
  if (!screen) return;
  if (rng.gen_bool(0.25)) return remove_children(*screen, "OutputDevice");
  Element& devices = child_or_new(*screen, "OutputDevice");
  constexpr const char* kKinds[] = {"OutputDeviceVirtual", "OutputDeviceDmx", "OutputDeviceNdi"};
  devices.children.push_back(comment("device"));
  devices.children.push_back(XMLNode{Element::make(pick(rng, kKinds))});
  Element& device = *devices.children.back().as_element();
  if (rng.gen_bool(0.7)) device.set_attr("name", "Device");
  if (rng.gen_bool(0.5)) device.set_attr("deviceId", "Device 1");
  if (rng.gen_bool(0.4)) {
    // A second list after the first: only the first is renamed with its screen.
    Element second = Element::make("OutputDevice");
    Element virtual_device = Element::make("OutputDeviceVirtual");
    virtual_device.set_attr("deviceId", "VirtualSecond");
    virtual_device.set_attr("name", "Second");
    second.children.push_back(XMLNode{std::move(virtual_device)});
    screen->children.push_back(XMLNode{std::move(second)});
  }
}

}  // namespace kivo::stress::situations::detail
