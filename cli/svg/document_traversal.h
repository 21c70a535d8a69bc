#pragma once

// How SVG++ walks a drawing for the import: which elements and attributes it
// reports, and what it does with what it cannot use.
#include <string>

#include "element_context.h"

namespace brevanto::cli {

// Elements that are drawn where they stand (clip paths and markers only
// when they are expanded for an element that uses them), and those `use`
// may draw.
using DrawnElements =
    boost::mpl::set<tag::element::svg, tag::element::g, tag::element::a, tag::element::switch_,
                    tag::element::path, tag::element::rect, tag::element::circle,
                    tag::element::ellipse, tag::element::line, tag::element::polyline,
                    tag::element::polygon, tag::element::use_, tag::element::clipPath,
                    tag::element::marker, tag::element::text>::type;
using UsableElements =
    boost::mpl::set<tag::element::svg, tag::element::g, tag::element::switch_, tag::element::symbol,
                    tag::element::path, tag::element::rect, tag::element::circle,
                    tag::element::ellipse, tag::element::line, tag::element::polyline,
                    tag::element::polygon, tag::element::use_, tag::element::text>::type;

using ProcessedAttributes = boost::mpl::fold<
    boost::mpl::protect<
        boost::mpl::joint_view<boost::mpl::joint_view<svgpp::traits::shapes_attributes_by_element,
                                                      svgpp::traits::viewport_attributes>,
                               svgpp::traits::marker_viewport_attributes>>,
    boost::mpl::set<tag::attribute::transform, tag::attribute::stroke, tag::attribute::fill,
                    tag::attribute::color, tag::attribute::display, tag::attribute::visibility,
                    tag::attribute::opacity, tag::attribute::fill_opacity,
                    tag::attribute::stroke_opacity, tag::attribute::stroke_width,
                    tag::attribute::clip_path, tag::attribute::clip_rule, tag::attribute::mask,
                    tag::attribute::fill_rule, tag::attribute::marker_start,
                    tag::attribute::marker_mid, tag::attribute::marker_end>::type,
    boost::mpl::insert<boost::mpl::_1, boost::mpl::_2>>::type;

// Every child element gets a context of its own, built from its parent's.
struct ChildContextFactories {
  template <class ParentContext, class ElementTag>
  struct apply {
    using type = svgpp::factory::context::on_stack_with_xml_element<ElementContext>;
  };
};

// Keep going past what cannot be drawn; stop at what would draw wrongly.
struct ImportErrorPolicy : svgpp::policy::error::raise_exception<ElementContext> {
  using Base = svgpp::policy::error::raise_exception<ElementContext>;
  template <class XMLElement, class ElementName>
  static bool unknown_element(const ElementContext&, const XMLElement&, const ElementName&) {
    return true;  // counted by the survey
  }
  template <class XMLElement>
  static bool unexpected_element(const ElementContext&, const XMLElement&) {
    return true;
  }
  template <class XMLAttribute, class AttributeName, class... Rest>
  static bool unknown_attribute(const ElementContext&, const XMLAttribute&, const AttributeName&,
                                const Rest&...) {
    return true;
  }
  static bool unexpected_attribute(const ElementContext&, svgpp::detail::attribute_id,
                                   tag::source::attribute) {
    return true;
  }
  template <class AttributeTag>
  static bool required_attribute_not_found(ElementContext& context, AttributeTag) {
    context.state().warn(std::string("element left out: attribute \"") +
                             svgpp::attribute_name<char>::get<AttributeTag>() + "\" missing",
                         context.node());
    context.state().leaveOut(LeftOutKind::Unusable, context.node());
    return true;
  }
  template <class AttributeTag>
  static bool negative_value(ElementContext& context, AttributeTag) {
    context.state().warn(std::string("element left out: negative \"") +
                             svgpp::attribute_name<char>::get<AttributeTag>() + "\"",
                         context.node());
    context.state().leaveOut(LeftOutKind::Unusable, context.node());
    // A viewport of negative size shows nothing of its content, as a
    // renderer treats the error.
    context.leaveOutUnusable();
    return true;
  }
  template <class AttributeTag, class AttributeValue>
  static bool parse_failed(ElementContext& context, AttributeTag, const AttributeValue& value) {
    const std::string name = svgpp::attribute_name<char>::get<AttributeTag>();
    std::string text(boost::begin(value), boost::end(value));
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    if (name == "stroke" || name == "fill" || name == "color" || name == "opacity" ||
        name == "fill-opacity" || name == "stroke-opacity" || name == "stroke-width" ||
        name == "clip-path" || name == "clip-rule" || name == "mask" || name == "fill-rule" ||
        name.rfind("marker", 0) == 0) {
      context.state().warn("unreadable " + name + " \"" + text + "\" ignored", context.node());
      return true;
    }
    context.state().fail("invalid value of \"" + name + "\": \"" + text + "\"", context.node());
    return false;
  }
};

struct TraversalControl {
  // A text's content is set by the text layout, not walked.
  static bool proceed_to_element_content(const ElementContext& context) {
    return !context.hidden() && !named(context.node(), "text");
  }
  static bool proceed_to_next_child(const ElementContext&) { return true; }
  template <class XMLElement>
  static bool process_child(const ElementContext&, const XMLElement&) {
    return true;
  }
};

struct ArcsApartPathPolicy {
  static const bool absolute_coordinates_only = true;
  static const bool no_ortho_line_to = true;
  static const bool no_quadratic_bezier_shorthand = true;
  static const bool no_cubic_bezier_shorthand = true;
  static const bool quadratic_bezier_as_cubic = true;
  static const bool arc_as_cubic_bezier =
      false;  // done in elliptical_arc, with SVG's special cases
};

using DocumentTraversal = svgpp::document_traversal<
    svgpp::processed_elements<DrawnElements>, svgpp::processed_attributes<ProcessedAttributes>,
    svgpp::context_factories<ChildContextFactories>,
    svgpp::viewport_policy<svgpp::policy::viewport::as_transform>,
    svgpp::length_policy<svgpp::policy::length::forward_to_method<ElementContext>>,
    svgpp::path_policy<ArcsApartPathPolicy>,
    svgpp::transform_events_policy<
        svgpp::policy::transform_events::forward_to_method<ElementContext>>,
    svgpp::iri_policy<svgpp::policy::iri::raw>, svgpp::error_policy<ImportErrorPolicy>,
    svgpp::document_traversal_control_policy<TraversalControl>>;

}  // namespace brevanto::cli
