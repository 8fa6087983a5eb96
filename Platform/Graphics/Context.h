#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Graphics/Color.h"
#include "Graphics/Geometry.h"
#include "Graphics/Gradient.h"
#include "Graphics/Image.h"
#include "Graphics/Path.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_pattern cairo_pattern_t;

namespace cg {

namespace detail {
struct TextPainter;
}

enum class BlendMode {
  Normal,
  Multiply,
  Screen,
  Overlay,
  Darken,
  Lighten,
  ColorDodge,
  ColorBurn,
  SoftLight,
  HardLight,
  Difference,
  Exclusion,
  Hue,
  Saturation,
  Color,
  Luminosity,
  // Porter-Duff modes, with the platform's names.
  Clear,
  Copy,
  SourceIn,
  SourceOut,
  SourceAtop,
  DestinationOver,
  DestinationIn,
  DestinationOut,
  DestinationAtop,
  XOR,
  PlusLighter,
};

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class FillRule { Winding, EvenOdd };

// A drawing context over a bitmap, in points with the origin at the top left and y growing
// downwards (as views draw). Blend modes act only inside the shape being drawn: pixels outside
// it are never touched, whatever the mode.
//
// A context belongs to the thread that draws into it; different contexts may be used on
// different threads at once.
// A rectangle of whole device pixels.
struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

class Context final {
 public:
  // nullptr when the size in pixels (points × scale, rounded up) is empty or too large. An opaque
  // context starts black and its image has no alpha; otherwise it starts transparent.
  static std::unique_ptr<Context> makeBitmap(Size size, bool opaque, double scale);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  Size size() const { return size_; }
  double scale() const { return scale_; }
  int pixelWidth() const { return pixelWidth_; }
  int pixelHeight() const { return pixelHeight_; }
  bool isOpaque() const { return opaque_; }

  // A copy of the pixels drawn so far, at the context's scale.
  ImagePtr makeImage() const;
  // The pixels drawn so far, in place: pixelHeight() rows of pixelWidth() premultiplied ARGB words,
  // pixelStride() bytes apart (alpha unset in an opaque context). Valid until the next drawing.
  const std::uint32_t* pixelData() const;
  int pixelStride() const;
  // The pixels drawn, handed over without a copy when they can be: the context draws nothing
  // more afterwards. For a picture made once per frame.
  ImagePtr takeImage();

  // Graphics state: transform, clip, colours, line settings, alpha and blend mode.
  void saveGState();
  void restoreGState();  // an unmatched restore does nothing

  void translateCTM(double dx, double dy);
  void scaleCTM(double sx, double sy);
  void rotateCTM(double angle);
  void concatCTM(const AffineTransform& transform);
  // From user space to the context's points.
  AffineTransform ctm() const;

  void setFillColor(const Color& color);
  void setStrokeColor(const Color& color);
  Color fillColor() const;
  void setLineWidth(double width);
  void setLineCap(LineCap cap);
  void setLineJoin(LineJoin join);
  // Multiplies everything drawn afterwards (colours, images, gradients, text); clamped to 0...1.
  void setAlpha(double alpha);
  void setBlendMode(BlendMode mode);
  BlendMode blendMode() const;
  // Everything drawn afterwards casts a shadow: its shape, offset by `offset` points (not turned
  // or scaled by the transform), blurred by `blur` points, in `color`. A clear colour, or a
  // transparency layer's inside, has none.
  void setShadow(Size offset, double blur, const Color& color);

  // The current path (not part of the graphics state); drawing or clipping with it ends it.
  void beginPath();
  void moveTo(Point p);
  void addLineTo(Point p);
  void addCurveTo(Point control1, Point control2, Point end);
  void addQuadCurveTo(Point control, Point end);
  void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
  void closePath();
  void addRect(const Rect& rect);
  void addEllipseInRect(const Rect& rect);
  void addRoundedRect(const Rect& rect, double cornerRadius);
  void addPath(const Path& path);
  void fillPath(FillRule rule = FillRule::Winding);
  void strokePath();

  void fillRect(const Rect& rect);
  void strokeRect(const Rect& rect);
  void clearRect(const Rect& rect);  // makes the rect transparent (black when opaque)
  void fillEllipseInRect(const Rect& rect);
  void strokeEllipseInRect(const Rect& rect);
  void fillPath(const Path& path, FillRule rule = FillRule::Winding);
  void strokePath(const Path& path);

  // Intersects the clip with the current path (ending it), a rect or a path.
  void clip(FillRule rule = FillRule::Winding);
  void clipToRect(const Rect& rect);
  void clipToPath(const Path& path, FillRule rule = FillRule::Winding);
  // The clip's bounds in user space.
  Rect clipBoundingBox() const;
  // Intersects the clip with the union of whole device pixel rects, whatever the transform: the
  // pixels inside are drawn exactly as they would be with no such clip.
  void clipToPixelRects(const std::vector<PixelRect>& rects);
  // Makes the pixels of the rects transparent (black in an opaque context).
  void clearPixelRects(const std::vector<PixelRect>& rects);

  // The image stretched over the rect, upright.
  void drawImage(const Image& image, const Rect& rect);
  // The image at its size in points with its top left at the point.
  void drawImage(const Image& image, Point at);
  // Tiles the clip with copies of the image, each the size of tile and aligned to its origin.
  void drawTiledImage(const Image& image, const Rect& tile);

  // Fills the clip with a gradient from start to end; beyond the ends the end colours go on
  // only when asked.
  void drawLinearGradient(const Gradient& gradient, Point start, Point end, bool extendBeforeStart = false,
                          bool extendAfterEnd = false);

  // Drawing between these goes to an offscreen layer, composited at the end as one image with
  // the alpha and blend mode in force at the begin; the second form also masks it by the alpha
  // of an image stretched over a rect (e.g. a gradient fading the layer out).
  void beginTransparencyLayer();
  // As above, for drawing known to stay inside a rect: the layer covers only the rect (rounded
  // out to whole device pixels), and whatever falls outside it is left out.
  void beginTransparencyLayer(const Rect& rect);
  void endTransparencyLayer();
  void endTransparencyLayer(const Image& mask, const Rect& maskRect);

  // The Cairo drawing state, for Graphics' own text drawing.
  cairo_t* cairo() const { return cr_; }

 private:
  friend struct detail::TextPainter;
  Context() = default;
  struct State {
    Color fill = Color::black();
    Color stroke = Color::black();
    double alpha = 1;
    BlendMode blend = BlendMode::Normal;
    // A singular transform was set: nothing draws until the state is restored.
    bool degenerate = false;
    Size shadowOffset;
    double shadowBlur = 0;
    Color shadowColor = Color::clear();
  };
  struct Layer {
    State state;
    std::size_t savedDepth;
    bool bounded;  // a clip to its rect was pushed under it
  };
  void paintShape(bool stroke, FillRule rule);
  void applyColor(const Color& color) const;
  bool unbounded() const;
  // Builds a path aside from the current one, uses it, and puts the current one back.
  template <class Build, class Use>
  void withOwnPath(Build build, Use use);
  void replay(const Path& path);
  // Draws the image from a copy scaled to its size in device pixels, kept for the next frames;
  // false, and nothing drawn, where that would not give the same pixels.
  bool drawScaledImage(const Image& image, const Rect& rect);
  void endLayer(const Image* mask, const Rect& maskRect);
  // Runs a drawing operation, and when a shadow is set, draws its shadow beneath it.
  void composite(const std::function<void()>& draw);
  void paintWithShadow(cairo_pattern_t* content);

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  // The pixels the surface draws into, when they are the context's own rather than Cairo's.
  std::unique_ptr<std::vector<std::uint32_t>> pixels_;
  Size size_;
  double scale_ = 1;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
  bool opaque_ = false;
  State state_;
  std::vector<State> saved_;
  std::vector<Layer> layers_;  // the state at each open transparency layer
};

// The per-thread stack of current contexts (views' drawing and image contexts push onto it).
// currentContext() is nullptr when the stack is empty.
Context* currentContext();
void pushContext(std::shared_ptr<Context> context);
void popContext();

// Image contexts: begin pushes a new bitmap context (false, and nothing pushed, when the size is
// empty or too large; a scale <= 0 counts as 1); the image is taken from the current context
// when it is an image context; end pops the current context only when it is an image context.
bool beginImageContext(Size size, bool opaque, double scale);
ImagePtr imageFromCurrentImageContext();
void endImageContext();

}  // namespace cg
