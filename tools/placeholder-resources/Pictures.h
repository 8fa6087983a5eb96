#pragma once

#include <string>
#include <vector>

#include "Drawing.h"

namespace placeholders {

struct Resource {
  std::string file;  // name with extension; "@2x" files are drawn at scale 2
  cg::Size size;     // points
  Draw draw;
};

// Every picture the application loads by name, each at scale 1 and at scale 2 ("@2x").
std::vector<Resource> resources();

// The networks' colours, and a share button in one: the network's letters on its colour.
extern const cg::Color kVKontakte, kFacebook, kTwitter;
Draw networkButton(cg::Color colour, std::string letters, double inset, double radius);

// The player's pictures (AKMovieImages.bundle and the share panel), added to the list.
void addPlayerPictures(const std::function<void(std::string, cg::Size, Draw)>& add);

}  // namespace placeholders
