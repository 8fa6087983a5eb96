#pragma once

#include <memory>
#include <string>

#include "UIKit/Color.h"
#include "UIKit/Image.h"

// The image repainted in one colour, keeping its shape: every pixel takes the colour, with the
// image's alpha times the colour's. Same size and scale as the image; none for none.
std::shared_ptr<ui::Image> imageWithOverlayColor(const std::shared_ptr<ui::Image>& image,
                                                 const ui::Color& color);

// The named image as a near-white (245/255) silhouette; none when there is no such image.
std::shared_ptr<ui::Image> invertImageNamed(const std::string& name);
