// The report page: one HTML file with its style inline, no script and nothing fetched.
#include <algorithm>
#include <set>
#include <variant>

#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

constexpr std::size_t kXmlWindow = 80;

constexpr std::string_view kStyle = R"(
body{font:14px/1.4 sans-serif;margin:16px;color:#1b1b1b;background:#fff}
h1{font-size:20px}h2{font-size:17px;border-bottom:1px solid #ccc;margin-top:28px}h3{font-size:15px}
table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:3px 6px;vertical-align:top;text-align:left}
tr.failing{background:#fde2e2;font-weight:bold}code,pre{font-family:monospace}
.cmd{background:#f2f2f2;padding:4px 8px;display:inline-block}
.columns{display:flex;gap:12px;align-items:flex-start}.columns>div{flex:1;min-width:0}
pre.xml{font-size:12px;background:#fafafa;border:1px solid #ddd;padding:6px;overflow-x:auto}
pre.xml .ln{display:inline-block;width:4em;color:#999;user-select:none}
pre.xml .diff{background:#ffd54f;display:inline-block;min-width:100%}pre.xml .skip{color:#777}
.note{background:#fff4d6;padding:6px}
svg.space{border:1px solid #ddd;background:#fff;font-family:sans-serif}
svg .frame{fill:#f7f7f7;stroke:#999;stroke-width:1}svg .tick{stroke:#999}
svg .axis{font-size:11px;fill:#444}svg .title{font-size:13px;font-weight:bold;fill:#222}
svg .label{font-size:11px;fill:#333}svg .label.changed{fill:#c00;font-weight:bold}
svg .input{fill:rgba(30,100,200,.08);stroke:#1e64c8;stroke-width:1}
svg .mask{fill:rgba(230,140,0,.12);stroke:#e68c00;stroke-width:1;stroke-dasharray:4 2}
svg .output{fill:rgba(20,150,70,.08);stroke:#149646;stroke-width:1}
svg .changed{stroke:#d00;stroke-width:3;fill:rgba(220,0,0,.15)}
svg path.marker{stroke-width:2;fill:none}svg path.marker:not(.changed){stroke:#555}
.legend span{display:inline-block;margin-right:14px}.legend i{display:inline-block;width:14px;height:10px;margin-right:4px;border:2px solid}
)";

std::string row(std::string_view key, std::string_view value) {
  return "<tr><th>" + escape_html(key) + "</th><td>" + escape_html(value) + "</td></tr>";
}

std::string run_section(const ReportInput& in) {
  const FailureArtifact& a = in.artifact;
  std::string html = "<section id=\"run\"><h2>The run</h2><table>";
  html += row("seed", std::to_string(a.seed));
  html += row("profile", std::string(a.config.profile.name()));
  html += row("strict", a.strict ? "yes (held to the strict oracle)" : "no");
  html += row("pair", "source document " + std::to_string(a.source_doc_index) +
                          ", target document " + std::to_string(a.target_doc_index));
  html += row("template", a.config.template_path);
  html += row("failing step", std::to_string(a.failing_step_index));
  html += row("failure", a.failure_message);
  html += "</table><p>Reproduce with: <code class=\"cmd\">kivo_stress --replay " +
          escape_html(in.case_path.string()) + "</code></p></section>";
  return html;
}

std::string trace_section(const ReportInput& in) {
  std::string html =
      "<section id=\"trace\"><h2>The trace</h2><table><tr><th>step</th>"
      "<th>operation</th><th>expected</th><th>observed</th></tr>";
  for (const StepView& step : in.steps) {
    html += step.failing ? "<tr class=\"failing\">" : "<tr>";
    html += "<td>" + std::to_string(step.index) + (step.failing ? " ✗ failing" : "") + "</td>";
    html += "<td>" + escape_html(step.words) + "</td><td>" + escape_html(step.expected) +
            "</td><td><code>" + escape_html(step.observed) + "</code></td></tr>";
  }
  return html + "</table></section>";
}

std::string subtree_section(const ReportInput& in) {
  const std::vector<const Element*> others{&in.after, in.expected};
  const Path path = affected_path(in.before, others, *in.failing_operation);
  struct Column {
    std::string title;
    const Element* tree;
    std::vector<std::string> lines;
  };
  std::vector<Column> columns{{"before", &in.before, {}}, {"after (observed)", &in.after, {}}};
  if (in.expected) columns.push_back({"expected by the oracle", in.expected, {}});
  for (Column& column : columns) {
    if (const Element* node = oracle::element_at(*column.tree, path)) {
      column.lines = indented_lines(*node);
    }
  }
  // In a strict case the difference that matters is the engine's from the oracle's.
  const auto& left = in.expected ? columns[1].lines : columns[0].lines;
  const auto& right = in.expected ? columns[2].lines : columns[1].lines;
  const auto first = first_differing_line(left, right);
  std::string html = "<section id=\"subtree\"><h2>The failing step's subtree</h2><p><code>" +
                     escape_html(path_words(in.before, path)) + "</code> — ";
  html += first ? "first difference (" +
                      std::string(in.expected ? "after vs expected" : "before vs after") +
                      ") at line " + std::to_string(*first + 1) + ", highlighted."
                : std::string(in.expected ? "after and expected agree here."
                                          : "before and after agree here.");
  html += "</p><div class=\"columns\">";
  for (const Column& column : columns) {
    html += "<div><h3>" + escape_html(column.title) + "</h3>" +
            xml_column_html(column.lines, first, first.value_or(0), kXmlWindow) + "</div>";
  }
  return html + "</div></section>";
}

std::set<std::string> screen_ids(const Element& root) {
  std::set<std::string> ids;
  std::vector<const Element*> stack{&root};
  while (!stack.empty()) {
    const Element* node = stack.back();
    stack.pop_back();
    if (node->name == "Screen" && node->attr("uniqueId")) ids.insert(*node->attr("uniqueId"));
    for (const XMLNode& child : node->children) {
      if (const Element* element = child.as_element()) stack.push_back(element);
    }
  }
  return ids;
}

// The screens the step touches, by uniqueId; a screen copy touches the screens it adds.
std::vector<std::string> touched_screens(const ReportInput& in) {
  const StressOperation& op = *in.failing_operation;
  if (const auto* copy = std::get_if<StressCopy>(&op.value)) {
    if (copy->source_kind != "screen") {
      if (copy->target_screen_unique_id) return {*copy->target_screen_unique_id};
      return {};
    }
    const std::set<std::string> before = screen_ids(in.before);
    std::set<std::string> added;
    for (const Element* tree : {&in.after, in.expected}) {
      if (!tree) continue;
      for (const std::string& id : screen_ids(*tree)) {
        if (!before.contains(id)) added.insert(id);
      }
    }
    return {added.begin(), added.end()};
  }
  const auto& paste = std::get<StressOperation::InputMask>(op.value);
  if (const Element* screen = screen_holding(in.before, paste.target_slice_unique_id)) {
    if (const std::string* id = screen->attr("uniqueId")) return {*id};
  }
  return {};
}

std::string screen_drawings(const ReportInput& in, const std::string& id) {
  const auto* copy = std::get_if<StressCopy>(&in.failing_operation->value);
  const bool screen_copy = copy && copy->source_kind == "screen";
  // Before a screen copy the screen exists only in the source.
  const Element* first = screen_copy
                             ? find_by_unique_id(in.source, "Screen", copy->source_unique_id)
                             : find_by_unique_id(in.before, "Screen", id);
  struct State {
    std::string title;
    const Element* screen;
    std::vector<Shape> shapes;
  };
  std::vector<State> states{{screen_copy ? "before (the source's screen)" : "before", first, {}},
                            {"after (observed)", find_by_unique_id(in.after, "Screen", id), {}}};
  if (in.expected) {
    states.push_back({"expected", find_by_unique_id(*in.expected, "Screen", id), {}});
  }
  for (State& state : states) {
    if (state.screen) state.shapes = screen_shapes(*state.screen);
  }
  for (std::size_t i = 1; i < states.size(); ++i) mark_changed(states[i].shapes, states[0].shapes);
  const Element* named = states[1].screen ? states[1].screen : first;
  const auto name = named ? display_name(*named) : std::nullopt;
  std::string html = "<h3>Screen " + escape_html(name ? "'" + *name + "' " : "") + "(uniqueId " +
                     escape_html(id) + ")</h3>";
  std::vector<const std::vector<Shape>*> all;
  for (const State& state : states) all.push_back(&state.shapes);
  for (Space space : {Space::Input, Space::Output}) {
    const Bounds bounds = bounds_of(all, space);
    html += "<div class=\"columns\">";
    for (const State& state : states) {
      const std::string title =
          state.title + (space == Space::Input ? " — input space" : " — output space");
      html += "<div>";
      html += state.screen ? space_svg(state.shapes, space, bounds, title)
                           : "<p>" + escape_html(title) + ": the screen is not in this tree.</p>";
      html += "</div>";
    }
    html += "</div>";
  }
  return html;
}

// A step that reaches no screen of the target (a refused one, most often) is drawn by the
// source screen it reads from, so the page still shows what was asked for.
std::string source_drawings(const ReportInput& in) {
  const StressOperation& op = *in.failing_operation;
  const Element* screen = nullptr;
  if (const auto* copy = std::get_if<StressCopy>(&op.value)) {
    const std::string& id = copy->source_kind == "screen"
                                ? copy->source_unique_id
                                : copy->source_parent_unique_id.value_or(copy->source_unique_id);
    screen = find_by_unique_id(in.source, "Screen", id);
  } else {
    screen = screen_holding(in.source,
                            std::get<StressOperation::InputMask>(op.value).source_slice_unique_id);
  }
  std::string html = "<p>The failing step touches no screen of the target";
  if (!screen) return html + ", nor one of the source.</p>";
  const auto name = display_name(*screen);
  const std::string* id = screen->attr("uniqueId");
  html += "; the source's screen " + escape_html(name ? "'" + *name + "' " : "") + "(uniqueId " +
          escape_html(id ? *id : "?") + ") it reads from:</p><div class=\"columns\">";
  const std::vector<Shape> shapes = screen_shapes(*screen);
  for (Space space : {Space::Input, Space::Output}) {
    html += "<div>" +
            space_svg(shapes, space, bounds_of({&shapes}, space),
                      space == Space::Input ? "source — input space" : "source — output space") +
            "</div>";
  }
  return html + "</div>";
}

std::string drawings_section(const ReportInput& in) {
  std::string html =
      "<section id=\"drawings\"><h2>Geometry</h2><p class=\"legend\">"
      "<span><i style=\"border-color:#1e64c8\"></i>input rectangle</span>"
      "<span><i style=\"border-color:#e68c00;border-style:dashed\"></i>input mask</span>"
      "<span><i style=\"border-color:#149646\"></i>output rectangle</span>"
      "<span><i style=\"border-color:#d00\"></i>changed from before</span>"
      "To scale; y grows downward. Shapes that cannot be drawn are listed under their plot."
      "</p>";
  const std::vector<std::string> ids = touched_screens(in);
  for (const std::string& id : ids) html += screen_drawings(in, id);
  if (ids.empty()) html += source_drawings(in);
  return html + "</section>";
}

}  // namespace

std::string report_page(const ReportInput& in) {
  std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  html += "<title>kivo_stress failure case, seed " + std::to_string(in.artifact.seed) +
          "</title><style>" + std::string(kStyle) + "</style></head><body>";
  html += "<h1>kivo_stress failure case</h1>";
  if (!in.note.empty()) html += "<p class=\"note\">" + escape_html(in.note) + "</p>";
  html += run_section(in) + trace_section(in);
  if (in.failing_operation) html += drawings_section(in) + subtree_section(in);
  return html + "</body></html>\n";
}

}  // namespace kivo::stress::report
