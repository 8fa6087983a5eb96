#include "UIKit/Font.h"

#include <mutex>

#include "Foundation/Format.h"

namespace ui {

Font::Font(cg::Font font, std::string name) : font_(std::move(font)), name_(std::move(name)) {}

std::shared_ptr<Font> Font::fontWithName(const std::string& name, double size) {
  return std::make_shared<Font>(cg::Font::withName(name, size), name);
}

std::shared_ptr<Font> Font::systemFontOfSize(double size) {
  return std::make_shared<Font>(cg::Font::systemFont(size), "System");
}

std::shared_ptr<Font> Font::boldSystemFontOfSize(double size) {
  return std::make_shared<Font>(cg::Font::boldSystemFont(size), "System-Bold");
}

std::shared_ptr<Font> Font::fontWithSize(double size) const {
  return std::make_shared<Font>(font_.withSize(size), name_);
}

std::string Font::describe() const { return ns::format("%@ %g", name_, pointSize()); }

namespace {

std::mutex measurerMutex;
std::shared_ptr<const ScopedTextMeasurer::Measure> installedMeasurer;

std::shared_ptr<const ScopedTextMeasurer::Measure> swapMeasurer(
    std::shared_ptr<const ScopedTextMeasurer::Measure> measurer) {
  std::lock_guard lock(measurerMutex);
  installedMeasurer.swap(measurer);
  return measurer;
}

}  // namespace

ScopedTextMeasurer::ScopedTextMeasurer(Measure measure)
    : previous_(swapMeasurer(std::make_shared<const Measure>(std::move(measure)))) {}

ScopedTextMeasurer::~ScopedTextMeasurer() { swapMeasurer(std::move(previous_)); }

cg::Size sizeWithFont(const std::string& text, const std::shared_ptr<Font>& font, cg::Size constraint,
                      LineBreakMode mode) {
  std::shared_ptr<const ScopedTextMeasurer::Measure> measurer;
  {
    std::lock_guard lock(measurerMutex);
    measurer = installedMeasurer;
  }
  if (measurer) return (*measurer)(text, font.get(), constraint, mode);
  cg::Font f = font ? font->cgFont() : cg::Font::systemFont(cg::Font::kSystemFontSize);
  return cg::measureText(text, f, constraint, mode);
}

}  // namespace ui
